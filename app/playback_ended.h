#pragma once
// The end of a playback, from the watcher's thread to the play button: the watcher calls the
// report, which posts a task to the user-interface thread; there the control hears of it,
// unless the control is gone by then.
//
// Thread policy: the report runs on the watcher's thread; the task on the user-interface thread.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace belvane {

class PlaybackControl;

// The watcher's `ended` routine for playback `generation` of `control`: posts
// control->OnPlaybackEnded(generation) to `window`'s thread.
std::function<void()> PlaybackEndedReport(HWND window, std::weak_ptr<PlaybackControl*> control,
                                          std::uintptr_t generation);

}  // namespace belvane
