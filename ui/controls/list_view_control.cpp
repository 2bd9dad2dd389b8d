#include "ui/controls/list_view_control.h"

#include <algorithm>
#include <limits>
#include <string>

#include "runtime/gbk.h"
#include "runtime/memory.h"
#include "ui/event_binder.h"
#include "ui/window_layer.h"

namespace belvane {
namespace {

// The check state is the state image index minus one, kept in bits 12 to 15 of the row state.
constexpr UINT kStateImageMask = 0xF000;
constexpr UINT kStateImageUnit = 0x1000;

// A writable copy of a text for the LVITEMA / LVCOLUMNA pszText fields.
struct TextBuffer {
  explicit TextBuffer(const TextValue& text) : bytes(text.View()) {}
  char* Data() { return bytes.data(); }
  int Length() const { return static_cast<int>(bytes.size()); }
  std::string bytes;
};

}  // namespace

ListViewControl::ListViewControl() {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&init);
}

// ---- Hooks

LRESULT ListViewControl::NotifyReflection(HWND parent, HWND, int signed_code, int, LPARAM lparam) {
  // Notification codes are negative numbers that the headers spell as unsigned.
  auto code = static_cast<UINT>(signed_code);
  switch (code) {
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK: {
      const auto* info = reinterpret_cast<const NMITEMACTIVATE*>(lparam);
      Event event = code == NM_CLICK    ? Event::kClick
                    : code == NM_DBLCLK ? Event::kDoubleClick
                                        : Event::kRightClick;
      CallHandler(Handler(event), info->iItem, info->uKeyFlags);
      break;
    }
    case LVN_BEGINLABELEDITA:
    case LVN_BEGINLABELEDITW:
      CallHandler(Handler(Event::kBeginLabelEdit),
                  reinterpret_cast<const NMLVDISPINFOA*>(lparam)->item.iItem);
      break;
    case LVN_ENDLABELEDITA:
    case LVN_ENDLABELEDITW:
      CallHandler(Handler(Event::kEndLabelEdit),
                  reinterpret_cast<const NMLVDISPINFOA*>(lparam)->item.iItem);
      break;
    case LVN_ITEMCHANGING: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lparam);
      if ((change->uNewState & 0x3000) != 0 && change->uNewState != change->uOldState) {
        int check = static_cast<int>((change->uNewState & kStateImageMask) / kStateImageUnit) - 1;
        CallHandler(Handler(Event::kCheckStateChanging), change->iItem, check);
      }
      break;
    }
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lparam);
      if (change->uNewState & LVIS_SELECTED)
        CallHandler(Handler(Event::kRowSelected), change->iItem, change->lParam);
      break;
    }
    case LVN_HOTTRACK:
      CallHandler(Handler(Event::kHotTrack), reinterpret_cast<const NMLISTVIEW*>(lparam)->iItem);
      break;
    case LVN_ITEMACTIVATE:
      CallHandler(Handler(Event::kActivate),
                  reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem);
      break;
    case LVN_COLUMNCLICK:
      CallHandler(Handler(Event::kColumnClick),
                  reinterpret_cast<const NMLISTVIEW*>(lparam)->iSubItem);
      break;
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW:
      AnswerCellText(*reinterpret_cast<NMLVDISPINFOA*>(lparam), code == LVN_GETDISPINFOW);
      return 0;
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
      return AnswerFindRow(*reinterpret_cast<const NMLVFINDITEMA*>(lparam),
                           code == LVN_ODFINDITEMW);
    case NM_CUSTOMDRAW:
      if (!row_colour_source_) break;
      return AnswerCustomDraw(parent, *reinterpret_cast<NMLVCUSTOMDRAW*>(lparam));
    case LVN_DELETEALLITEMS:
      // TRUE: no LVN_DELETEITEM follows for each row. No handler takes them, and at a full day
      // of rows one trip per row through the parent's routing made clearing (and destroying)
      // the list take seconds. The answer ends the message here, so it reaches the list view.
      return TRUE;
    default:
      break;
  }
  // 0: the notification goes on to the parent's own procedure.
  return 0;
}

