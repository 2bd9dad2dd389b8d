#include "app/timetable/timetable_csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace belvane {
namespace {

struct Case {
  const char* what;
  std::string file;
  std::vector<std::string> rows;  // "08:00:00 28800 1.m4a"
  std::vector<int> bad_lines;
};

TEST(TimetableCsvTest, ReadsRowsInTimeOrderAndNamesEveryBadLine) {
  const std::vector<Case> cases = {
      {"header, both time forms, sorted, quoted name, empty music",
       "时间,音乐\r\n8:00,\"a,b.mp3\"\r\n07:59:30,下课.m4a\r\n9:00,\r\n",
       {"07:59:30 28770 下课.m4a", "08:00:00 28800 a,b.mp3", "09:00:00 32400 "},
       {}},
      {"bad time, folder or lost character in the name, a second twice, an extra cell",
       "24:00,a.mp3\n8:00,..\\a.mp3\n8:00,a?.mp3\n8:00,a.mp3\n08:00:00,b.mp3\n9:00,a.mp3,x\n",
       {"08:00:00 28800 a.mp3"},
       {1, 2, 3, 5, 6}},
      // A GBK character whose trail byte is "\" (0x5C) is a character, not a folder.
      {"GBK trail byte", "8:00,\x81\x5C.mp3\n", {"08:00:00 28800 \x81\x5C.mp3"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TimetableCsvRead read = TimetableFromCsv(ReadCsvFile(c.file));
    std::vector<std::string> rows;
    for (const TimetableEntry& e : read.rows)
      rows.push_back(e.start_time.Bytes() + " " + e.seconds.Bytes() + " " + e.music_name.Bytes());
    EXPECT_EQ(rows, c.rows);
    std::vector<int> lines;
    for (const CsvLineProblem& p : read.problems) lines.push_back(p.line);
    EXPECT_EQ(lines, c.bad_lines);
  }
  EXPECT_EQ(TimetableCsvText(TimetableFromCsv(ReadCsvFile(cases[0].file)).rows),
            "时间,音乐\r\n07:59:30,下课.m4a\r\n08:00:00,\"a,b.mp3\"\r\n09:00:00,\r\n");
}

}  // namespace
}  // namespace belvane
