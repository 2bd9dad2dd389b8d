#include "ui/controls/list_box_control.h"

#include <string>

namespace belvane {

LRESULT ListBoxControl::CommandReflection(HWND, HWND, int code, int) {
  if (code == LBN_SELCHANGE) CallHandler(selection_changed_);
  if (code == LBN_DBLCLK) CallHandler(double_click_);
  return 0;
}

void ListBoxControl::ClassCleanup() {
  selection_changed_ = nullptr;
  double_click_ = nullptr;
}

bool ListBoxControl::CreateListBox(HWND parent, int left, int top, int width, int height, int id,
                                   DWORD style, DWORD ex_style) {
  return CreateControl(parent, "LISTBOX", "", style, left, top, width, height, id, ex_style);
}

bool ListBoxControl::AttachToDialogItem(HWND dialog, int item_id, bool use_default_font) {
  if (!WindowObject::AttachToDialogItem(dialog, item_id, use_default_font)) return false;
  BackgroundColour(RGB(255, 255, 255), false);
  return true;
}

int ListBoxControl::AddItem(const TextValue& text, LPARAM value) {
  auto index =
      static_cast<int>(SendWindowMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.CStr())));
  if (index >= 0) SendWindowMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), value);
  return index;
}

int ListBoxControl::InsertItem(int index, const TextValue& text, LPARAM value) {
  auto at = static_cast<int>(SendWindowMessage(LB_INSERTSTRING, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(text.CStr())));
  if (at >= 0) SendWindowMessage(LB_SETITEMDATA, static_cast<WPARAM>(at), value);
  return at;
}

int ListBoxControl::DeleteItem(int index) {
  return static_cast<int>(SendWindowMessage(LB_DELETESTRING, static_cast<WPARAM>(index)));
}
void ListBoxControl::DeleteAllItems() {
  SendWindowMessage(LB_RESETCONTENT);
}
int ListBoxControl::SelectPrefix(const TextValue& prefix, int start) {
  return static_cast<int>(SendWindowMessage(LB_SELECTSTRING, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(prefix.CStr())));
}
bool ListBoxControl::SetItemSelected(int index, bool selected) {
  return SendWindowMessage(LB_SETSEL, selected, index) != LB_ERR;
}
bool ListBoxControl::SelectRange(int first, int last, bool selected) {
  return SendWindowMessage(LB_SELITEMRANGE, selected, MAKELPARAM(first, last)) != LB_ERR;
}
int ListBoxControl::FindPrefix(const TextValue& prefix, int start) const {
  return static_cast<int>(SendWindowMessage(LB_FINDSTRING, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(prefix.CStr())));
}
int ListBoxControl::FindExact(const TextValue& text, int start) const {
  return static_cast<int>(SendWindowMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(text.CStr())));
}
int ListBoxControl::CurrentSelection() const {
  return static_cast<int>(SendWindowMessage(LB_GETCURSEL));
}
int ListBoxControl::CurrentSelection(int index) {
  return static_cast<int>(SendWindowMessage(LB_SETCURSEL, static_cast<WPARAM>(index)));
}
int ListBoxControl::ItemCount() const {
  return static_cast<int>(SendWindowMessage(LB_GETCOUNT));
}
LPARAM ListBoxControl::ItemValue(int index) const {
  return SendWindowMessage(LB_GETITEMDATA, static_cast<WPARAM>(index));
}
bool ListBoxControl::ItemValue(int index, LPARAM value) {
  return SendWindowMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), value) != LB_ERR;
}
bool ListBoxControl::IsItemSelected(int index) const {
  return SendWindowMessage(LB_GETSEL, static_cast<WPARAM>(index)) > 0;
}
int ListBoxControl::SelectedCount() const {
  return static_cast<int>(SendWindowMessage(LB_GETSELCOUNT));
}
std::vector<int> ListBoxControl::SelectedItems() const {
  int count = SelectedCount();
  if (count <= 0) return {};
  std::vector<int> items(static_cast<std::size_t>(count));
  auto got = static_cast<int>(SendWindowMessage(LB_GETSELITEMS, static_cast<WPARAM>(count),
                                                reinterpret_cast<LPARAM>(items.data())));
  items.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return items;
}

TextValue ListBoxControl::ItemText(int index) const {
  auto length = static_cast<int>(SendWindowMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
  if (length <= 0) return TextValue();
  // The buffer holds the whole item: the A length may overstate a DBCS text, never understate.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  auto copied = static_cast<int>(SendWindowMessage(LB_GETTEXT, static_cast<WPARAM>(index),
                                                   reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return TextValue(std::move(text));
}

int ListBoxControl::TopIndex() const {
  return static_cast<int>(SendWindowMessage(LB_GETTOPINDEX));
}
bool ListBoxControl::TopIndex(int index) {
  return SendWindowMessage(LB_SETTOPINDEX, static_cast<WPARAM>(index)) != LB_ERR;
}
int ListBoxControl::CaretIndex() const {
  return static_cast<int>(SendWindowMessage(LB_GETCARETINDEX));
}
bool ListBoxControl::CaretIndex(int index, bool partly_visible) {
  return SendWindowMessage(LB_SETCARETINDEX, static_cast<WPARAM>(index), partly_visible) != LB_ERR;
}
int ListBoxControl::ItemHeight(int index) const {
  return static_cast<int>(SendWindowMessage(LB_GETITEMHEIGHT, static_cast<WPARAM>(index)));
}
RECT ListBoxControl::ItemRect(int index) const {
  RECT rect{};
  SendWindowMessage(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
  return rect;
}
bool ListBoxControl::ItemHeight(int index, int height) {
  return SendWindowMessage(LB_SETITEMHEIGHT, static_cast<WPARAM>(index), height) != LB_ERR;
}
void ListBoxControl::ColumnWidth(int width) {
  SendWindowMessage(LB_SETCOLUMNWIDTH, static_cast<WPARAM>(width));
}
DWORD ListBoxControl::ItemFromPoint(int x, int y) const {
  return static_cast<DWORD>(SendWindowMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y)));
}
EventHandler ListBoxControl::BindSelectionChanged(EventHandler handler) {
  selection_changed_ = handler;
  return handler;
}
EventHandler ListBoxControl::BindDoubleClick(EventHandler handler) {
  double_click_ = handler;
  return handler;
}

}  // namespace belvane