TextValue ListViewControl::SourceCellText(int row, int column) const {
  if (!cell_text_source_) return TextValue();
  // Asked from inside the list view's own message: nothing may be thrown back through it.
  try {
    return cell_text_source_(row, column);
  } catch (...) {
    return TextValue();
  }
}

void ListViewControl::AnswerCellText(NMLVDISPINFOA& info, bool wide) const {
  LVITEMA& item = info.item;
  if (!(item.mask & LVIF_TEXT) || item.pszText == nullptr || item.cchTextMax <= 0) return;
  const TextValue text = SourceCellText(item.iItem, item.iSubItem);
  const std::size_t room = static_cast<std::size_t>(item.cchTextMax) - 1;
  // Cut to the buffer. Asked in UTF-16 (see CreateListView), the list view then hands a narrow
  // reader the cell as it would hand over a cell it holds.
  if (wide) {
    const std::wstring whole = WideFromGbk(text.View());
    const std::size_t length = std::min(whole.size(), room);
    auto* out = reinterpret_cast<wchar_t*>(item.pszText);
    whole.copy(out, length);
    out[length] = L'\0';
  } else {
    const std::size_t length = std::min(text.Length(), room);
    text.View().copy(item.pszText, length);
    item.pszText[length] = '\0';
  }
}

int ListViewControl::AnswerFindRow(const NMLVFINDITEMA& find, bool wide) const {
  // Only a search by text is answered; type-ahead sends a partial one that wraps. Case is folded
  // in ASCII only, as the first column holds digits.
  if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || find.lvfi.psz == nullptr) return -1;
  const std::string wanted =
      wide ? GbkFromWide(reinterpret_cast<const wchar_t*>(find.lvfi.psz)).Bytes() : find.lvfi.psz;
  const bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
  auto matches = [&](int row) {
    const TextValue text = SourceCellText(row, 0);
    if (partial ? text.Length() < wanted.size() : text.Length() != wanted.size()) return false;
    return std::equal(wanted.begin(), wanted.end(), text.View().begin(), [](char a, char b) {
      const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
      return fold(a) == fold(b);
    });
  };
  const int count = RowCount();
  const int start = std::clamp(find.iStart, 0, count);
  for (int row = start; row < count; ++row)
    if (matches(row)) return row;
  if (find.lvfi.flags & LVFI_WRAP)
    for (int row = 0; row < start; ++row)
      if (matches(row)) return row;
  return -1;
}

void ListViewControl::DestroyingHook() {
  handlers_.fill(nullptr);
}

bool ListViewControl::UpdateNow() {
  return RedrawVisibleRows();
}

bool ListViewControl::RedrawVisibleRows() {
  return SendWindowMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(TopIndex()), RowsPerPage()) != 0;
}

// ---- Creating and attaching

bool ListViewControl::CreateListView(HWND parent, DWORD style, int left, int top, int width,
                                     int height, DWORD ex_style) {
  if (Handle() != nullptr) return false;
  int id = NextControlId();
  if (!CreateWindowObject(ex_style, WC_LISTVIEWA, "ListView",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, left, top, width, height,
                          parent, id))
    return false;
  SendWindowMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  SendWindowMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kDefaultExStyle);
  // An owner-data list asks for its cells in UTF-16 and converts them for a narrow reader: both
  // widths then read a cell as a list that holds it hands it over, cut included.
  if (style & LVS_OWNERDATA) SendWindowMessage(LVM_SETUNICODEFORMAT, TRUE);
  return true;
}

bool ListViewControl::AttachToDialogItem(HWND dialog, int item_id, bool use_default_font) {
  if (!WindowObject::AttachToDialogItem(dialog, item_id, use_default_font)) return false;
  SendWindowMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kDefaultExStyle);
  return true;
}

