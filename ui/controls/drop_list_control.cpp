#include "ui/controls/drop_list_control.h"

#include <string>

namespace belvane {

LRESULT DropListControl::CommandReflection(HWND, HWND, int code, int) {
  switch (code) {
    case CBN_SELCHANGE:
      CallHandler(Handler(Event::kSelectionChanged));
      break;
    case CBN_EDITUPDATE:
      CallHandler(Handler(Event::kEditUpdated));
      break;
    case CBN_DROPDOWN:
      CallHandler(Handler(Event::kDroppedDown));
      break;
    case CBN_CLOSEUP:
      CallHandler(Handler(Event::kClosedUp));
      break;
    case CBN_DBLCLK:
      CallHandler(Handler(Event::kDoubleClick));
      break;
    default:
      break;
  }
  return 0;
}

void DropListControl::ClassCleanup() {
  handlers_.fill(nullptr);
}

bool DropListControl::CreateDropList(HWND parent, int left, int top, int width, int height, int id,
                                     DWORD style) {
  return CreateControl(parent, "COMBOBOX", "", style, left, top, width, height, id);
}

bool DropListControl::AttachToDialogItem(HWND dialog, int item_id, bool use_default_font) {
  if (!WindowObject::AttachToDialogItem(dialog, item_id, use_default_font)) return false;
  BackgroundColour(RGB(255, 255, 255), false);
  return true;
}

int DropListControl::AddItem(const TextValue& text, LPARAM value) {
  auto index =
      static_cast<int>(SendWindowMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.CStr())));
  if (index != CB_ERR) SendWindowMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), value);
  return index < 0 ? CB_ERR : index;
}

int DropListControl::InsertItem(int index, const TextValue& text, LPARAM value) {
  auto at = static_cast<int>(SendWindowMessage(CB_INSERTSTRING, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(text.CStr())));
  if (at >= 0) SendWindowMessage(CB_SETITEMDATA, static_cast<WPARAM>(at), value);
  return at < 0 ? CB_ERR : at;
}

void DropListControl::LimitText(int bytes) {
  SendWindowMessage(CB_LIMITTEXT, static_cast<WPARAM>(bytes));
}

TextValue DropListControl::ItemText(int index) const {
  auto length = static_cast<int>(SendWindowMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
  if (length <= 0) return TextValue();
  // The A length may overstate a DBCS text; it never understates it.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  auto copied = static_cast<int>(SendWindowMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                                                   reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return TextValue(std::move(text));
}

int DropListControl::SelectPrefix(const TextValue& prefix, int start) {
  return static_cast<int>(SendWindowMessage(CB_SELECTSTRING, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(prefix.CStr())));
}

int DropListControl::ItemCount() const {
  return static_cast<int>(SendWindowMessage(CB_GETCOUNT));
}
int DropListControl::CurrentSelection() const {
  return static_cast<int>(SendWindowMessage(CB_GETCURSEL));
}
bool DropListControl::CurrentSelection(int index) {
  if (SendWindowMessage(CB_SETCURSEL, static_cast<WPARAM>(index)) != CB_ERR) return true;
  // An index outside the items clears the selection on Windows; Wine keeps the old one.
  if (index != -1) SendWindowMessage(CB_SETCURSEL, static_cast<WPARAM>(-1));
  return false;
}
LPARAM DropListControl::ItemValue(int index) const {
  return SendWindowMessage(CB_GETITEMDATA, static_cast<WPARAM>(index));
}
bool DropListControl::ItemValue(int index, LPARAM value) {
  return SendWindowMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), value) != CB_ERR;
}
int DropListControl::DeleteItem(int index) {
  return static_cast<int>(SendWindowMessage(CB_DELETESTRING, static_cast<WPARAM>(index)));
}
void DropListControl::DeleteAllItems() {
  SendWindowMessage(CB_RESETCONTENT);
}
void DropListControl::ShowDropDown(bool show) {
  SendWindowMessage(CB_SHOWDROPDOWN, show);
}
int DropListControl::FindPrefix(const TextValue& prefix, int start) const {
  return static_cast<int>(SendWindowMessage(CB_FINDSTRING, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(prefix.CStr())));
}
int DropListControl::FindExact(const TextValue& text, int start) const {
  return static_cast<int>(SendWindowMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(text.CStr())));
}
RECT DropListControl::DroppedRect() const {
  RECT rect{};
  SendWindowMessage(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
  return rect;
}
bool DropListControl::IsDroppedDown() const {
  return SendWindowMessage(CB_GETDROPPEDSTATE) != 0;
}
int DropListControl::DroppedWidth() const {
  return static_cast<int>(SendWindowMessage(CB_GETDROPPEDWIDTH));
}
int DropListControl::DroppedWidth(int width) {
  return static_cast<int>(SendWindowMessage(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width)));
}
int DropListControl::ItemHeight(int index) const {
  return static_cast<int>(SendWindowMessage(CB_GETITEMHEIGHT, static_cast<WPARAM>(index)));
}
bool DropListControl::ItemHeight(int index, int height) {
  return SendWindowMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(index), height) != CB_ERR;
}
bool DropListControl::EditSelection(int start, int end) {
  return SendWindowMessage(CB_SETEDITSEL, 0, MAKELPARAM(start, end)) != CB_ERR;
}
DWORD DropListControl::EditSelection() const {
  return static_cast<DWORD>(SendWindowMessage(CB_GETEDITSEL));
}
int DropListControl::TopIndex() const {
  return static_cast<int>(SendWindowMessage(CB_GETTOPINDEX));
}
bool DropListControl::TopIndex(int index) {
  return SendWindowMessage(CB_SETTOPINDEX, static_cast<WPARAM>(index)) != CB_ERR;
}
int DropListControl::AddDirectory(UINT attributes, const TextValue& pattern) {
  return static_cast<int>(
      SendWindowMessage(CB_DIR, attributes, reinterpret_cast<LPARAM>(pattern.CStr())));
}
bool DropListControl::ExtendedUi(bool extended) {
  return SendWindowMessage(CB_SETEXTENDEDUI, extended) != CB_ERR;
}
bool DropListControl::ExtendedUi() const {
  return SendWindowMessage(CB_GETEXTENDEDUI) != 0;
}

#define BELVANE_DROP_BINDER(Name, Which)                           \
  EventHandler DropListControl::Bind##Name(EventHandler handler) { \
    handlers_[static_cast<int>(Event::Which)] = handler;           \
    return handler;                                                \
  }
BELVANE_DROP_BINDER(SelectionChanged, kSelectionChanged)
BELVANE_DROP_BINDER(EditUpdated, kEditUpdated)
BELVANE_DROP_BINDER(DroppedDown, kDroppedDown)
BELVANE_DROP_BINDER(ClosedUp, kClosedUp)
BELVANE_DROP_BINDER(DoubleClick, kDoubleClick)
#undef BELVANE_DROP_BINDER

}  // namespace belvane
