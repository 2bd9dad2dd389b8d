// The list view and the dialog-item controls, on the real dialog.

#include <stdexcept>
#include <string>

#include "runtime/gbk.h"
#include "tests/ui/main_dialog_fixture.h"

namespace belvane::testing {
namespace {

std::string TwoDigits(int n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

// A list view that holds its own cells, with four columns, in the running dialog: the layer's
// row and cell operations as such lists use them (the timetable's list asks for its cells).
void MakeCellList(ListViewControl& list) {
  ASSERT_TRUE(list.CreateListView(Dialog(), LVS_REPORT, 0, 0, 300, 200));
  for (int c = 0; c < 4; ++c) list.InsertColumn(c, "c", 80);
}

TEST_F(MainDialogTest, TimetableListViewAfterSetUp) {
  Run({[] {
    ListViewControl& list = ui->timetable;
    EXPECT_EQ(list.ListViewExStyle(), 0x423u);
    EXPECT_EQ(list.ControlId(), 501);
    EXPECT_EQ(list.ClassName(), TextValue("SysListView32"));
    EXPECT_EQ(list.ExtendedStyle() & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(list.GetFont(), GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(list.ViewMode(), LVS_REPORT);
    ASSERT_EQ(list.ColumnCount(), 4);
    const char* titles[] = {"顺序", "开始时间", "音乐", "数值"};
    int widths[] = {50, 100, 300, 60};
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(list.ColumnTitle(c), TextValue(titles[c]));
      EXPECT_EQ(list.ColumnWidth(c), widths[c]);
      int format = -1;
      ASSERT_TRUE(list.GetColumn(c, &format, nullptr));
      EXPECT_EQ(format & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    EXPECT_EQ(list.InsertColumn(std::nullopt, "追加"), 4) << "no index appends";
    EXPECT_EQ(list.AddListViewExStyle(LVS_EX_GRIDLINES), 0x423u) << "returns the style before";
    Close();
  }});
}

TEST_F(MainDialogTest, RowsInsertAppendAndMoveUp) {
  Run({[] {
    ListViewControl list;
    MakeCellList(list);
    EXPECT_EQ(list.InsertRow(), 0);
    EXPECT_EQ(list.InsertRow(), 1);
    EXPECT_EQ(list.InsertRow(), 2);
    for (int r = 0; r < 3; ++r) ASSERT_TRUE(list.SetCellText(r, 0, std::to_string(r + 1)));
    EXPECT_EQ(list.InsertRow(0), 0);
    EXPECT_TRUE(list.GetCellText(0, 0).IsEmpty()) << "new cells are empty";
    EXPECT_EQ(list.GetCellText(1, 0), TextValue("1"));
    EXPECT_EQ(list.GetCellText(3, 0), TextValue("3"));
    EXPECT_EQ(list.InsertRow(99), 4) << "past the end appends";
    EXPECT_TRUE(list.GetCellText(0, 3).IsEmpty()) << "never set";
    EXPECT_TRUE(list.GetCellText(42, 0).IsEmpty()) << "no such row";
    EXPECT_FALSE(list.SetCellText(42, 0, "x"));
    EXPECT_TRUE(list.DeleteRow(1));
    EXPECT_EQ(list.GetCellText(1, 0), TextValue("2"));
    EXPECT_FALSE(list.DeleteRow(42));
    EXPECT_EQ(list.InsertRow(std::nullopt, TextValue("带文字"), -1, -1, std::nullopt, 77), 4);
    EXPECT_EQ(list.GetCellText(4, 0), TextValue("带文字"));
    EXPECT_EQ(list.RowValue(4), 77);
    EXPECT_EQ(list.FindRowByValue(77), 4);
    EXPECT_TRUE(list.DeleteAllRows());
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_TRUE(list.GetCellText(0, 0).IsEmpty());
    Close();
  }});
}

TEST_F(MainDialogTest, LongCellsAreCutAt259BytesButCanBeReadWhole) {
  Run({[] {
    ListViewControl list;
    MakeCellList(list);
    std::string ascii(300, 'a');
    for (int i = 0; i < 300; ++i) ascii[i] = static_cast<char>('a' + i % 26);
    std::string chinese;
    for (int i = 0; i < 200; ++i) chinese += "铃";  // 400 GBK bytes
    list.InsertRow();
    list.InsertRow();
    ASSERT_TRUE(list.SetCellText(0, 2, ascii));
    ASSERT_TRUE(list.SetCellText(1, 2, chinese));
    EXPECT_EQ(list.GetCellText(0, 2).Bytes(), ascii.substr(0, 259));
    EXPECT_EQ(list.GetWholeCellText(0, 2).Bytes(), ascii);
    EXPECT_EQ(list.GetWholeCellText(1, 2).Bytes(), chinese);
    EXPECT_LE(list.GetCellText(1, 2).Length(), 259u);
    EXPECT_EQ(list.GetWholeCellText(0, 1).Bytes(), "");
    EXPECT_TRUE(list.GetWholeCellText(5, 0).IsEmpty()) << "no such row";
    Close();
  }});
}

TEST_F(MainDialogTest, TheTimetableListAsksForItsCellsAndReadsAsAListThatHoldsThem) {
  Run({[] {
    ListViewControl& list = ui->timetable;
    EXPECT_EQ(list.Style() & LVS_OWNERDATA, LVS_OWNERDATA);
    std::string chinese;
    for (int i = 0; i < 200; ++i) chinese += "铃";  // 400 GBK bytes
    list.SetCellTextSource([&chinese](int row, int column) -> TextValue {
      if (row == 2) throw std::runtime_error("stays in the source");
      return column == 2 ? TextValue(chinese) : TextValue(std::to_string(row + 1));
    });
    EXPECT_TRUE(list.SetRowCount(30));
    EXPECT_EQ(list.RowCount(), 30);
    EXPECT_EQ(list.GetCellText(11, 0), TextValue("12"));
    EXPECT_EQ(list.GetCellText(2, 0), TextValue()) << "a source that throws gives empty text";
    EXPECT_EQ(list.GetCellText(0, 2).Bytes(), chinese.substr(0, 259)) << "as a held cell is cut";
    EXPECT_EQ(list.GetWholeCellText(0, 2).Bytes(), chinese);
    // Another program reads wide text.
    wchar_t wide[512] = {};
    LVITEMW item{};
    item.iSubItem = 2;
    item.pszText = wide;
    item.cchTextMax = 512;
    EXPECT_EQ(list.SendWindowMessage(LVM_GETITEMTEXTW, 5, reinterpret_cast<LPARAM>(&item)), 200);
    EXPECT_EQ(std::wstring(wide), WideFromGbk(chinese));
    // Typing selects the first row whose number starts with the key, as in a list that holds
    // its cells (unanswered, the list would take row 0).
    EXPECT_EQ(list.FindRow("2", true), 1);
    list.SendWindowMessage(WM_CHAR, '2', 1);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{1});
    list.SetCellTextSource({});
    Close();
  }});
}

TEST_F(MainDialogTest, CurrentRowSelectsAndMinusOneClearsEverything) {
  Run({[] {
    ListViewControl list;
    MakeCellList(list);
    // The layer's selection of several rows.
    EXPECT_EQ(list.SelectionMark(), -1);
    for (int r = 0; r < 3; ++r) list.InsertRow();
    EXPECT_TRUE(list.SetCurrentRow(1));
    EXPECT_EQ(list.SelectionMark(), 1);
    EXPECT_TRUE(list.IsRowSelected(1));
    EXPECT_TRUE(list.SelectRow(2));
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(list.SetCurrentRow(-1));
    EXPECT_EQ(list.SelectionMark(), -1);
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_FALSE(list.SelectRow(9));
    Close();
  }});
}

std::vector<std::int64_t>* g_selected_rows = nullptr;
std::int32_t OnRowSelected(const EventArgs& args) {
  g_selected_rows->push_back(args[0]);
  g_selected_rows->push_back(args[1]);
  return 0;
}

TEST_F(MainDialogTest, ListViewNotificationsReachTheirHandlers) {
  std::vector<std::int64_t> selected;
  g_selected_rows = &selected;
  Run({[] {
    ListViewControl list;
    MakeCellList(list);
    list.BindRowSelected(&OnRowSelected);
    list.InsertRow(std::nullopt, std::nullopt, -1, -1, std::nullopt, 40);
    list.InsertRow(std::nullopt, std::nullopt, -1, -1, std::nullopt, 41);
    list.SelectRow(1);
    Close();
  }});
  g_selected_rows = nullptr;
  EXPECT_EQ(selected, (std::vector<std::int64_t>{1, 41}));
}

TEST_F(MainDialogTest, DropListsAddSelectAndRefuseIndexesOutside) {
  Run({[] {
    for (int n = 0; n < 24; ++n) EXPECT_EQ(ui->hour.AddItem(TwoDigits(n), 0), n);
    for (int n = 0; n < 60; ++n) {
      ui->minute.AddItem(TwoDigits(n), 0);
      ui->second.AddItem(TwoDigits(n), 0);
    }
    EXPECT_EQ(ui->hour.ItemCount(), 24);
    EXPECT_EQ(ui->minute.ItemCount(), 60);
    EXPECT_EQ(ui->hour.ItemText(9), TextValue("09"));
    EXPECT_EQ(ui->hour.ItemText(10), TextValue("10"));
    EXPECT_TRUE(ui->hour.ItemText(24).IsEmpty());
    EXPECT_TRUE(ui->hour.CurrentSelection(7));
    EXPECT_EQ(ui->hour.GetText(), TextValue("07"));
    EXPECT_FALSE(ui->hour.CurrentSelection(24)) << "24 items: 0 to 23";
    EXPECT_EQ(ui->hour.CurrentSelection(), -1) << "and nothing stays selected";
    EXPECT_TRUE(ui->hour.GetText().IsEmpty());
    EXPECT_TRUE(ui->minute.CurrentSelection(0));
    EXPECT_EQ(ui->minute.GetText(), TextValue("00"));
    EXPECT_FALSE(ui->minute.CurrentSelection(-1));
    EXPECT_EQ(ui->minute.CurrentSelection(), -1);
    EXPECT_EQ(ui->second.AddItem("备用", 5), 60);
    EXPECT_EQ(ui->second.ItemValue(60), 5);
    EXPECT_EQ(ui->second.FindExact("备用"), 60);
    Close();
  }});
}

TEST_F(MainDialogTest, MusicListKeepsOrderAndReadsWholeItems) {
  Run({[] {
    ListBoxControl& music = ui->music;
    std::string long_name(300, 'x');
    long_name += "长名字.mp3";
    EXPECT_EQ(music.AddItem("b上课.mp3", 1), 0);
    EXPECT_EQ(music.AddItem("a下课.wav", 2), 1) << "not sorted";
    EXPECT_EQ(music.AddItem(long_name, 3), 2);
    EXPECT_EQ(music.ItemText(1), TextValue("a下课.wav"));
    EXPECT_EQ(music.ItemText(2).Bytes(), long_name);
    EXPECT_EQ(music.ItemValue(2), 3);
    EXPECT_TRUE(music.ItemText(-1).IsEmpty());
    EXPECT_TRUE(music.ItemText(3).IsEmpty());
    EXPECT_EQ(music.CurrentSelection(), -1);
    EXPECT_EQ(music.CurrentSelection(0), 0);
    EXPECT_EQ(music.CurrentSelection(), 0);
    EXPECT_EQ(music.CurrentSelection(7), -1);
    Close();
  }});
}

TEST_F(MainDialogTest, ControlColoursAndTheirReflection) {
  Run({[] {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(ui->clock.TextColour(), 0xFF0000u) << "the program's blue clock";
    EXPECT_EQ(ui->clock.BackgroundColour(), face);
    EXPECT_EQ(ui->hour.BackgroundColour(), RGB(255, 255, 255));
    EXPECT_EQ(ui->note.BackgroundColour(), RGB(255, 255, 255));
    EXPECT_EQ(ui->music.BackgroundColour(), RGB(255, 255, 255));
    EXPECT_EQ(ui->add.BackgroundBrush(), nullptr) << "buttons get no colour";
    EXPECT_EQ(ui->placeholder.BackgroundBrush(), nullptr);

    HDC dc = GetDC(ui->clock.Handle());
    auto brush = SendMessageA(Dialog(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(ui->clock.Handle()));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), ui->clock.BackgroundBrush());
    EXPECT_EQ(GetTextColor(dc), 0xFF0000u);
    EXPECT_EQ(GetBkColor(dc), face);
    ui->clock.TextColour(0x00FF00);
    SendMessageA(Dialog(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(ui->clock.Handle()));
    EXPECT_EQ(GetTextColor(dc), 0x00FF00u);

    ui->clock.BackgroundColour(ColouredControl::kTransparent);
    EXPECT_NE(ui->clock.ExtendedStyle() & WS_EX_TRANSPARENT, 0);
    brush = SendMessageA(Dialog(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(ui->clock.Handle()));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    ui->clock.Caption("12:00:00");
    ui->clock.BackgroundColour(RGB(1, 2, 3));
    EXPECT_EQ(ui->clock.ExtendedStyle() & WS_EX_TRANSPARENT, 0);
    ReleaseDC(ui->clock.Handle(), dc);

    // An unattached label is left to the platform's colours.
    HWND hint = GetDlgItem(Dialog(), BELVANE_ID_HINT);
    HDC hint_dc = GetDC(hint);
    auto hint_brush = SendMessageA(Dialog(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hint_dc),
                                   reinterpret_cast<LPARAM>(hint));
    EXPECT_NE(reinterpret_cast<HBRUSH>(hint_brush), ui->clock.BackgroundBrush());
    ReleaseDC(hint, hint_dc);
    Close();
  }});
}

}  // namespace
}  // namespace belvane::testing
