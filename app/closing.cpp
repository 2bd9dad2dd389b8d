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
  ClockRunning = 0;
  return 0;
}

}  // namespace belvane
