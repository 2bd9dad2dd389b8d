#include "app/schedule/session_csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/schedule/exam_day.h"

namespace belvane {
namespace {

// Bytes of a UTF-8 literal: this build's plain literals are GBK.
std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

// "2027-06-07 09:00~11:30=语文", as the plan writes a session.
std::string Line(const ExamSession& s) {
  return ExamSessionText(s);
}

struct Case {
  const char* what;
  std::string file;
  std::vector<std::string> sessions;
  std::vector<int> bad_lines;  // with `why_has` in the first one's reason
  const char* why_has = "";
};

TEST(SessionCsvTest, ReadsWhatSpreadsheetsSaveAndNamesEveryBadLine) {
  const std::vector<Case> cases = {
      {"GBK, header, CRLF",
       "日期,开始,结束,科目\r\n2027-06-07,09:00,11:30,语文\r\n",
       {"2027-06-07 09:00~11:30=语文"},
       {}},
      {"UTF-8 with the mark, no header, LF, no last line end",
       Utf8(u8"\uFEFF2027/6/7,9:00,11:30:00,语文\n2027/6/8,15:00,17:00,数学"),
       {"2027-06-07 09:00~11:30=语文", "2027-06-08 15:00~17:00=数学"},
       {}},
      {"UTF-8 without the mark",
       Utf8(u8"日期,开始,结束,科目\n2027-06-07,8:00:30,9:00,英语\n"),
       {"2027-06-07 08:00:30~09:00=英语"},
       {}},
      {"quotes: commas, doubled quotes, blanks and a header-like subject",
       "\"2027-06-07\", 9:00 ,11:00,\"理综,\"\"甲\"\"卷\"\r\n2027-06-08,9:00,11:00,科目\r\n",
       {"2027-06-07 09:00~11:00=理综,\"甲\"卷", "2027-06-08 09:00~11:00=科目"},
       {}},
      {"blank rows and empty trailing cells skipped",
       "\r\n,,,\r\n2027-06-07,9:00,10:00,语文,,\r\n",
       {"2027-06-07 09:00~10:00=语文"},
       {}},
      {"a line end inside quotes: the next row's line counts it",
       "2027-06-07,9:00,10:00,\"语\r\n文\"\r\n2027-02-30,9:00,10:00,数学\r\n",
       {},
       {1, 3},
       "换行"},
      {"bad date",
       "2027-13-01,9:00,10:00,语文\n2027-6-7,9:00,10:00,语文\n",
       {"2027-06-07 09:00~10:00=语文"},
       {1},
       "日期"},
      {"bad start", "日期,开始,结束,科目\n2027-06-07,9:0,10:00,语文\n", {}, {2}, "开始"},
      {"end not after start", "2027-06-07,9:00,9:00,语文\n", {}, {1}, "之后"},
      {"an extra cell", "2027-06-07,9:00,10:00,语文,A卷\n", {}, {1}, "A卷"},
      {"a cut-off file",
       "2027-06-07,9:00,10:00,语文\n2027-06-08,9:00,10:00,\"数",
       {"2027-06-07 09:00~10:00=语文"},
       {2},
       "引号"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SessionCsvRead read = SessionsFromCsv(ReadCsvFile(c.file));
    std::vector<std::string> sessions;
    for (const ExamSession& s : read.sessions) sessions.push_back(Line(s));
    EXPECT_EQ(sessions, c.sessions);
    std::vector<int> lines;
    for (const CsvLineProblem& p : read.problems) lines.push_back(p.line);
    EXPECT_EQ(lines, c.bad_lines);
    if (!read.problems.empty()) {
      EXPECT_NE(read.problems[0].why.find(c.why_has), std::string::npos) << read.problems[0].why;
    }
  }
}

TEST(SessionCsvTest, WrittenSessionsReadBackAlikeAsASpreadsheetSavesThem) {
  const std::vector<ExamSession> sessions = {
      {{2027, 6, 7}, 9 * 3600, 11 * 3600 + 1800, "语文"},
      {{2027, 6, 8}, 8 * 3600 + 30, 9 * 3600, "理综,\"甲\""}};
  const std::string text = SessionsCsvText(sessions);
  EXPECT_EQ(text,
            "日期,开始,结束,科目\r\n2027-06-07,09:00,11:30,语文\r\n"
            "2027-06-08,08:00:30,09:00,\"理综,\"\"甲\"\"\"\r\n");
  EXPECT_EQ(SessionsFromCsv(ReadCsvFile(text)).sessions, sessions);
  // Saved again by a spreadsheet: its own date and time forms, as UTF-8 with the mark.
  const SessionCsvRead resaved =
      SessionsFromCsv(ReadCsvFile(Utf8(u8"\uFEFF日期,开始,结束,科目\r\n2027/6/7,9:00,11:30,语文\r\n"
                                       u8"2027/6/8,8:00:30,9:00,\"理综,\"\"甲\"\"\"\r\n")));
  EXPECT_EQ(resaved.sessions, sessions);
}

}  // namespace
}  // namespace belvane
