#include "app/manual_play.h"

#include "app/app_objects.h"
#include "app/playback.h"
#include "app/record_events.h"
#include "runtime/text.h"

namespace belvane {

void TogglePlay() {
  AppObjects& app = App();
  const PlaybackState before = app.playback.State();
  const int chosen = app.music_list.CurrentSelection();
  // A stop names what was playing (perhaps a bell), a play the file chosen.
  const TextValue path =
      before == PlaybackState::kPlaying || chosen < 0
          ? ProcessMusicPlayer().Path()
          : ConcatTexts(MusicFolderPath(), "\\", app.music_list.ItemText(chosen));
  app.playback.TogglePlay(app.music_list, MusicFolderPath());
  RecordManualToggle(app.process.bell_worker, before, app.playback.State(), path);
}

}  // namespace belvane
