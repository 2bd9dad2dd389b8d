#include "app/manual_play.h"

#include "app/app_objects.h"
#include "app/playback.h"
#include "app/record_events.h"
#include "runtime/text.h"

namespace belvane {

void PlaybackControl::TogglePlay(const ListBoxControl& music_list, const TextValue& music_folder) {
  const int chosen = music_list.CurrentSelection();
  if (chosen == -1) return;
  if (state_.State() == PlaybackState::kStopped) {
    StartPlayback(ConcatTexts(music_folder, "\\", music_list.ItemText(chosen)));
  } else {
    if (!stopper_ || !stopper_()) player_.Stop();
    state_.Stopped();
    ShowState();
  }
}

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
  RecordManualToggle(before, app.playback.State(), path);
}

}  // namespace belvane
