// The operations every window object shares, on controls of the real dialog.

#include "tests/ui/main_dialog_fixture.h"

#include "runtime/message_box.h"

namespace belvane::testing {
namespace {

// A dialog-unit rectangle of the template in the dialog's pixels; position and size are
// converted separately, as the dialog manager does.
RECT DialogUnits(int x, int y, int cx, int cy) {
  RECT place{x, y, cx, cy};
  MapDialogRect(Dialog(), &place);
  return RECT{place.left, place.top, place.left + place.right, place.top + place.bottom};
}

TEST_F(MainDialogTest, GeometryIsInTheParentsClientCoordinatesWhereverTheDialogIs) {
  Run({[] {
         RECT expected = DialogUnits(6, 234, 58, 15);  // the delete-row button
         EXPECT_EQ(ui->delete_row.Left(), expected.left);
         EXPECT_EQ(ui->delete_row.Top(), expected.top);
         EXPECT_EQ(ui->delete_row.Width(), expected.right - expected.left);
         EXPECT_EQ(ui->delete_row.Height(), expected.bottom - expected.top);
         SetWindowPos(Dialog(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
       },
       [] {
         RECT expected = DialogUnits(6, 234, 58, 15);
         EXPECT_EQ(ui->delete_row.Left(), expected.left) << "after moving the dialog";
         EXPECT_EQ(ui->delete_row.Top(), expected.top);
         // Setting one value moves nothing else.
         int left = ui->delete_row.Left(), top = ui->delete_row.Top();
         int height = ui->delete_row.Height();
         EXPECT_TRUE(ui->delete_row.Width(120));
         EXPECT_EQ(ui->delete_row.Width(), 120);
         EXPECT_EQ(ui->delete_row.Left(), left);
         EXPECT_EQ(ui->delete_row.Top(), top);
         EXPECT_EQ(ui->delete_row.Height(), height);
         EXPECT_TRUE(ui->delete_row.Left(10));
         EXPECT_EQ(ui->delete_row.Left(), 10);
         EXPECT_EQ(ui->delete_row.RectInParent().left, 10);
         EXPECT_TRUE(ui->delete_row.MoveAndSize(std::nullopt, 40, std::nullopt, 30));
         EXPECT_EQ(ui->delete_row.Left(), 10);
         EXPECT_EQ(ui->delete_row.Top(), 40);
         EXPECT_EQ(ui->delete_row.Width(), 120);
         EXPECT_EQ(ui->delete_row.Height(), 30);
         Close();
       }});
}

TEST_F(MainDialogTest, TimetableCoversThePlaceholderWhichStaysHidden) {
  Run({[] {
    EXPECT_FALSE(ui->placeholder.Visible());
    RECT place = DialogUnits(3, 24, 405, 204);
    RECT list = ui->timetable.RectInParent();
    EXPECT_EQ(list.left, place.left);
    EXPECT_EQ(list.top, place.top);
    EXPECT_EQ(list.right, place.right);
    EXPECT_EQ(list.bottom, place.bottom);
    Close();
  }});
}

TEST_F(MainDialogTest, VisibleReportsTheStateBeforeTheCall) {
  Run({[] {
    EXPECT_TRUE(ui->save.Visible());
    EXPECT_TRUE(ui->save.Visible(false)) << "it was visible";
    EXPECT_FALSE(ui->save.Visible());
    EXPECT_FALSE(ui->save.Visible(false)) << "it was hidden already";
    EXPECT_FALSE(ui->save.Visible(true));
    EXPECT_TRUE(ui->save.Visible());
    Close();
  }});
}

TEST_F(MainDialogTest, AddStyleReturnsTheStyleBeforeAndKeepsOtherBits) {
  Run({[] {
    // The program's set-up gave the list single selection; take it away and put it back.
    LONG_PTR before = ui->timetable.Style();
    EXPECT_EQ(before & LVS_SINGLESEL, LVS_SINGLESEL);
    EXPECT_EQ(ui->timetable.RemoveStyle(LVS_SINGLESEL), before);
    LONG_PTR after = ui->timetable.Style();
    EXPECT_EQ(after, before & ~LONG_PTR{LVS_SINGLESEL});
    EXPECT_EQ(ui->timetable.RemoveStyle(LVS_SINGLESEL), after) << "second call changes nothing";
    EXPECT_EQ(ui->timetable.Style(), after);
    EXPECT_EQ(after & (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT),
              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | LVS_REPORT);
    EXPECT_EQ(ui->timetable.AddStyle(LVS_SINGLESEL), after);
    EXPECT_EQ(ui->timetable.Style(), before);
    Close();
  }});
}

bool FontAlive(HFONT font) {
  LOGFONTA info{};
  return GetObjectA(font, sizeof info, &info) != 0;
}

HFONT MakeFont(int height) {
  return CreateFontA(height, 0, 0, 0, 800, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体");
}

TEST_F(MainDialogTest, SetFontOwnsTheFontAndDeletesTheOneBefore) {
  HFONT first = MakeFont(20), second = MakeFont(24);
  Run({[&] {
    ui->clock.SetFont(first);
    EXPECT_EQ(ui->clock.GetFont(), first);
    ui->clock.SetFont(first);  // the same font again is not deleted
    EXPECT_TRUE(FontAlive(first));
    ui->clock.SetFont(second);
    EXPECT_EQ(ui->clock.GetFont(), second);
    EXPECT_FALSE(FontAlive(first)) << "the replaced font is deleted";
    EXPECT_TRUE(FontAlive(second));
    Close();
  }});
  EXPECT_FALSE(FontAlive(second)) << "the window's end deletes the font it held";
}

TEST_F(MainDialogTest, TextsAreGbkBothWays) {
  Run({[] {
    EXPECT_EQ(ui->add.Caption(), TextValue("3.添加"));
    EXPECT_EQ(ui->note.GetText(), TextValue("可用于学校上下课打铃，考试指令播放等。"));
    EXPECT_EQ(ui->form.GetText(), TextValue("Belvane"));
    EXPECT_TRUE(ui->clock_caption.SetText(""));
    EXPECT_TRUE(ui->clock_caption.GetText().IsEmpty());
    ui->clock.Caption("十二点");
    EXPECT_EQ(ui->clock.Caption(), TextValue("十二点"));
    Close();
  }});
}

TEST(DetachedWindowObject, OperationsFailQuietlyAndSetFontStillOwns) {
  ASSERT_TRUE(StartWindowLayer());
  LabelControl label;
  EXPECT_EQ(label.Handle(), nullptr);
  EXPECT_TRUE(label.GetText().IsEmpty());
  EXPECT_FALSE(label.Visible());
  EXPECT_FALSE(label.SetText("x"));
  EXPECT_EQ(label.Style(), 0);
  HFONT first = MakeFont(12);
  label.SetFont(first);
  label.SetFont(MakeFont(14));
  EXPECT_FALSE(FontAlive(first));
  ListViewControl list;
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_TRUE(list.GetCellText(0, 0).IsEmpty());
  EXPECT_FALSE(list.DeleteRow(0));
  EXPECT_FALSE(label.AttachToDialogItem(nullptr, 1004));
}

TEST(HandleRegistryMap, FindsOnlyWhatItHolds) {
  HandleRegistry registry;
  LabelControl a, b;
  auto one = reinterpret_cast<HWND>(0x10), two = reinterpret_cast<HWND>(0x20);
  EXPECT_EQ(registry.Find(one), nullptr);
  registry.Insert(one, &a);
  registry.Insert(two, &b);
  EXPECT_EQ(registry.Find(one), &a);
  EXPECT_EQ(registry.Find(two), &b);
  registry.Insert(one, &b);  // a reused handle value belongs to its new window
  EXPECT_EQ(registry.Find(one), &b);
  registry.Erase(one);
  EXPECT_EQ(registry.Find(one), nullptr);
  EXPECT_EQ(registry.Size(), 1u);
}

TEST(LayerStartUp, ResetsTheControlIdCounterAndAtlIsThere) {
  ASSERT_TRUE(StartWindowLayer());
  EXPECT_NE(GetModuleHandleA("atl.dll"), nullptr);
  EXPECT_EQ(LayerInstance(), GetModuleHandleA(nullptr));
  EXPECT_EQ(NextControlId(), 501);
  EXPECT_EQ(NextControlId(), 502);
  ASSERT_TRUE(StartWindowLayer());
  EXPECT_EQ(NextControlId(), 501);
  WNDCLASSEXA host{};
  host.cbSize = sizeof host;
  EXPECT_TRUE(GetClassInfoExA(nullptr, "AtlAxWin", &host) ||
              GetClassInfoExA(GetModuleHandleA("atl.dll"), "AtlAxWin", &host))
      << "AtlAxWinInit registers the ActiveX host class";
}

TEST_F(MainDialogTest, MessageBoxOwnedByTheWindowGoesThroughTheRoutingPoint) {
  std::vector<MessageBoxRequest> requests;
  ScopedMessageBoxObserver observer([&](const MessageBoxRequest& request) {
    requests.push_back(request);
    return IDCANCEL;
  });
  int answer = -1, titled = -1;
  Run({[&] {
    answer = ui->form.ShowMessageBox("保存好了");
    titled = ui->form.ShowMessageBox("真的吗？", "确认", MB_OKCANCEL);
    Close();
  }});
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].owner, nullptr);
  EXPECT_EQ(requests[0].text, TextValue("保存好了"));
  EXPECT_EQ(requests[0].caption, TextValue("信息："));
  EXPECT_EQ(requests[0].style, static_cast<unsigned>(MB_OK));
  EXPECT_EQ(requests[1].caption, TextValue("确认"));
  EXPECT_EQ(requests[1].style, static_cast<unsigned>(MB_OKCANCEL));
  EXPECT_EQ(answer, IDCANCEL - 1) << "the button's id minus 1";
  EXPECT_EQ(titled, IDCANCEL - 1);
}

}  // namespace
}  // namespace belvane::testing
