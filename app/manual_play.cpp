#include "app/manual_play.h"

#include "app/app_objects.h"
#include "app/bell/playback.h"
#include "app/bell/record_events.h"

namespace belvane {

void TogglePlay() {
  AppObjects& app = App();
  const PlaybackState before = app.playback.State();
  const int chosen = app.music_list.CurrentSelection();
  if (before == PlaybackState::kStopped) {
    if (chosen < 0) return;  // nothing chosen: nothing happens
    app.playback.TogglePlay(app.music_list, MusicFolderPath(),
                            app.process.bell_record.ManualPlay(app.music_list.ItemText(chosen)));
    return;
  }
  // A stop names what was playing (perhaps a bell).
  const TextValue path = ProcessMusicPlayer().Path();
  app.playback.TogglePlay(app.music_list, MusicFolderPath());
  if (app.playback.State() != before) app.process.bell_record.ManualStop(path);
}

}  // namespace belvane
