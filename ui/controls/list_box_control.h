#pragma once
// ListBoxControl: a list box. Indexes are 0-based; -1 (LB_ERR) means none or failure.
// Attaching gives it the default GUI font and a white background.

#include <vector>

#include "ui/controls/coloured_control.h"

namespace belvane {

class ListBoxControl : public ColouredControl {
 public:
  // ---- Hooks replaced from WindowObject / ColouredControl
  LRESULT CommandReflection(HWND parent, HWND control, int code, int id) override;
  void ClassCleanup() override;

  // Creates a list box.
  bool CreateListBox(HWND parent, int left, int top, int width, int height, int id,
                     DWORD style = LBS_NOTIFY | LBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                     DWORD ex_style = WS_EX_CLIENTEDGE);
  // Attaches the dialog item; on success the background becomes white (no repaint).
  bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = true) override;
  // LB_ADDSTRING, then LB_SETITEMDATA; the index or LB_ADDSTRING's negative error.
  int AddItem(const TextValue& text, LPARAM value = 0);
  // LB_INSERTSTRING at an index (-1 appends), then LB_SETITEMDATA; the index or the error.
  int InsertItem(int index, const TextValue& text, LPARAM value = 0);
  // LB_DELETESTRING; the remaining count or -1.
  int DeleteItem(int index);
  // LB_RESETCONTENT.
  void DeleteAllItems();
  // LB_SELECTSTRING from after start (-1 all); the index or -1.
  int SelectPrefix(const TextValue& prefix, int start = -1);
  // LB_SETSEL in a multiple-selection list (index -1: every item).
  bool SetItemSelected(int index, bool selected);
  // LB_SELITEMRANGE.
  bool SelectRange(int first, int last, bool selected = true);
  // LB_FINDSTRING from after start (-1 all); the index or -1.
  int FindPrefix(const TextValue& prefix, int start = -1) const;
  // LB_FINDSTRINGEXACT from after start (-1 all); the index or -1.
  int FindExact(const TextValue& text, int start = -1) const;
  // LB_GETCURSEL: the selected index, or -1 when nothing is selected.
  int CurrentSelection() const;
  // LB_SETCURSEL; the message's result (-1 for -1 or an index outside the items).
  int CurrentSelection(int index);
  // LB_GETCOUNT.
  int ItemCount() const;
  // LB_GETITEMDATA.
  LPARAM ItemValue(int index) const;
  // LB_SETITEMDATA.
  bool ItemValue(int index, LPARAM value);
  // LB_GETSEL.
  bool IsItemSelected(int index) const;
  // LB_GETSELCOUNT (-1 in a single-selection list).
  int SelectedCount() const;
  // LB_GETSELCOUNT, LB_GETSELITEMS: the selected indexes of a multiple-selection list.
  std::vector<int> SelectedItems() const;
  // LB_GETTEXTLEN then LB_GETTEXT: the whole item text; empty for an index outside the items.
  TextValue ItemText(int index) const;
  // LB_GETTOPINDEX.
  int TopIndex() const;
  // LB_SETTOPINDEX.
  bool TopIndex(int index);
  // LB_GETCARETINDEX.
  int CaretIndex() const;
  // LB_SETCARETINDEX.
  bool CaretIndex(int index, bool partly_visible = false);
  // LB_GETITEMHEIGHT.
  int ItemHeight(int index = 0) const;
  // LB_GETITEMRECT.
  RECT ItemRect(int index) const;
  // LB_SETITEMHEIGHT.
  bool ItemHeight(int index, int height);
  // LB_SETCOLUMNWIDTH.
  void ColumnWidth(int width);
  // LB_ITEMFROMPOINT: low word the nearest item, high word 1 when outside the client area.
  DWORD ItemFromPoint(int x, int y) const;
  // Binds the selection-changed (LBN_SELCHANGE) handler; returns it.
  EventHandler BindSelectionChanged(EventHandler handler);
  // Binds the double-click (LBN_DBLCLK) handler; returns it.
  EventHandler BindDoubleClick(EventHandler handler);
  EventHandler SelectionChangedHandler() const { return selection_changed_; }
  EventHandler DoubleClickHandler() const { return double_click_; }

 private:
  EventHandler selection_changed_ = nullptr;
  EventHandler double_click_ = nullptr;
};

}  // namespace belvane