// ---- Cells and rows

TextValue ListViewControl::GetCellText(int row, int column) const {
  char buffer[kCellBufferBytes] = {};
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = kCellBufferBytes;
  if (!SendWindowMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return TextValue();
  // The control may answer with its own storage instead of filling the buffer.
  const char* text = item.pszText ? item.pszText : buffer;
  std::size_t length = strnlen(text, kCellBufferBytes - 1);
  return TextValue(std::string_view(text, length));
}

TextValue ListViewControl::GetWholeCellText(int row, int column) const {
  if (row < 0 || row >= RowCount()) return TextValue();
  // Grow the buffer until the text ends before its last byte: then nothing was cut. No size
  // limit short of the message's own: a shorter text would be saved in the cell's place.
  constexpr std::size_t kLargest = std::numeric_limits<int>::max();
  for (std::size_t size = kCellBufferBytes;; size = std::min(size * 4, kLargest)) {
    std::string buffer(size, '\0');
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    SendWindowMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    std::size_t length = strnlen(buffer.data(), size);
    if (length + 1 < size) {
      buffer.resize(length);
      return TextValue(std::move(buffer));
    }
    // A cell the message cannot hand over whole: as memory that cannot be had.
    if (size == kLargest) FailOutOfMemory();
  }
}

namespace {

bool GetItem(const ListViewControl& view, int row, UINT mask, LVITEMA* item) {
  item->mask = mask;
  item->iItem = row;
  item->iSubItem = 0;
  return view.SendWindowMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

}  // namespace

int ListViewControl::RowImage(int row) const {
  LVITEMA item{};
  return GetItem(*this, row, LVIF_IMAGE, &item) ? item.iImage : -1;
}

int ListViewControl::RowCheckState(int row) const {
  auto state = static_cast<UINT>(
      SendWindowMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(row), kStateImageMask));
  return static_cast<int>(state / kStateImageUnit) - 1;
}

int ListViewControl::RowIndent(int row) const {
  LVITEMA item{};
  return GetItem(*this, row, LVIF_INDENT, &item) ? item.iIndent : 0;
}

LPARAM ListViewControl::RowValue(int row) const {
  LVITEMA item{};
  return GetItem(*this, row, LVIF_PARAM, &item) ? item.lParam : 0;
}

bool ListViewControl::SetCellText(int row, int column, const TextValue& text) {
  TextBuffer copy(text);
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = copy.Data();
  item.cchTextMax = copy.Length();
  return SendWindowMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

namespace {

bool SetItem(ListViewControl& view, LVITEMA& item) {
  return view.SendWindowMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

}  // namespace

bool ListViewControl::SetRowImage(int row, int image) {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = image;
  return SetItem(*this, item);
}

bool ListViewControl::SetRowCheckState(int row, int check_state) {
  LVITEMA item{};
  item.mask = LVIF_STATE;
  item.iItem = row;
  item.state = static_cast<UINT>(check_state + 1) * kStateImageUnit;
  item.stateMask = kStateImageMask;
  return SetItem(*this, item);
}

bool ListViewControl::SetRowIndent(int row, int indent) {
  LVITEMA item{};
  item.mask = LVIF_INDENT;
  item.iItem = row;
  item.iIndent = indent;
  return SetItem(*this, item);
}

bool ListViewControl::SetRowValue(int row, LPARAM value) {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = value;
  return SetItem(*this, item);
}

std::vector<int> ListViewControl::CheckedRows() const {
  std::vector<int> rows;
  for (int row = 0, count = RowCount(); row < count; ++row)
    if (RowCheckState(row) == 1) rows.push_back(row);
  return rows;
}

std::vector<int> ListViewControl::SelectedRows() const {
  std::vector<int> rows;
  int row = -1;
  while ((row = static_cast<int>(
              SendWindowMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) != -1)
    rows.push_back(row);
  return rows;
}

int ListViewControl::SelectedCount() const {
  return static_cast<int>(SendWindowMessage(LVM_GETSELECTEDCOUNT));
}

bool ListViewControl::IsRowSelected(int row) const {
  return SendWindowMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
}

int ListViewControl::SelectionMark() const {
  return static_cast<int>(SendWindowMessage(LVM_GETSELECTIONMARK));
}

bool ListViewControl::SetCurrentRow(int row) {
  SendWindowMessage(LVM_SETSELECTIONMARK, 0, row);
  return row == -1 ? DeselectRow(-1) : SelectRow(row);
}

int ListViewControl::RowCount() const {
  return static_cast<int>(SendWindowMessage(LVM_GETITEMCOUNT));
}

bool ListViewControl::SetRowCount(int count, DWORD flags) {
  return SendWindowMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), flags) != 0;
}

int ListViewControl::SetSelectionMark(int row) {
  return static_cast<int>(SendWindowMessage(LVM_SETSELECTIONMARK, 0, row));
}

int ListViewControl::FocusedRow() const {
  return static_cast<int>(
      SendWindowMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

bool ListViewControl::SetRowState(int row, UINT state, UINT mask) {
  LVITEMA item{};
  item.mask = LVIF_STATE;
  item.iItem = row;
  item.state = state;
  item.stateMask = mask;
  return SendWindowMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&item)) != 0;
}

bool ListViewControl::FocusRow(int row) {
  return SetRowState(row, LVIS_FOCUSED, LVIS_FOCUSED);
}

bool ListViewControl::SelectRow(int row) {
  return SetRowState(row, LVIS_SELECTED, LVIS_SELECTED);
}

bool ListViewControl::DeselectRow(int row) {
  return SetRowState(row, 0, LVIS_SELECTED);
}

int ListViewControl::InsertRow(std::optional<int> index, std::optional<TextValue> text, int image,
                               int check_state, std::optional<int> indent,
                               std::optional<LPARAM> value) {
  int at = (!index || *index == -1) ? RowCount() : *index;
  TextBuffer copy(text.value_or(TextValue()));
  LVITEMA item{};
  item.iItem = at;
  if (text) item.mask |= LVIF_TEXT;
  if (image != -1) item.mask |= LVIF_IMAGE;
  if (check_state != -1) {
    item.mask |= LVIF_STATE;
    item.state = static_cast<UINT>(check_state + 1) * kStateImageUnit;
    item.stateMask = kStateImageMask;
  }
  if (indent) item.mask |= LVIF_INDENT;
  if (value) item.mask |= LVIF_PARAM;
  item.pszText = copy.Data();
  item.cchTextMax = copy.Length();
  item.iImage = image;
  item.iIndent = indent.value_or(0);
  item.lParam = value.value_or(0);
  return static_cast<int>(SendWindowMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListViewControl::SortRows(PFNLVCOMPARE compare, LPARAM context) {
  return SendWindowMessage(LVM_SORTITEMS, static_cast<WPARAM>(context),
                           reinterpret_cast<LPARAM>(compare)) != 0;
}

bool ListViewControl::DeleteRow(int row) {
  return SendWindowMessage(LVM_DELETEITEM, static_cast<WPARAM>(row)) != 0;
}

bool ListViewControl::DeleteColumn(int column) {
  return SendWindowMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column)) != 0;
}

bool ListViewControl::DeleteAllRows() {
  return SendWindowMessage(LVM_DELETEALLITEMS) != 0;
}

int ListViewControl::FindRow(const TextValue& text, bool partial, int start) const {
  LVFINDINFOA find{};
  find.flags = LVFI_STRING | (partial ? LVFI_PARTIAL : 0);
  find.psz = text.CStr();
  return static_cast<int>(SendWindowMessage(LVM_FINDITEMA, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(&find)));
}

int ListViewControl::FindRowByValue(LPARAM value, int start) const {
  LVFINDINFOA find{};
  find.flags = LVFI_PARAM;
  find.lParam = value;
  return static_cast<int>(SendWindowMessage(LVM_FINDITEMA, static_cast<WPARAM>(start),
                                            reinterpret_cast<LPARAM>(&find)));
}

bool ListViewControl::ScrollRowIntoView(int row, bool partial_ok) {
  return SendWindowMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), partial_ok) != 0;
}

