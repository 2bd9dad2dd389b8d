#include "ui/controls/frame_control.h"

namespace belvane {

bool FrameControl::CreateFrame(HWND parent, int left, int top, int width, int height, int id,
                               DWORD style) {
  return CreateWindowObject(0, "STATIC", "", WS_CHILD | WS_VISIBLE | style, left, top, width,
                            height, parent, id);
}

bool FrameControl::AttachToDialogItem(HWND dialog, int item_id, bool) {
  // A frame keeps the template's font whatever the caller asks.
  return WindowObject::AttachToDialogItem(dialog, item_id, false);
}

}  // namespace belvane
