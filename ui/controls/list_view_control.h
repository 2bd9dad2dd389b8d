#pragma once
// ListViewControl: a report list view ("SysListView32"). Rows and columns are 0-based; -1 means
// none (selection mark), all rows (DeselectRow) or append (InsertRow, InsertColumn). Every cell
// holds GBK text. Constructing one initialises the list-view classes (InitCommonControlsEx).
//
// An owner-data list view (LVS_OWNERDATA) holds only its row count, selection and focus: it asks
// the cell text source for each cell it shows or is asked for, so the cell readers below work
// on it as on a normal one.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <vector>

#include "runtime/text_value.h"
#include "ui/window_object.h"

namespace belvane {

class ListViewControl : public WindowObject {
 public:
  // The ten notifications, in field order.
  enum class Event {
    kRightClick,
    kClick,
    kDoubleClick,
    kBeginLabelEdit,
    kEndLabelEdit,
    kCheckStateChanging,
    kRowSelected,
    kHotTrack,
    kActivate,
    kColumnClick,
    kCount
  };
  // The extended list-view style every list view of the layer starts with.
  static constexpr DWORD kDefaultExStyle = LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP;
  // Bytes GetCellText reads a cell through (one for the terminating NUL).
  static constexpr int kCellBufferBytes = 260;
  // The text of a cell of an owner-data list view.
  using CellTextSource = std::function<TextValue(int row, int column)>;
  // A row's own colours, drawn through custom draw; nothing keeps the list's.
  struct RowColours {
    COLORREF text;
    COLORREF background;
  };
  using RowColourSource = std::function<std::optional<RowColours>(int row)>;

  ListViewControl();

  // ---- Hooks replaced from WindowObject
  // Calls the bound handlers; answers LVN_DELETEALLITEMS with TRUE, so clearing the rows sends
  // no LVN_DELETEITEM per row; answers an owner-data list's LVN_GETDISPINFO and LVN_ODFINDITEM
  // from the cell text source. Other notifications go on to the parent (0).
  LRESULT NotifyReflection(HWND parent, HWND sender, int code, int id, LPARAM lparam) override;
  void DestroyingHook() override;
  bool UpdateNow() override;

