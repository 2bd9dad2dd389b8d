#pragma once
// Closing the main window: always asked, with a reminder to save.
//
// Thread policy: user-interface thread only.

namespace belvane {

// Close-query handler of the main window: asks "关闭前，记得保存哦，真的关闭吗？" (OK/Cancel);
// on OK stops the clock thread and the playback watcher (bounded waits) and returns 0 (the window
// closes), otherwise returns 1 (it stays).
int ConfirmClose();

}  // namespace belvane
