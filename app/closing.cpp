#include "app/closing.h"

#include <windows.h>

#include "app/app_objects.h"
#include "runtime/message_box.h"

namespace belvane {

int ConfirmClose() {
  // Esc and the box's own close button come back as IDCANCEL, as Cancel does.
  if (ShowMessageBox(nullptr, "关闭前，记得保存哦，真的关闭吗？", "防止误操作", MB_OKCANCEL) !=
      IDOK) {
    return 1;
  }
  // Before the dialog ends: the clock and the watcher must be done with the windows and the
  // player before the exit hook destroys them. The file that plays goes on until the end.
  StopClockAndWatcher(TheProcessObjects());
  // A box still up from start-up (no sound) would keep the program, hidden, holding its folder:
  // a start after this one would then hand over to a window nobody sees.
  if (HaveAppObjects()) AnswerThreadInfoBoxes(App().main_window.Handle());
  return 0;
}

}  // namespace belvane