  // ---- List view operations, in slot order
  // Creates the list view as a child (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style) with the
  // next run-time id and the default GUI font (an owner-data one with UTF-16 notifications);
  // false when attached or on failure.
  bool CreateListView(HWND parent, DWORD style, int left, int top, int width = 100,
                      int height = 120, DWORD ex_style = WS_EX_CLIENTEDGE);
  // Attaches the dialog item, then sets the extended list-view style to the default.
  bool AttachToDialogItem(HWND dialog, int item_id, bool use_default_font = true) override;
  // LVM_GETITEMA through 260 bytes: a longer text comes back cut to 259 bytes; empty for a
  // cell that does not exist.
  TextValue GetCellText(int row, int column = 0) const;
  // The whole cell text, however long (LVM_GETITEMTEXTA with a growing buffer).
  TextValue GetWholeCellText(int row, int column = 0) const;
  // LVM_GETITEMA, LVIF_IMAGE; -1 on failure.
  int RowImage(int row) const;
  // The row's check state: LVM_GETITEMSTATE (0xF000) / 4096 - 1.
  int RowCheckState(int row) const;
  // LVM_GETITEMA, LVIF_INDENT.
  int RowIndent(int row) const;
  // LVM_GETITEMA, LVIF_PARAM.
  LPARAM RowValue(int row) const;
  // LVM_SETITEMA, LVIF_TEXT; false for a row that does not exist.
  bool SetCellText(int row, int column, const TextValue& text);
  // LVM_SETITEMA, LVIF_IMAGE.
  bool SetRowImage(int row, int image);
  // LVM_SETITEMA, LVIF_STATE: 0 unchecked, 1 checked.
  bool SetRowCheckState(int row, int check_state);
  // LVM_SETITEMA, LVIF_INDENT.
  bool SetRowIndent(int row, int indent);
  // LVM_SETITEMA, LVIF_PARAM.
  bool SetRowValue(int row, LPARAM value);
  // The rows whose check state is 1, in order.
  std::vector<int> CheckedRows() const;
  // The selected rows, in order (LVM_GETNEXTITEM, LVNI_SELECTED).
  std::vector<int> SelectedRows() const;
  // LVM_GETSELECTEDCOUNT.
  int SelectedCount() const;
  // LVM_GETITEMSTATE, LVIS_SELECTED.
  bool IsRowSelected(int row) const;
  // LVM_GETSELECTIONMARK: the current row, -1 for none.
  int SelectionMark() const;
  // LVM_SETSELECTIONMARK, then SelectRow (or DeselectRow(-1) for -1); that call's result.
  bool SetCurrentRow(int row);
  // LVM_GETITEMCOUNT.
  int RowCount() const;
  // LVM_SETITEMCOUNT: an owner-data list's row count (flags LVSICF_*), or room made for that
  // many rows in a normal one.
  bool SetRowCount(int count, DWORD flags = 0);
  // LVM_SETSELECTIONMARK alone; the previous mark.
  int SetSelectionMark(int row);
  // LVM_GETNEXTITEM, LVNI_FOCUSED: the row with the focus, -1 for none.
  int FocusedRow() const;
  // LVM_SETITEMSTATE giving the row the focus.
  bool FocusRow(int row);
  // LVM_SETITEMSTATE selecting the row.
  bool SelectRow(int row);
  // LVM_SETITEMSTATE deselecting the row; -1 deselects every row.
  bool DeselectRow(int row);
  // LVM_INSERTITEMA at index (-1 or none appends); sets only what is given. The row or -1.
  int InsertRow(std::optional<int> index = std::nullopt, std::optional<TextValue> text = {},
                int image = -1, int check_state = -1, std::optional<int> indent = {},
                std::optional<LPARAM> value = {});
  // LVM_SORTITEMS with a comparison of two row values.
  bool SortRows(PFNLVCOMPARE compare, LPARAM context);
  // LVM_DELETEITEM; later rows move up.
  bool DeleteRow(int row);
  // LVM_DELETECOLUMN.
  bool DeleteColumn(int column);
  // LVM_DELETEALLITEMS.
  bool DeleteAllRows();
  // LVM_FINDITEMA by text (exact, or prefix when partial) after start (-1 all); the row or -1.
  int FindRow(const TextValue& text, bool partial = false, int start = -1) const;
  // LVM_FINDITEMA by row value; the row or -1.
  int FindRowByValue(LPARAM value, int start = -1) const;
  // LVM_ENSUREVISIBLE.
  bool ScrollRowIntoView(int row, bool partial_ok = false);
  // LVM_ARRANGE.
  bool Arrange(int code = LVA_DEFAULT);
  // LVM_GETCOLUMNA: format and width of a column (false when it does not exist).
  bool GetColumn(int column, int* format, int* width) const;
  // LVM_GETCOLUMNA: a column's title.
  TextValue ColumnTitle(int column) const;
  // LVM_SETCOLUMNA: a column's title.
  bool ColumnTitle(int column, const TextValue& title);
  // LVM_SETCOLUMNA: a column's format.
  bool ColumnFormat(int column, int format);
  // LVM_GETCOLUMNWIDTH.
  int ColumnWidth(int column) const;
  // LVM_SETCOLUMNWIDTH.
  bool ColumnWidth(int column, int width);
  // LVM_GETSELECTEDCOLUMN.
  int SelectedColumn() const;
  // LVM_SETSELECTEDCOLUMN.
  void SelectedColumn(int column);
  // HDM_GETITEMCOUNT of the header.
  int ColumnCount() const;
  // LVM_INSERTCOLUMNA at index (-1 or none appends); the new column or -1.
  int InsertColumn(std::optional<int> index = std::nullopt, const TextValue& title = {},
                   int width = 50, int format = LVCFMT_LEFT, int image = -1,
                   bool image_on_right = false);
  // LVM_GETSUBITEMRECT (LVIR_BOUNDS).
  RECT CellRect(int row, int column) const;
  // Sets the focus, then LVM_EDITLABELA; the edit box or 0.
  HWND EditLabel(int row);
  // LVM_GETTOPINDEX.
  int TopIndex() const;
  // LVM_GETCOUNTPERPAGE.
  int RowsPerPage() const;
  // LVM_GETEDITCONTROL.
  HWND LabelEditBox() const;
  // LVM_GETITEMSPACING (small icons when small).
  DWORD ItemSpacing(bool small = false) const;
  // LVM_SUBITEMHITTEST at a client point: row and column, -1 when none.
  void HitTest(int x, int y, int* row, int* column) const;
  // LVM_GETITEMPOSITION.
  POINT RowPosition(int row) const;
  // LVM_GETITEMRECT (LVIR_BOUNDS).
  RECT RowRect(int row) const;
  // LVM_SETITEMPOSITION.
  bool RowPosition(int row, int x, int y);
  // LVM_GETIMAGELIST (LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE).
  HIMAGELIST ImageList(int kind = LVSIL_SMALL) const;
  // LVM_SETIMAGELIST; the previous list.
  HIMAGELIST ImageList(HIMAGELIST list, int kind = LVSIL_SMALL);
  // LVM_CREATEDRAGIMAGE; the caller owns the image list.
  HIMAGELIST CreateDragImage(int row, POINT* upper_left) const;
  // LVM_SCROLL by pixels.
  bool Scroll(int dx, int dy);
  // LVM_SETEXTENDEDLISTVIEWSTYLE with the current bits OR bits; the previous style.
  DWORD AddListViewExStyle(DWORD bits);
  // LVM_GETEXTENDEDLISTVIEWSTYLE.
  DWORD ListViewExStyle() const;
  // LVM_SETEXTENDEDLISTVIEWSTYLE with the bits cleared; the previous style.
  DWORD RemoveListViewExStyle(DWORD bits);
  // LVM_GETBKIMAGEA: the background image's URL (empty for none).
  TextValue BackgroundImage() const;
  // LVM_SETBKIMAGEA from a URL or file, tiled when asked.
  bool BackgroundImage(const TextValue& url, bool tile = false);
  // LVM_GETTEXTCOLOR.
  COLORREF TextColour() const;
  // LVM_SETTEXTCOLOR; redraws the visible rows when asked.
  bool TextColour(COLORREF colour, bool redraw = true);
  // LVM_GETTEXTBKCOLOR.
  COLORREF TextBackgroundColour() const;
  // LVM_SETTEXTBKCOLOR; redraws the visible rows when asked.
  bool TextBackgroundColour(COLORREF colour, bool redraw = true);
  // LVM_GETBKCOLOR.
  COLORREF BackgroundColour() const;
  // LVM_SETBKCOLOR; redraws the visible rows when asked.
  bool BackgroundColour(COLORREF colour, bool redraw = true);
  // The view (LVS_ICON, LVS_REPORT, LVS_SMALLICON, LVS_LIST) from the window style.
  int ViewMode() const;
  // LVM_GETHEADER.
  HWND Header() const;
  // Binders (each returns the handler). Row selected gets (row, row value); click, double
  // and right click get (row, key flags); check state changing gets (row, new check state);
  // column click gets (column); the others get (row).
  EventHandler BindRowSelected(EventHandler handler);
  EventHandler BindHotTrack(EventHandler handler);
  EventHandler BindColumnClick(EventHandler handler);
  EventHandler BindActivate(EventHandler handler);
  EventHandler BindBeginLabelEdit(EventHandler handler);
  EventHandler BindEndLabelEdit(EventHandler handler);
  EventHandler BindClick(EventHandler handler);
  EventHandler BindRightClick(EventHandler handler);
  EventHandler BindDoubleClick(EventHandler handler);
  EventHandler BindCheckStateChanging(EventHandler handler);
  // Where an owner-data list's cells come from (no message); empty: every cell is empty.
  void SetCellTextSource(CellTextSource source) { cell_text_source_ = std::move(source); }
  // Where rows' own colours come from (asked as each row is drawn); empty: none.
  void SetRowColourSource(RowColourSource source) { row_colour_source_ = std::move(source); }
  // The bound handler of one notification.
  EventHandler Handler(Event event) const { return handlers_[static_cast<int>(event)]; }
  using WindowObject::Handler;

 private:
  // LVM_SETITEMSTATE of `row` (-1: every row): the state bits of `mask` set to those of `state`.
  bool SetRowState(int row, UINT state, UINT mask);
  EventHandler& Slot(Event event) { return handlers_[static_cast<int>(event)]; }
  bool RedrawVisibleRows();
  TextValue SourceCellText(int row, int column) const;
  void AnswerCellText(NMLVDISPINFOA& info, bool wide) const;
  int AnswerFindRow(const NMLVFINDITEMA& find, bool wide) const;
  LRESULT AnswerCustomDraw(HWND parent, NMLVCUSTOMDRAW& draw) const;

  std::array<EventHandler, static_cast<int>(Event::kCount)> handlers_{};
  CellTextSource cell_text_source_;
  RowColourSource row_colour_source_;
};

}  // namespace belvane
