#include "app/playback_ended.h"

#include "app/playback.h"
#include "ui/ui_task.h"

namespace belvane {

std::function<void()> PlaybackEndedReport(HWND window, std::weak_ptr<PlaybackControl*> control,
                                          std::uintptr_t generation) {
  return [window, control = std::move(control), generation] {
    PostUiTask(window, [control, generation] {
      if (const std::shared_ptr<PlaybackControl*> live = control.lock())
        (*live)->OnPlaybackEnded(generation);
    });
  };
}

void PlaybackControl::OnPlaybackEnded(std::uintptr_t generation) {
  if (state_.Ended(generation)) ShowState();
}

}  // namespace belvane