bool ListViewControl::Arrange(int code) {
  return SendWindowMessage(LVM_ARRANGE, static_cast<WPARAM>(code)) != 0;
}

// ---- Columns

bool ListViewControl::GetColumn(int column, int* format, int* width) const {
  LVCOLUMNA info{};
  info.mask = LVCF_FMT | LVCF_WIDTH;
  if (!SendWindowMessage(LVM_GETCOLUMNA, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(&info)))
    return false;
  if (format) *format = info.fmt;
  if (width) *width = info.cx;
  return true;
}

TextValue ListViewControl::ColumnTitle(int column) const {
  char buffer[kCellBufferBytes] = {};
  LVCOLUMNA info{};
  info.mask = LVCF_TEXT;
  info.pszText = buffer;
  info.cchTextMax = kCellBufferBytes;
  if (!SendWindowMessage(LVM_GETCOLUMNA, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(&info)))
    return TextValue();
  return TextValue(std::string_view(buffer, strnlen(buffer, kCellBufferBytes - 1)));
}

bool ListViewControl::ColumnTitle(int column, const TextValue& title) {
  TextBuffer copy(title);
  LVCOLUMNA info{};
  info.mask = LVCF_TEXT;
  info.pszText = copy.Data();
  info.cchTextMax = copy.Length();
  return SendWindowMessage(LVM_SETCOLUMNA, static_cast<WPARAM>(column),
                           reinterpret_cast<LPARAM>(&info)) != 0;
}

