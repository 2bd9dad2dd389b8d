// The black-box driver against a small dialog of our own whose behaviour is known.
#include "tests/e2e/driver.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/fixture/fixture_ids.h"

namespace belvane::e2e {
namespace {

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.MakeFolder("mp3"));
    ASSERT_TRUE(app_.WriteFile("mp3\\乙.wav", "x"));
    ASSERT_TRUE(app_.Start());
    dialog_ = app_.WaitForDialog("夹具", kStartTimeoutMs);
    ASSERT_TRUE(dialog_.Exists());
  }

  AppUnderTest app_{BuildBinDir() / "e2e_fixture.exe"};
  RemoteWindow dialog_;
};

TEST_F(DriverTest, ReadsControlsOfAnotherProcess) {
  EXPECT_EQ(dialog_.Item(IDC_STATUS).Text(), "状态");
  RemoteListView list(dialog_.Item(IDC_LIST).Handle());
  EXPECT_EQ(list.ClassName(), "SysListView32");
  ASSERT_EQ(list.RowCount(), 3);
  EXPECT_EQ(list.ColumnTitle(1), "名字");
  EXPECT_EQ(list.ColumnTitle(2), "");
  EXPECT_EQ(list.CellText(1, 0), "2");
  EXPECT_EQ(list.CellText(1, 1), "乙");
  EXPECT_EQ(list.CellText(2, 1), std::string(300, 'x') + "丙");  // longer than one buffer
  EXPECT_EQ(list.CellText(7, 0), "");
  RemoteComboBox combo(dialog_.Item(IDC_COMBO).Handle());
  EXPECT_EQ(combo.Count(), 3);
  EXPECT_EQ(combo.SelectedText(), "一");
  EXPECT_TRUE(combo.SelectText("二"));
  EXPECT_EQ(combo.Selection(), 2);
  RemoteListBox files(dialog_.Item(IDC_FILES).Handle());
  EXPECT_EQ(files.Items(), std::vector<std::string>{"乙.wav"});
  EXPECT_EQ(files.Selection(), 0);
}

TEST_F(DriverTest, ClicksRowsButtonsAndKeys) {
  RemoteListView list(dialog_.Item(IDC_LIST).Handle());
  EXPECT_EQ(list.SelectionMark(), -1);
  ASSERT_TRUE(list.ClickRow(1));
  EXPECT_TRUE(WaitUntil([&] { return list.SelectedRow() == 1; }));
  EXPECT_EQ(list.SelectionMark(), 1);

  ASSERT_TRUE(dialog_.Item(IDC_COUNT).Click());  // sent: done when Click returns
  EXPECT_EQ(dialog_.Item(IDC_STATUS).Text(), "计数 1");

  ASSERT_TRUE(dialog_.PressKey(VK_RETURN));
  ASSERT_TRUE(Flush(dialog_.Item(IDC_NOTE)));
  EXPECT_EQ(dialog_.Item(IDC_STATUS).Text(), "回车");
  ASSERT_TRUE(dialog_.PressKey(VK_ESCAPE));
  ASSERT_TRUE(Flush(dialog_.Item(IDC_NOTE)));
  EXPECT_EQ(dialog_.Item(IDC_STATUS).Text(), "退出键");
}

TEST_F(DriverTest, AnswersMessageBoxesAndSeesTheExit) {
  const RemoteWindow ask = dialog_.Item(IDC_ASK);
  ASSERT_TRUE(ask.PostClick());
  RemoteMessageBox box(app_.WaitForDialog("问题", kActionTimeoutMs, dialog_.Handle()).Handle());
  ASSERT_TRUE(box.Exists());
  EXPECT_EQ(box.Message(), "真的吗？");
  ASSERT_TRUE(box.Answer(IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return dialog_.Item(IDC_STATUS).Text() == "取消"; }));

  ASSERT_TRUE(ask.PostClick());
  box = RemoteMessageBox(app_.WaitForDialog("问题", kActionTimeoutMs, dialog_.Handle()).Handle());
  ASSERT_TRUE(box.Answer(IDOK));
  EXPECT_TRUE(WaitUntil([&] { return dialog_.Item(IDC_STATUS).Text() == "确定"; }));

  ASSERT_TRUE(dialog_.PostClose());
  EXPECT_EQ(app_.WaitForExit(), std::optional<DWORD>(7));
  EXPECT_EQ(app_.ReadFile("closed.txt"), std::optional<std::string>("确定"));
  EXPECT_EQ(app_.ReadFile("missing.txt"), std::nullopt);
}

}  // namespace
}  // namespace belvane::e2e
