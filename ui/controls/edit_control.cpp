#include "ui/controls/edit_control.h"

namespace belvane {

LRESULT EditControl::CommandReflection(HWND, HWND, int code, int) {
  if (code == EN_CHANGE) CallHandler(text_changed_);
  return 0;
}

void EditControl::ClassCleanup() {
  text_changed_ = nullptr;
}

bool EditControl::CreateEdit(HWND parent, const TextValue& text, int left, int top, int width,
                             int height, int id, DWORD style, DWORD ex_style) {
  return CreateControl(parent, "EDIT", text, style, left, top, width, height, id, ex_style);
}

bool EditControl::AttachToDialogItem(HWND dialog, int item_id, bool use_default_font) {
  if (!WindowObject::AttachToDialogItem(dialog, item_id, use_default_font)) return false;
  BackgroundColour(RGB(255, 255, 255), false);
  return true;
}

void EditControl::SetSelection(int start, int end) {
  SendWindowMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
}
DWORD EditControl::GetSelection() const {
  return static_cast<DWORD>(SendWindowMessage(EM_GETSEL));
}
void EditControl::AppendText(const TextValue& text) {
  int length = GetWindowTextLengthA(Handle());
  SendWindowMessage(EM_SETSEL, static_cast<WPARAM>(length), length);
  ReplaceSelection(text);
}
void EditControl::ReplaceSelection(const TextValue& text, bool can_undo) {
  SendWindowMessage(EM_REPLACESEL, can_undo, reinterpret_cast<LPARAM>(text.CStr()));
}
void EditControl::LimitText(int bytes) {
  SendWindowMessage(EM_LIMITTEXT, static_cast<WPARAM>(bytes));
}
char EditControl::PasswordCharacter() const {
  return static_cast<char>(SendWindowMessage(EM_GETPASSWORDCHAR));
}
void EditControl::PasswordCharacter(char character) {
  SendWindowMessage(EM_SETPASSWORDCHAR, static_cast<unsigned char>(character));
  Redraw(true);
}
bool EditControl::ReadOnly(bool read_only) {
  return SendWindowMessage(EM_SETREADONLY, read_only) != 0;
}
RECT EditControl::FormattingRect() const {
  RECT rect{};
  SendWindowMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
  return rect;
}
void EditControl::FormattingRect(const RECT& rect) {
  SendWindowMessage(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&rect));
}
EventHandler EditControl::BindTextChanged(EventHandler handler) {
  text_changed_ = handler;
  return handler;
}

}  // namespace belvane
