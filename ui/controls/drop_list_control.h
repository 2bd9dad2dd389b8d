#pragma once
// DropListControl: a combo box used as a drop-down list. Indexes are 0-based; -1 (CB_ERR)
// means none or failure. Attaching gives it the default GUI font and a white background.

#include <windowsx.h>

#include "ui/controls/coloured_control.h"

namespace belvane {

class DropListControl : public ColouredControl {
 public:
  // The five notifications, in field order.
  enum class Event {
    kSelectionChanged,
    kEditUpdated,
    kDroppedDown,
    kClosedUp,
    kDoubleClick,
    kCount
  };

  // ---- Hooks replaced from WindowObject / ColouredControl
  LRESULT CommandReflection(HWND parent, HWND control, int code, int id) override;
  void ClassCleanup() override;

  // Creates a combo box (CBS_DROPDOWNLIST unless another style is given).
  bool CreateDropList(HWND parent, int left, int top, int width, int height, int id,
                      DWORD style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
  // Attaches the dialog item; on success the background becomes white (no repaint).
  bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = true) override;
  // CB_ADDSTRING, then CB_SETITEMDATA; the new index or -1.
  int AddItem(const TextValue& text, LPARAM value = 0);
  // CB_INSERTSTRING at an index (-1 appends), then CB_SETITEMDATA; the index or -1.
  int InsertItem(int index, const TextValue& text, LPARAM value = 0);
  // CB_LIMITTEXT.
  void LimitText(int bytes);
  // CB_GETLBTEXTLEN then CB_GETLBTEXT, whole; empty for an index outside the items.
  TextValue ItemText(int index) const;
  // CB_SELECTSTRING from after start (-1 all); the selected index or -1.
  int SelectPrefix(const TextValue& prefix, int start = -1);
  // CB_GETCOUNT.
  int ItemCount() const;
  // CB_GETCURSEL: the selected index or -1.
  int CurrentSelection() const;
  // CB_SETCURSEL; false when the result is -1 (an index outside the items, or -1), and then
  // nothing stays selected.
  bool CurrentSelection(int index);
  // CB_GETITEMDATA.
  LPARAM ItemValue(int index) const;
  // CB_SETITEMDATA.
  bool ItemValue(int index, LPARAM value);
  // CB_DELETESTRING; the remaining count or -1.
  int DeleteItem(int index);
  // CB_RESETCONTENT.
  void DeleteAllItems();
  // CB_SHOWDROPDOWN.
  void ShowDropDown(bool show = true);
  // CB_FINDSTRING from after start (-1 all); the index or -1.
  int FindPrefix(const TextValue& prefix, int start = -1) const;
  // CB_FINDSTRINGEXACT from after start (-1 all); the index or -1.
  int FindExact(const TextValue& text, int start = -1) const;
  // CB_GETDROPPEDCONTROLRECT, in screen coordinates.
  RECT DroppedRect() const;
  // CB_GETDROPPEDSTATE.
  bool IsDroppedDown() const;
  // CB_GETDROPPEDWIDTH.
  int DroppedWidth() const;
  // CB_SETDROPPEDWIDTH.
  int DroppedWidth(int width);
  // CB_GETITEMHEIGHT (-1 the selection field).
  int ItemHeight(int index = 0) const;
  // CB_SETITEMHEIGHT.
  bool ItemHeight(int index, int height);
  // CB_SETEDITSEL.
  bool EditSelection(int start, int end);
  // CB_GETEDITSEL: low word start, high word end.
  DWORD EditSelection() const;
  // CB_GETTOPINDEX.
  int TopIndex() const;
  // CB_SETTOPINDEX.
  bool TopIndex(int index);
  // CB_DIR; the index of the last name added or -1.
  int AddDirectory(UINT attributes, const TextValue& pattern);
  // CB_SETEXTENDEDUI.
  bool ExtendedUi(bool extended);
  // CB_GETEXTENDEDUI.
  bool ExtendedUi() const;
  // Binders (each returns the handler).
  EventHandler BindSelectionChanged(EventHandler handler);
  EventHandler BindEditUpdated(EventHandler handler);
  EventHandler BindDroppedDown(EventHandler handler);
  EventHandler BindClosedUp(EventHandler handler);
  EventHandler BindDoubleClick(EventHandler handler);
  // The bound handler of one notification.
  EventHandler Handler(Event event) const { return handlers_[static_cast<int>(event)]; }
  using WindowObject::Handler;

 private:
  std::array<EventHandler, static_cast<int>(Event::kCount)> handlers_{};
};

}  // namespace belvane
