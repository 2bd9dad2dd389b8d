#include "app/timetable/timetable_rules.h"

#include <vector>

#include <gtest/gtest.h>

#include "app/timetable/default_config.h"

namespace belvane {
namespace {

TEST(TimeTextToSeconds, ReadsHoursMinutesSecondsOrPlainSeconds) {
  EXPECT_EQ(TimeTextToSeconds("01:02:03"), 3723);
  EXPECT_EQ(TimeTextToSeconds("02:05"), 125);
  EXPECT_EQ(TimeTextToSeconds("42"), 42);
  EXPECT_EQ(TimeTextToSeconds("23:59:59"), 86399);
  EXPECT_EQ(TimeTextToSeconds("00:00:00"), 0);
}

TEST(TimeTextToSeconds, CountsPartsAsTheSplittingRulesDo) {
  EXPECT_EQ(TimeTextToSeconds(""), 0);
  EXPECT_EQ(TimeTextToSeconds(":30"), 30);          // empty first part: minutes 0
  EXPECT_EQ(TimeTextToSeconds("5:"), 5);            // trailing empty part does not count
  EXPECT_EQ(TimeTextToSeconds("1:2:3:4"), 1);       // four parts: the whole text as seconds
  EXPECT_EQ(TimeTextToSeconds("ab:10"), 10);        // a part that is not a number is 0
  EXPECT_EQ(TimeTextToSeconds("８:30:00"), 30600);  // full-width digits read as digits
}

TEST(RowCountFromText, LoadsNothingForJunkAndCapsHugeCounts) {
  EXPECT_EQ(RowCountFromText(""), 0);
  EXPECT_EQ(RowCountFromText("0"), 0);
  EXPECT_EQ(RowCountFromText("abc"), 0);
  EXPECT_EQ(RowCountFromText("-3"), 0);
  EXPECT_EQ(RowCountFromText("3"), 3);
  EXPECT_EQ(RowCountFromText("7rows"), 7);
  EXPECT_EQ(RowCountFromText("86400"), 86400);
  EXPECT_EQ(RowCountFromText("86401"), kMaxTimetableRows);
  EXPECT_EQ(RowCountFromText("2147483647"), kMaxTimetableRows);
  EXPECT_EQ(RowCountFromText("99999999999"), kMaxTimetableRows);  // wraps to a positive value
}

int Position(const std::vector<int>& rows, int seconds) {
  return FindInsertPosition(
      int(rows.size()), [&rows](int row) { return rows[row]; }, seconds);
}

TEST(FindInsertPosition, KeepsSecondsOrderAndRefusesATakenTime) {
  EXPECT_EQ(Position({}, 25200), 0);
  EXPECT_EQ(Position({30600, 32400}, 31500), 1);  // between
  EXPECT_EQ(Position({30600, 32400}, 28800), 0);  // top
  EXPECT_EQ(Position({30600, 32400}, 86399), 2);  // bottom
  EXPECT_EQ(Position({30600, 32400}, 30600), kTimeTaken);
  EXPECT_EQ(Position({30600, 32400}, 0), 0);
  // A row whose seconds cell is empty counts as 0: 00:00:00 then meets it as taken.
  EXPECT_EQ(Position({0, 30600}, 0), kTimeTaken);
}

TEST(FindInsertPosition, ScansFromTheBottomInUnsortedRows) {
  // Below the lowest row with fewer seconds; a duplicate above such a row is not found.
  EXPECT_EQ(Position({40000, 30000, 50000}, 35000), 2);
  EXPECT_EQ(Position({40000, 30000, 50000}, 40000), 2);
}

TEST(ShownMusicText, PutsTheMarkerInFrontOfAMissingFile) {
  EXPECT_EQ(ShownMusicText("a.mp3", true), TextValue("a.mp3"));
  EXPECT_EQ(ShownMusicText("a.mp3", false), TextValue("--------音乐文件不存在：a.mp3"));
  EXPECT_EQ(ShownMusicText("", false), TextValue(kMissingFileMarker));
  EXPECT_EQ(kMissingFileMarker.size(), 8u + 16u);  // GBK: eight characters of two bytes each
}

TEST(DefaultConfigText, IsTheCarried356Bytes) {
  const ByteBlock block = DefaultConfigText();
  ASSERT_EQ(block.Size(), 356u);
  EXPECT_TRUE(block.IsBorrowed());
  const std::string_view text = block.View();
  EXPECT_TRUE(text.starts_with("[time]\r\n1=08:30:00\r\n"));
  EXPECT_TRUE(text.ends_with("[total]\r\nn=7\r\n"));
  // 26 lines, each ending CR LF, and no bare LF.
  std::size_t crlf = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) crlf += text[i] == '\r' && text[i + 1] == '\n';
  EXPECT_EQ(crlf, 26u);
  // "1=1.组织考生进入考场.m4a" spelt in GBK bytes, so a UTF-8 image cannot match.
  EXPECT_NE(
      text.find("1=1.\xD7\xE9\xD6\xAF\xBF\xBC\xC9\xFA\xBD\xF8\xC8\xEB\xBF\xBC\xB3\xA1.m4a\r\n"),
      std::string_view::npos);
}

}  // namespace
}  // namespace belvane
