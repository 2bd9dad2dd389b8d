#include "ui/controls/label_control.h"

namespace belvane {

bool LabelControl::CreateLabel(HWND parent, const TextValue& text, int left, int top, int width,
                               int height, int id, DWORD style) {
  return CreateControl(parent, "STATIC", text, style, left, top, width, height, id);
}

bool LabelControl::AttachToDialogItem(HWND dialog, int item_id, bool use_default_font) {
  if (!WindowObject::AttachToDialogItem(dialog, item_id, use_default_font)) return false;
  BackgroundColour(GetSysColor(COLOR_BTNFACE), false);
  return true;
}

void LabelControl::Caption(const TextValue& text) {
  SetWindowTextA(Handle(), text.CStr());
  if (BackgroundColour() == kTransparent) {
    // The parent shows through: repaint it under the label, or the old text stays visible.
    HWND parent = ParentWindow();
    RECT area = RectInParent();
    InvalidateRect(parent, &area, TRUE);
    UpdateWindow(parent);
  }
}

}  // namespace belvane
