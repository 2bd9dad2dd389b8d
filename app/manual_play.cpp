#include "app/manual_play.h"

#include "app/app_objects.h"
#include "app/playback.h"
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
  app.playback.TogglePlay(app.music_list, MusicFolderPath());
}

}  // namespace belvane
