#include "ui/controls/button_control.h"

namespace belvane {

LRESULT ButtonControl::CommandReflection(HWND, HWND, int code, int) {
  if (code == BN_CLICKED) CallHandler(click_handler_);
  // 0: the parent's own procedure still sees the WM_COMMAND.
  return 0;
}

void ButtonControl::ClassCleanup() {
  click_handler_ = nullptr;
  bitmap_.Reset();
  icon_.Reset();
}

bool ButtonControl::CreateButton(HWND parent, const TextValue& text, int left, int top, int width,
                                 int height, int id, DWORD style) {
  return CreateControl(parent, "BUTTON", text, style, left, top, width, height, id);
}

void ButtonControl::Caption(const TextValue& text) {
  SetWindowTextA(Handle(), text.CStr());
}

void ButtonControl::Click() {
  SendWindowMessage(BM_CLICK);
}

void ButtonControl::SetImage(HICON icon) {
  SendWindowMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  icon_.Reset(icon);
}

void ButtonControl::SetImage(HBITMAP bitmap) {
  SendWindowMessage(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  bitmap_.Reset(bitmap);
}

HANDLE ButtonControl::GetImage(UINT kind) const {
  return reinterpret_cast<HANDLE>(SendWindowMessage(BM_GETIMAGE, kind));
}

EventHandler ButtonControl::SetClickHandler(EventHandler handler) {
  click_handler_ = handler;
  return handler;
}

}  // namespace belvane
