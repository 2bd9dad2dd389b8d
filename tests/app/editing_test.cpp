// Adding and deleting rows through a real list view.

#include "app/editing.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/closing.h"
#include "app/app_objects.h"
#include "tests/app/test_support.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

using EditingTest = ListViewTest;

TEST_F(EditingTest, AddsInSecondsOrderAndRenumbers) {
  EXPECT_EQ(AddTimetableEntry(rows_, "08:30:00", "a.mp3"), 0);
  EXPECT_EQ(AddTimetableEntry(rows_, "09:00:00", "b.mp3"), 1);
  EXPECT_EQ(AddTimetableEntry(rows_, "08:45:00", "c.mp3"), 1);
  EXPECT_EQ(AddTimetableEntry(rows_, "08:00:00", "d.mp3"), 0);
  EXPECT_EQ(AddTimetableEntry(rows_, "23:59:59", ""), 4);
  EXPECT_EQ(AddTimetableEntry(rows_, "00:00:00", "e.mp3"), 0);
  EXPECT_EQ(Column(0), (Strings{"1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(Column(1),
            (Strings{"00:00:00", "08:00:00", "08:30:00", "08:45:00", "09:00:00", "23:59:59"}));
  EXPECT_EQ(Column(2), (Strings{"e.mp3", "d.mp3", "a.mp3", "c.mp3", "b.mp3", ""}));
  EXPECT_EQ(Column(3), (Strings{"0", "28800", "30600", "31500", "32400", "86399"}));
}

TEST_F(EditingTest, RefusesATakenTimeWithAMessageAndChangesNothing) {
  AddTimetableEntry(rows_, "08:30:00", "a.mp3");
  MessageBoxRecorder boxes;
  EXPECT_EQ(AddTimetableEntry(rows_, "08:30:00", "b.mp3"), -1);
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].text, TextValue("该时间点已有任务"));
  EXPECT_EQ(boxes.requests[0].caption, TextValue("错误"));
  EXPECT_EQ(boxes.requests[0].style, unsigned(MB_OK));
  EXPECT_EQ(boxes.requests[0].owner, nullptr);
  EXPECT_EQ(Column(2), (Strings{"a.mp3"}));
}

TEST_F(EditingTest, DeletesTheGivenRowOrNothingAndRenumbers) {
  AddTimetableEntry(rows_, "08:00:00", "a");
  AddTimetableEntry(rows_, "09:00:00", "b");
  AddTimetableEntry(rows_, "10:00:00", "c");
  DeleteTimetableRow(rows_, -1);
  EXPECT_EQ(rows_.Count(), 3);
  DeleteTimetableRow(rows_, 1);
  EXPECT_EQ(Column(0), (Strings{"1", "2"}));
  EXPECT_EQ(Column(2), (Strings{"a", "c"}));
  DeleteTimetableRow(rows_, 5);
  EXPECT_EQ(rows_.Count(), 2);
}

TEST_F(EditingTest, TheSelectedRowKeepsItsSelectionMarkAndFocusOverAnAddAbove) {
  AddTimetableEntry(rows_, "08:00:00", "a");
  AddTimetableEntry(rows_, "09:00:00", "b");
  view_.SetCurrentRow(1);
  view_.FocusRow(1);
  AddTimetableEntry(rows_, "07:00:00", "c");
  AddTimetableEntry(rows_, "10:00:00", "d");
  EXPECT_EQ(view_.SelectionMark(), 2);
  EXPECT_EQ(view_.SelectedRows(), std::vector<int>{2});
  EXPECT_EQ(view_.FocusedRow(), 2);
  // "删除该行" then deletes the row the user chose; the next row takes its place, unselected.
  DeleteTimetableRow(rows_, rows_.SelectionMark());
  EXPECT_EQ(Column(2), (Strings{"c", "a", "d"}));
  EXPECT_EQ(view_.SelectionMark(), 2);
  EXPECT_EQ(view_.SelectedCount(), 0);
}

TEST(ConfirmClose, OkClosesAndStopsTheClockCancelKeepsTheWindow) {
  ClockThread& clock = TheProcessObjects().clock_thread;
  ASSERT_TRUE(clock.Start(nullptr, {}));
  {
    MessageBoxRecorder boxes(IDCANCEL);
    EXPECT_EQ(ConfirmClose(), 1);
    EXPECT_EQ(ConfirmClose(), 1);  // asked anew each time
    ASSERT_EQ(boxes.requests.size(), 2u);
    EXPECT_EQ(boxes.requests[0].text, TextValue("关闭前，记得保存哦，真的关闭吗？"));
    EXPECT_EQ(boxes.requests[0].caption, TextValue("防止误操作"));
    EXPECT_EQ(boxes.requests[0].style, unsigned(MB_OKCANCEL));
    EXPECT_TRUE(clock.Ringing());
  }
  MessageBoxRecorder boxes(IDOK);
  EXPECT_EQ(ConfirmClose(), 0);
  EXPECT_FALSE(clock.Ringing());
}

}  // namespace
}  // namespace belvane::testing