bool ListViewControl::ColumnFormat(int column, int format) {
  LVCOLUMNA info{};
  info.mask = LVCF_FMT;
  info.fmt = format;
  return SendWindowMessage(LVM_SETCOLUMNA, static_cast<WPARAM>(column),
                           reinterpret_cast<LPARAM>(&info)) != 0;
}

int ListViewControl::ColumnWidth(int column) const {
  return static_cast<int>(SendWindowMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

bool ListViewControl::ColumnWidth(int column, int width) {
  return SendWindowMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width) != 0;
}

int ListViewControl::SelectedColumn() const {
  return static_cast<int>(SendWindowMessage(LVM_GETSELECTEDCOLUMN));
}

void ListViewControl::SelectedColumn(int column) {
  SendWindowMessage(LVM_SETSELECTEDCOLUMN, static_cast<WPARAM>(column));
}

int ListViewControl::ColumnCount() const {
  return static_cast<int>(SendMessageA(Header(), HDM_GETITEMCOUNT, 0, 0));
}

int ListViewControl::InsertColumn(std::optional<int> index, const TextValue& title, int width,
                                  int format, int image, bool image_on_right) {
  int at = (!index || *index == -1) ? ColumnCount() : *index;
  TextBuffer copy(title);
  LVCOLUMNA info{};
  info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
  if (image != -1) info.mask |= LVCF_IMAGE;
  info.fmt = format | (image_on_right ? LVCFMT_BITMAP_ON_RIGHT : 0);
  info.cx = width;
  info.pszText = copy.Data();
  info.cchTextMax = copy.Length();
  info.iImage = image;
  return static_cast<int>(SendWindowMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(at),
                                            reinterpret_cast<LPARAM>(&info)));
}

// ---- Geometry and views

RECT ListViewControl::CellRect(int row, int column) const {
  RECT rect{};
  rect.top = column;
  rect.left = LVIR_BOUNDS;
  SendWindowMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  return rect;
}

HWND ListViewControl::EditLabel(int row) {
  SetFocus();
  return reinterpret_cast<HWND>(SendWindowMessage(LVM_EDITLABELA, static_cast<WPARAM>(row)));
}

int ListViewControl::TopIndex() const {
  return static_cast<int>(SendWindowMessage(LVM_GETTOPINDEX));
}
int ListViewControl::RowsPerPage() const {
  return static_cast<int>(SendWindowMessage(LVM_GETCOUNTPERPAGE));
}
HWND ListViewControl::LabelEditBox() const {
  return reinterpret_cast<HWND>(SendWindowMessage(LVM_GETEDITCONTROL));
}
DWORD ListViewControl::ItemSpacing(bool small) const {
  return static_cast<DWORD>(SendWindowMessage(LVM_GETITEMSPACING, small));
}

void ListViewControl::HitTest(int x, int y, int* row, int* column) const {
  LVHITTESTINFO hit{};
  hit.pt = POINT{x, y};
  int found =
      static_cast<int>(SendWindowMessage(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row) *row = found;
  if (column) *column = found == -1 ? -1 : hit.iSubItem;
}

POINT ListViewControl::RowPosition(int row) const {
  POINT point{};
  SendWindowMessage(LVM_GETITEMPOSITION, static_cast<WPARAM>(row),
                    reinterpret_cast<LPARAM>(&point));
  return point;
}

RECT ListViewControl::RowRect(int row) const {
  RECT rect{};
  rect.left = LVIR_BOUNDS;
  SendWindowMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  return rect;
}

bool ListViewControl::RowPosition(int row, int x, int y) {
  return SendWindowMessage(LVM_SETITEMPOSITION, static_cast<WPARAM>(row), MAKELPARAM(x, y)) != 0;
}

HIMAGELIST ListViewControl::ImageList(int kind) const {
  return reinterpret_cast<HIMAGELIST>(
      SendWindowMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(kind)));
}

HIMAGELIST ListViewControl::ImageList(HIMAGELIST list, int kind) {
  return reinterpret_cast<HIMAGELIST>(SendWindowMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(kind),
                                                        reinterpret_cast<LPARAM>(list)));
}

HIMAGELIST ListViewControl::CreateDragImage(int row, POINT* upper_left) const {
  POINT corner{};
  auto list = reinterpret_cast<HIMAGELIST>(SendWindowMessage(
      LVM_CREATEDRAGIMAGE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&corner)));
  if (upper_left) *upper_left = corner;
  return list;
}

bool ListViewControl::Scroll(int dx, int dy) {
  return SendWindowMessage(LVM_SCROLL, static_cast<WPARAM>(dx), dy) != 0;
}

DWORD ListViewControl::AddListViewExStyle(DWORD bits) {
  DWORD current = ListViewExStyle();
  return static_cast<DWORD>(SendWindowMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, current | bits));
}

DWORD ListViewControl::ListViewExStyle() const {
  return static_cast<DWORD>(SendWindowMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

DWORD ListViewControl::RemoveListViewExStyle(DWORD bits) {
  DWORD current = ListViewExStyle();
  return static_cast<DWORD>(SendWindowMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, current & ~bits));
}

TextValue ListViewControl::BackgroundImage() const {
  char url[MAX_PATH] = {};
  LVBKIMAGEA image{};
  image.ulFlags = LVBKIF_SOURCE_URL;
  image.pszImage = url;
  image.cchImageMax = MAX_PATH;
  SendWindowMessage(LVM_GETBKIMAGEA, 0, reinterpret_cast<LPARAM>(&image));
  return TextValue(std::string_view(url, strnlen(url, MAX_PATH - 1)));
}

bool ListViewControl::BackgroundImage(const TextValue& url, bool tile) {
  TextBuffer copy(url);
  LVBKIMAGEA image{};
  image.ulFlags = (url.IsEmpty() ? LVBKIF_SOURCE_NONE : LVBKIF_SOURCE_URL) |
                  (tile ? LVBKIF_STYLE_TILE : LVBKIF_STYLE_NORMAL);
  image.pszImage = copy.Data();
  image.cchImageMax = copy.Length();
  return SendWindowMessage(LVM_SETBKIMAGEA, 0, reinterpret_cast<LPARAM>(&image)) != 0;
}

COLORREF ListViewControl::TextColour() const {
  return static_cast<COLORREF>(SendWindowMessage(LVM_GETTEXTCOLOR));
}

bool ListViewControl::TextColour(COLORREF colour, bool redraw) {
  bool set = SendWindowMessage(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colour)) != 0;
  if (redraw) RedrawVisibleRows();
  return set;
}

COLORREF ListViewControl::TextBackgroundColour() const {
  return static_cast<COLORREF>(SendWindowMessage(LVM_GETTEXTBKCOLOR));
}

bool ListViewControl::TextBackgroundColour(COLORREF colour, bool redraw) {
  bool set = SendWindowMessage(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(colour)) != 0;
  if (redraw) RedrawVisibleRows();
  return set;
}

COLORREF ListViewControl::BackgroundColour() const {
  return static_cast<COLORREF>(SendWindowMessage(LVM_GETBKCOLOR));
}

bool ListViewControl::BackgroundColour(COLORREF colour, bool redraw) {
  bool set = SendWindowMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(colour)) != 0;
  if (redraw) RedrawVisibleRows();
  return set;
}

int ListViewControl::ViewMode() const {
  return static_cast<int>(Style() & LVS_TYPEMASK);
}

HWND ListViewControl::Header() const {
  return reinterpret_cast<HWND>(SendWindowMessage(LVM_GETHEADER));
}

BELVANE_DEFINE_BINDER(ListViewControl, RowSelected, Event::kRowSelected)
BELVANE_DEFINE_BINDER(ListViewControl, HotTrack, Event::kHotTrack)
BELVANE_DEFINE_BINDER(ListViewControl, ColumnClick, Event::kColumnClick)
BELVANE_DEFINE_BINDER(ListViewControl, Activate, Event::kActivate)
BELVANE_DEFINE_BINDER(ListViewControl, BeginLabelEdit, Event::kBeginLabelEdit)
BELVANE_DEFINE_BINDER(ListViewControl, EndLabelEdit, Event::kEndLabelEdit)
BELVANE_DEFINE_BINDER(ListViewControl, Click, Event::kClick)
BELVANE_DEFINE_BINDER(ListViewControl, RightClick, Event::kRightClick)
BELVANE_DEFINE_BINDER(ListViewControl, DoubleClick, Event::kDoubleClick)
BELVANE_DEFINE_BINDER(ListViewControl, CheckStateChanging, Event::kCheckStateChanging)

LRESULT ListViewControl::AnswerCustomDraw(HWND parent, NMLVCUSTOMDRAW& draw) const {
  LRESULT answer = CDRF_DODEFAULT;
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
    answer = CDRF_NOTIFYITEMDRAW;
  } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
    if (const std::optional<RowColours> colours =
            row_colour_source_(static_cast<int>(draw.nmcd.dwItemSpec))) {
      draw.clrText = colours->text;
      draw.clrTextBk = colours->background;
      answer = CDRF_NEWFONT;
    }
  }
  // A dialog answers a notification through its message result, not its procedure's value.
  if (answer != CDRF_DODEFAULT &&
      GetClassLongPtrA(parent, GCL_CBWNDEXTRA) >= static_cast<LONG_PTR>(DLGWINDOWEXTRA))
    SetWindowLongPtrA(parent, DWLP_MSGRESULT, answer);
  return answer;
}

}  // namespace belvane
