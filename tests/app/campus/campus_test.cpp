#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/campus/campus.h"
#include "app/campus/campus_overview.h"
#include "app/campus/campus_rules.h"
#include "ui/ui_task.h"
#include "app/campus/station_report.h"
#include "app/campus/sync_engine.h"
#include "app/campus/sync_settings.h"
#include "runtime/gbk.h"
#include "tests/app/test_support.h"

namespace belvane {
namespace {

using Names = std::vector<std::string>;

FileStamp At(std::uint64_t size, std::uint64_t time) {
  return {size, time};
}

struct LookRow {
  const char* what;
  LookFacts facts;
  Names take{}, wait{}, refused{}, remove{}, forget{};
  std::size_t batch = 300;
  Names emptied{}, own{};
};

TEST(CampusRulesTest, WhatALookTakesWaitsForAndRemoves) {
  const FileStamp a = At(10, 100), b = At(12, 200), zero = At(0, 100);
  const TakenFile taken_a{a, At(10, 500)};
  const LookRow rows[] = {
      {"seen once: waits", {{{"mp3\\a.mp3", a}}, {}, 0}, {}, {"mp3\\a.mp3"}},
      {"held 2 s: taken", {{{"mp3\\a.mp3", a}}, {{"mp3\\a.mp3", a}}, 2000}, {"mp3\\a.mp3"}},
      {"held 1.9 s: waits", {{{"mp3\\a.mp3", a}}, {{"mp3\\a.mp3", a}}, 1900}, {}, {"mp3\\a.mp3"}},
      {"still changing: waits",
       {{{"课表\\考试.ini", b}}, {{"课表\\考试.ini", a}}, 2000},
       {},
       {"课表\\考试.ini"}},
      {"music, then timetables, then the plan",
       {{{"Belvane日历.ini", a}, {"课表\\考试.ini", a}, {"Belvane配置.ini", a}, {"mp3\\z.wav", a}},
        {{"Belvane日历.ini", a}, {"课表\\考试.ini", a}, {"Belvane配置.ini", a}, {"mp3\\z.wav", a}},
        2000},
       {"mp3\\z.wav", "Belvane配置.ini", "课表\\考试.ini", "Belvane日历.ini"}},
      {"music still changing: the timetables go on (the engine holds those naming it)",
       {{{"mp3\\a.mp3", b}, {"课表\\考试.ini", a}},
        {{"mp3\\a.mp3", a}, {"课表\\考试.ini", a}},
        2000},
       {"课表\\考试.ini"},
       {"mp3\\a.mp3"}},
      {"a timetable still changing holds the plan back",
       {{{"课表\\期末.ini", b}, {"Belvane日历.ini", a}},
        {{"课表\\期末.ini", a}, {"Belvane日历.ini", a}},
        2000},
       {},
       {"Belvane日历.ini", "课表\\期末.ini"}},
      {"a batch full leaves the rest, timetables after the music",
       {{{"mp3\\a.mp3", a}, {"mp3\\b.mp3", a}, {"Belvane配置.ini", a}},
        {{"mp3\\a.mp3", a}, {"mp3\\b.mp3", a}, {"Belvane配置.ini", a}},
        2000},
       {"mp3\\a.mp3"},
       {"Belvane配置.ini", "mp3\\b.mp3"},
       {},
       {},
       {},
       1},
      {"taken and unchanged: nothing",
       {{{"mp3\\a.mp3", a}},
        {{"mp3\\a.mp3", a}},
        2000,
        {{"mp3\\a.mp3", At(10, 500)}},
        {{"mp3\\a.mp3", taken_a}}}},
      {"changed here: the source's copy again",
       {{{"mp3\\a.mp3", a}},
        {{"mp3\\a.mp3", a}},
        2000,
        {{"mp3\\a.mp3", At(11, 900)}},
        {{"mp3\\a.mp3", taken_a}}},
       {"mp3\\a.mp3"}},
      {"0-byte music is refused, the rest not held back",
       {{{"mp3\\a.mp3", zero}, {"Belvane配置.ini", a}},
        {{"mp3\\a.mp3", zero}, {"Belvane配置.ini", a}},
        2000},
       {"Belvane配置.ini"},
       {},
       {"mp3\\a.mp3"}},
      {"removed there: removed here only as taken, the plan first; never the default timetable",
       {{{"mp3\\keep.mp3", a}},
        {{"mp3\\keep.mp3", a}},
        2000,
        {{"mp3\\keep.mp3", At(10, 500)},
         {"mp3\\a.mp3", At(10, 500)},
         {"mp3\\edited.mp3", At(99, 9)},
         {"mp3\\own.mp3", a},
         {"Belvane日历.ini", At(10, 500)},
         {"Belvane配置.ini", At(10, 500)}},
        {{"mp3\\keep.mp3", taken_a},
         {"mp3\\a.mp3", taken_a},
         {"mp3\\edited.mp3", taken_a},
         {"Belvane日历.ini", taken_a},
         {"Belvane配置.ini", taken_a}}},
       {},
       {},
       {},
       {"Belvane日历.ini", "mp3\\a.mp3"},
       {"Belvane配置.ini", "mp3\\edited.mp3"}},
      {"missing at one look only: the removal waits",
       {{{"mp3\\keep.mp3", a}},
        {{"mp3\\keep.mp3", a}, {"mp3\\a.mp3", a}},
        2000,
        {{"mp3\\keep.mp3", At(10, 500)}, {"mp3\\a.mp3", At(10, 500)}},
        {{"mp3\\keep.mp3", taken_a}, {"mp3\\a.mp3", taken_a}}},
       {},
       {"mp3\\a.mp3"}},
      {"missing at two looks 1.9 s apart: still waits",
       {{{"mp3\\keep.mp3", a}},
        {{"mp3\\keep.mp3", a}},
        1900,
        {{"mp3\\keep.mp3", At(10, 500)}, {"mp3\\a.mp3", At(10, 500)}},
        {{"mp3\\keep.mp3", taken_a}, {"mp3\\a.mp3", taken_a}}},
       {},
       {"mp3\\a.mp3"}},
      {"a renamed timetable stays while the plan naming the new one still changes",
       {{{"课表\\期末.ini", a}, {"Belvane日历.ini", b}},
        {{"课表\\期末.ini", a}, {"Belvane日历.ini", a}},
        2000,
        {{"课表\\考试.ini", At(10, 500)}, {"Belvane日历.ini", At(10, 500)}},
        {{"课表\\考试.ini", taken_a}, {"Belvane日历.ini", taken_a}}},
       {"课表\\期末.ini"},
       {"Belvane日历.ini", "课表\\考试.ini"}},
      {"an emptied music folder removes none of its files, the rest as before",
       {{{"Belvane配置.ini", a}},
        {{"Belvane配置.ini", a}},
        2000,
        {{"mp3\\a.mp3", At(10, 500)}, {"Belvane日历.ini", At(10, 500)}},
        {{"mp3\\a.mp3", taken_a}, {"Belvane日历.ini", taken_a}}},
       {"Belvane配置.ini"},
       {},
       {},
       {"Belvane日历.ini"},
       {},
       300,
       {"mp3"}},
      {"a same-named file the PC did not take is its own: compared first",
       {{{"mp3\\a.mp3", a}, {"Belvane配置.ini", a}},
        {{"mp3\\a.mp3", a}, {"Belvane配置.ini", a}},
        2000,
        {{"mp3\\a.mp3", At(7, 7)}, {"Belvane配置.ini", At(7, 7)}}},
       {"mp3\\a.mp3", "Belvane配置.ini"},
       {},
       {},
       {},
       {},
       300,
       {},
       {"mp3\\a.mp3", "Belvane配置.ini"}},
      {"a source showing no file removes nothing",
       {{}, {}, 2000, {{"mp3\\a.mp3", At(10, 500)}}, {{"mp3\\a.mp3", taken_a}}}},
      {"an unlisted music folder removes no music",
       {{{"Belvane配置.ini", a}},
        {{"Belvane配置.ini", a}},
        2000,
        {{"mp3\\a.mp3", At(10, 500)}, {"Belvane配置.ini", At(10, 500)}},
        {{"mp3\\a.mp3", taken_a}, {"Belvane配置.ini", {a, At(10, 500)}}},
        true}},
      {"names not followed are left alone",
       {{{"mp3\\说明.txt", a}, {"课表\\旧\\x.ini", a}, {"mp3\\上课.MP3", a}},
        {{"mp3\\说明.txt", a}, {"课表\\旧\\x.ini", a}, {"mp3\\上课.MP3", a}},
        2000},
       {"mp3\\上课.MP3"}},
  };
  for (const LookRow& row : rows) {
    SCOPED_TRACE(row.what);
    const LookDecision decision = DecideLook(row.facts, row.batch);
    EXPECT_EQ(decision.take, row.take);
    EXPECT_EQ(decision.wait, row.wait);
    EXPECT_EQ(decision.refused, row.refused);
    EXPECT_EQ(decision.remove, row.remove);
    EXPECT_EQ(decision.forget, row.forget);
    EXPECT_EQ(decision.emptied, row.emptied);
    EXPECT_EQ(decision.own, row.own);
  }

  // Whole files: a half-written timetable misses a row's key; a last line without its line end
  // (as Notepad saves) is whole.
  const std::string timetable =
      "[time]\r\n1=08:00:00\r\n2=09:00:00\r\n[music]\r\n1=a.mp3\r\n"
      "2=b.mp3\r\n[total]\r\nn=2\r\n";
  EXPECT_TRUE(TimetableIsWhole(timetable));
  EXPECT_TRUE(TimetableIsWhole("[total]\r\nn=0\r\n"));
  EXPECT_TRUE(TimetableIsWhole(timetable.substr(0, timetable.size() - 2)));
  EXPECT_FALSE(TimetableIsWhole(timetable.substr(0, timetable.find("2=b.mp3"))));
  EXPECT_FALSE(
      TimetableIsWhole("[total]\r\nn=2\r\n[time]\r\n1=08:00:00\r\n2=09:00:00\r\n"
                       "[music]\r\n1=a.mp3\r\n"));
  EXPECT_FALSE(TimetableIsWhole("[time]\r\n1=08:00:00\r\n"));
  EXPECT_FALSE(TimetableIsWhole(""));
  EXPECT_TRUE(PlanIsWhole("[每周]\r\n周一=常规\r\n"));
  EXPECT_TRUE(PlanIsWhole(""));
  EXPECT_TRUE(PlanIsWhole("[每周]\r\n周一=常规"));
  EXPECT_FALSE(PlanIsWhole(std::string("[每周]\r\n\0\0\r\n", 12)));
  // Notepad's "Unicode": UTF-16 with its mark, read as its text.
  EXPECT_TRUE(PlanIsWhole(std::string("\xFF\xFE[\0]\0\r\0\n\0", 10)));

  EXPECT_EQ(MusicNamedBy(timetable), (Names{"mp3\\a.mp3", "mp3\\b.mp3"}));

  // Names no local file can have; a copy failing time after time rests; a relative source.
  for (const char* name : {"mp3\\CON.mp3", "mp3\\nul", "课表\\com1.ini", "mp3\\a.mp3."})
    EXPECT_FALSE(CanBeLocalName(name)) << name;
  EXPECT_TRUE(CanBeLocalName("mp3\\CONCERT.mp3") && CanBeLocalName("mp3\\COM10.mp3"));
  EXPECT_TRUE(TryAgainNow(2, 1) && !TryAgainNow(3, 9) && TryAgainNow(3, 10));
  EXPECT_EQ(SourcePath("C:\\铃", "共享"), "C:\\铃\\共享");
  EXPECT_EQ(SourcePath("C:\\铃", "\\\\s\\x"), "\\\\s\\x");
  EXPECT_EQ(ServerOfSource("\\\\教务处\\铃声"), "\\\\教务处");
  EXPECT_EQ(ServerOfSource("\\\\10.0.0.5"), "\\\\10.0.0.5");
  EXPECT_EQ(ServerOfSource("D:\\铃声"), "");
  EXPECT_EQ(ServerOfSource("\\\\?\\D:\\铃声"), "");

  // The taken list keeps names with any GBK byte (a trail byte of "\", "=", "," in a name); a
  // look interval set by hand is kept, one too short is not taken.
  SyncSettings settings{"\\\\教务处\\铃声", {{"mp3\\a=b,c;[表].mp3", {a, b}}}, 7, {}};
  const SyncSettings read = ParseSyncSettings(SyncSettingsText(settings));
  EXPECT_EQ(read.source, settings.source);
  EXPECT_EQ(read.taken, settings.taken);
  EXPECT_EQ(read.interval_seconds, 7);
  // Both bounds are taken, one past either falls back to the minute.
  for (const auto& [text, seconds] : {std::pair{"4", 60}, {"5", 5}, {"3600", 3600}, {"3601", 60}}) {
    EXPECT_EQ(ParseSyncSettings(std::string("[同步]\r\n来源=x\r\n间隔=") + text + "\r\n")
                  .interval_seconds,
              seconds)
        << text;
  }
  // Saved again by Notepad (UTF-8, no mark), it reads the same.
  const std::string utf8 = Utf8FromWide(WideFromGbk(SyncSettingsText(settings)));
  EXPECT_EQ(ParseSyncSettings(utf8).source, settings.source);
  EXPECT_EQ(ParseSyncSettings(utf8).taken, settings.taken);
  EXPECT_EQ(ParseSyncSettings("[同步]\r\n来源=x\r\n间隔=2\r\n").bad_interval, "2")
      << "recorded once by the engine";
  // The server's time is rung by unless said otherwise, and only for a UNC source; the report's
  // name and whether to write it are kept.
  EXPECT_TRUE(RingsOnServerTime(read));
  settings.server_time = false;
  settings.name = "三号考场";
  settings.report = false;
  const SyncSettings turned = ParseSyncSettings(SyncSettingsText(settings));
  EXPECT_FALSE(RingsOnServerTime(turned));
  EXPECT_EQ(turned.name, "三号考场");
  EXPECT_FALSE(turned.report);
  EXPECT_FALSE(
      RingsOnServerTime(ParseSyncSettings("[同步]\r\n来源=D:\\铃声\r\n按服务器时间=是\r\n")));
}

// The report as the campus window will read it: every field back as written, one section of
// GBK lines ending in CRLF; a report is another PC's by its computer or its folder.
TEST(CampusRulesTest, AStationReportReadsBackAsWritten) {
  testing::ScratchFolder source;
  source.MakeFolder("状态");
  StationReport report{"体育馆",
                       "GYM-PC",
                       "D:\\铃声",
                       "3.4.0",
                       "2026-12-08 10:31:05",
                       "2026-12-08 10:30:05",
                       "考试",
                       "日期 2026-12-08",
                       "10:40:00 下课.mp3",
                       "10:30:00",
                       "上课.mp3",
                       "已播放",
                       "+3 ms",
                       2,
                       -0.4,
                       true,
                       "扬声器",
                       "60%（原 12%，静音）",
                       "2026-12-08 10:31:06"};
  const TextValue path = StationReportPath(source.Path(), report.name);
  EXPECT_EQ(path.Bytes(), source.Path() + "\\状态\\体育馆.ini");
  ASSERT_TRUE(WriteStationReport(path, report));
  EXPECT_EQ(ReadStationReport(path), report);
  const std::string text = StationReportText(report);
  EXPECT_TRUE(text.starts_with("[状态]\r\n"));
  EXPECT_EQ(text.find('[', 1), std::string::npos);
  EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);
  report.clock_offset_seconds.reset();
  report.name = "三\r\n号";  // a line end in a value never starts a key of its own
  EXPECT_EQ(ParseStationReport(StationReportText(report)).clock_offset_seconds, std::nullopt);
  EXPECT_EQ(ParseStationReport(StationReportText(report)).name, "三  号");
  EXPECT_FALSE(ReadStationReport(source.Path() + "\\状态\\无.ini"));
  StationReport other = report;
  EXPECT_FALSE(ReportOfAnother(other, report));
  other.folder = "E:\\铃声";
  EXPECT_TRUE(ReportOfAnother(other, report));
}

// The campus window's row colours, one row of the table per rule and its edges: the report is
// written at 10:00:00 and the window looks with a 60 s interval.
TEST(CampusRulesTest, TheCampusWindowsRowsTurnRedOrAmberAsTheirReportsSay) {
  struct Row {
    const char* what;
    std::int64_t age_seconds;
    void (*change)(StationReport&);
    const char* planned;
    RowAlarm alarm;
  };
  const auto none = [](StationReport&) {};
  const Row rows[] = {
      {"fresh, all well", 30, none, "常规", RowAlarm::kNone},
      {"three intervals old is not yet late", 180, none, "常规", RowAlarm::kNone},
      {"older than three intervals", 181, none, "常规", RowAlarm::kRed},
      {"no time to go by", 0, [](StationReport& r) { r.written_at = "昨天"; }, "", RowAlarm::kRed},
      {"written ahead of this clock", -30, none, "常规", RowAlarm::kNone},
      {"missed a bell today", 0, [](StationReport& r) { r.missed_today = 1; }, "常规",
       RowAlarm::kRed},
      {"last bell not sounded", 0, [](StationReport& r) { r.last_bell_result = "文件缺失"; },
       "常规", RowAlarm::kRed},
      {"clock 1.5 s off on its own", 0, [](StationReport& r) { r.clock_offset_seconds = -1.5; },
       "常规", RowAlarm::kRed},
      {"clock 1.0 s off is within", 0, [](StationReport& r) { r.clock_offset_seconds = 1.0; },
       "常规", RowAlarm::kNone},
      {"clock off but ringing on the server's", 0,
       [](StationReport& r) {
         r.clock_offset_seconds = 40.0;
         r.on_server_time = true;
       },
       "常规", RowAlarm::kNone},
      {"another timetable than the plan's", 0, none, "考试", RowAlarm::kAmber},
      {"the plan's unknown", 0, none, "", RowAlarm::kNone},
      {"red wins over amber", 0, [](StationReport& r) { r.missed_today = 2; }, "考试",
       RowAlarm::kRed},
  };
  for (const Row& row : rows) {
    StationReport report;
    report.name = "体育馆";
    report.timetable = "常规";
    report.last_bell_result = "已播放";
    report.clock_offset_seconds = 0.2;
    report.written_at = "2026-12-08 10:00:00";
    row.change(report);
    const CampusRowBasis basis{*ReportTimeSeconds("2026-12-08 10:00:00") + row.age_seconds, 60,
                               row.planned};
    EXPECT_EQ(CampusRowAlarm(report, basis), row.alarm) << row.what;
  }
  EXPECT_EQ(ReportAgeText(ReportTimeSeconds("2026-12-08 10:00:00"),
                          *ReportTimeSeconds("2026-12-08 10:02:59")),
            "2 分钟前");
  EXPECT_EQ(ReportTimeSeconds("2026-12-08 24:00:00"), std::nullopt);
}

// The window reads whole reports only (not a writer's temporary file), in name order, and the
// export has a row for each under the titles.
TEST(CampusRulesTest, TheCampusWindowReadsEveryWholeReport) {
  testing::ScratchFolder source;
  source.MakeFolder("状态");
  StationReport gym;
  gym.name = "体育馆";
  gym.written_at = "2026-12-08 10:00:00";
  StationReport hall = gym;
  hall.name = "三号考场";
  hall.missed_today = 1;
  ASSERT_TRUE(WriteStationReport(StationReportPath(source.Path(), gym.name), gym));
  ASSERT_TRUE(WriteStationReport(StationReportPath(source.Path(), hall.name), hall));
  source.Write("状态\\体育馆.ini.tmp", "[状态]\r\n名称=半个");
  std::string problem;
  const std::vector<StationReport> read = ReadCampusReports(source.Path(), problem);
  EXPECT_EQ(problem, "");
  EXPECT_EQ(read, (std::vector<StationReport>{hall, gym}));
  const std::string csv = CampusCsvText(read, {*ReportTimeSeconds(gym.written_at), 60, ""});
  EXPECT_TRUE(csv.starts_with("电脑,最后回报,今日课表,上次铃声,结果,今日错过,时钟偏差,音量,状态,"));
  EXPECT_NE(csv.find("\r\n三号考场,刚刚,,,,1,,,异常,"), std::string::npos);
  EXPECT_NE(csv.find("\r\n体育馆,刚刚,,,,0,,,正常,"), std::string::npos);
  // A source no PC has reported to yet: an empty list, and no trouble.
  testing::ScratchFolder empty;
  EXPECT_TRUE(ReadCampusReports(empty.Path(), problem).empty());
  EXPECT_EQ(problem, "");
  // Without a plan every day rings the default timetable.
  EXPECT_EQ(PlannedTimetable(empty.Path(), {2026, 12, 8}), "常规");
}

// The clock's news through the time query seam: a server 3.2 s behind, still behind, back
// within the limit, silent.
TEST(CampusRulesTest, TheClockIsComparedAtTheRoundTripsMiddle) {
  std::optional<std::int64_t> answer;
  std::int64_t local = 1000000;
  std::atomic<bool> stop{false};
  SharedSyncSettings settings;
  SyncEngine engine(
      "C:\\x", settings, [&](const std::string&) { return answer; }, [&] { return local += 100; },
      stop);
  std::vector<std::string> record;
  answer = 1000150 - 3200;
  EXPECT_DOUBLE_EQ(*engine.CheckClock("\\\\s", {}, record), 3.2);
  answer = 1000350 - 3500;
  EXPECT_DOUBLE_EQ(*engine.CheckClock("\\\\s", {}, record), 3.5);
  answer = 1000550 - 800;  // within the limit, not yet back
  EXPECT_DOUBLE_EQ(*engine.CheckClock("\\\\s", {}, record), 0.8);
  EXPECT_EQ(record.size(), 1u);
  answer = 1000750 + 400;
  EXPECT_DOUBLE_EQ(*engine.CheckClock("\\\\s", {}, record), -0.4);
  answer.reset();
  EXPECT_FALSE(engine.CheckClock("\\\\s", {}, record));
  ASSERT_EQ(record.size(), 2u);
  EXPECT_TRUE(record[0].ends_with("\t时钟\t偏差\t+3.2 s"));
  EXPECT_TRUE(record[1].ends_with("\t时钟\t正常"));

  // Looks at a UNC source publish the trusted answer for the clock: a step recorded, the local
  // clock once when the server is silent, nothing on the server's time when turned off.
  ClockCorrection correction;
  engine.RingBy(&correction);
  settings.settings.source = "\\\\s\\铃声";
  const auto look = [&](std::optional<std::int64_t> server) {
    answer = server ? std::optional(local + 150 + *server) : std::nullopt;
    return engine.Look(0, {}).record;
  };
  const std::vector<std::string> stepped = look(3200);
  ASSERT_GE(stepped.size(), 2u);
  EXPECT_TRUE(stepped[1].ends_with("\t时钟\t按服务器\t+3.2 s")) << stepped[1];
  EXPECT_TRUE(correction.OnServer());
  EXPECT_EQ(correction.TargetMs(), 3200);
  EXPECT_TRUE(look(std::nullopt).front().ends_with("\t时钟\t本机"));
  EXPECT_TRUE(look(std::nullopt).empty());
  EXPECT_FALSE(correction.OnServer());
  settings.settings.server_time = false;
  look(3200);
  EXPECT_FALSE(correction.OnServer());
}

// The record lines' fields, without their stamps.
Names Fields(const std::vector<std::string>& lines) {
  Names fields;
  for (const std::string& line : lines) fields.push_back(line.substr(line.find('\t') + 1));
  return fields;
}

// An engine following `source` into `local`, with no server's clock.
struct Following {
  Following(testing::ScratchFolder& source, testing::ScratchFolder& local)
      : engine(
            local.Path(), settings, {}, [] { return std::int64_t{0}; }, stop) {
    settings.path = local.Path() + "\\Belvane同步.ini";
    settings.settings.source = source.Path();
  }
  std::atomic<bool> stop{false};
  SharedSyncSettings settings;
  SyncEngine engine;
};

TEST(CampusFollowTest, TakesWhatHeldStillLeavesTheRestAndSaysWhenTheSourceGoes) {
  testing::ScratchFolder source, local;
  const std::string timetable =
      "[time]\r\n1=08:00:00\r\n[music]\r\n1=上课.mp3\r\n[total]\r\nn=1\r\n";
  source.MakeFolder("mp3");
  source.MakeFolder("课表");
  source.Write("mp3\\上课.mp3", "ID3 bell");
  source.Write("课表\\考试.ini", timetable);
  local.MakeFolder("mp3");
  local.Write("mp3\\自己.mp3", "a teacher's own");
  Following following(source, local);
  auto& [stop, settings, engine] = following;

  LookReport report = engine.Look(0, {});
  EXPECT_TRUE(report.changed.empty());
  EXPECT_TRUE(report.again_soon);
  report = engine.Look(2000, {});
  EXPECT_EQ(report.changed, (Names{"mp3\\上课.mp3", "课表\\考试.ini"}));
  EXPECT_EQ(Fields(report.record), Names{"同步\t已更新\t2 个文件\tmp3\\上课.mp3\t课表\\考试.ini"});
  EXPECT_EQ(local.Read("课表\\考试.ini"), timetable);
  EXPECT_EQ(local.Read("mp3\\上课.mp3"), "ID3 bell");
  EXPECT_EQ(ReadSyncSettings(settings.path).taken.size(), 2u);

  // A file still being written is not taken until it holds still, nor a timetable naming it
  // (others go on); a timetable cut short is never taken.
  const std::string naming = "[time]\r\n1=08:00:00\r\n[music]\r\n1=下课.mp3\r\n[total]\r\nn=1";
  source.Write("mp3\\下课.mp3", "ID3");
  source.Write("课表\\考试.ini", naming);
  source.Write("课表\\其他.ini", timetable);
  source.Write("课表\\半.ini", timetable.substr(0, 30));
  EXPECT_TRUE(engine.Look(4000, {}).changed.empty());
  source.Write("mp3\\下课.mp3", "ID3 half way");
  report = engine.Look(6000, {});
  EXPECT_EQ(report.changed, Names{"课表\\其他.ini"});
  EXPECT_EQ(Fields(report.record), (Names{"同步\t未取\t课表\\半.ini\t内容不完整",
                                          "同步\t已更新\t1 个文件\t课表\\其他.ini"}));
  EXPECT_TRUE(report.again_soon);
  EXPECT_EQ(local.Read("课表\\考试.ini"), timetable);
  report = engine.Look(8000, {});
  EXPECT_EQ(report.changed, (Names{"mp3\\下课.mp3", "课表\\考试.ini"}));
  EXPECT_EQ(Fields(report.record),
            (Names{"同步\t已更新\t2 个文件\tmp3\\下课.mp3\t课表\\考试.ini"}));
  EXPECT_EQ(local.Read("mp3\\下课.mp3"), "ID3 half way");
  EXPECT_EQ(report.status.problem, "课表\\半.ini：内容不完整");

  // Removed there: removed here once missing at two looks, the teacher's own file stays.
  DeleteFileA((source.Path() + "\\mp3\\上课.mp3").c_str());
  EXPECT_TRUE(engine.Look(70000, {}).record.empty());
  report = engine.Look(72000, {});
  EXPECT_EQ(Fields(report.record), Names{"同步\t已删除\t1 个文件\tmp3\\上课.mp3"});
  EXPECT_EQ(local.Read("mp3\\上课.mp3"), "<missing>");
  EXPECT_EQ(local.Read("mp3\\自己.mp3"), "a teacher's own");

  // The source gone and back: one line each, the local copy kept meanwhile.
  const std::string away = source.Path() + "_away";
  ASSERT_TRUE(MoveFileA(source.Path().c_str(), away.c_str()));
  report = engine.Look(130000, {});
  ASSERT_EQ(report.record.size(), 1u);
  EXPECT_TRUE(Fields(report.record)[0].starts_with("同步\t无法访问\t" + source.Path() + "\t"));
  EXPECT_FALSE(report.status.reachable);
  EXPECT_TRUE(engine.Look(190000, {}).record.empty());
  ASSERT_TRUE(MoveFileA(away.c_str(), source.Path().c_str()));
  EXPECT_EQ(Fields(engine.Look(250000, {}).record), Names{"同步\t恢复"});
  EXPECT_EQ(local.Read("课表\\考试.ini"), naming);
}

bool ReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// Files as schools have them: a read-only recording, a Notepad timetable and plan without a last
// line end, the PC's own files of the same names; then a rename at the source and an emptied
// music folder.
TEST(CampusFollowTest, KeepsThePcsOwnFilesAndRemovesOnlyWhatSettled) {
  testing::ScratchFolder source, local;
  const std::string timetable = "[time]\r\n1=08:00:00\r\n[music]\r\n1=上课.mp3\r\n[total]\r\nn=1";
  source.MakeFolder("mp3");
  source.MakeFolder("课表");
  source.Write("mp3\\上课.mp3", "ID3 bell");
  source.Write("mp3\\同.mp3", "same");
  source.Write("课表\\考试.ini", timetable);
  source.Write("Belvane日历.ini", "[日期]\r\n2027-06-07=考试");
  ASSERT_TRUE(
      SetFileAttributesA((source.Path() + "\\mp3\\上课.mp3").c_str(), FILE_ATTRIBUTE_READONLY));
  local.MakeFolder("mp3");
  local.Write("mp3\\上课.mp3", "a teacher's own");
  local.Write("mp3\\同.mp3", "same");
  local.Write("mp3\\旧.mp3.sync~", "left by a look cut short");
  local.MakeFolder("同步备份");
  local.MakeFolder("同步备份\\mp3");
  local.Write("同步备份\\mp3\\上课.mp3", "backed up before");
  Following following(source, local);
  auto& [stop, settings, engine] = following;

  engine.Look(0, {});
  LookReport report = engine.Look(2000, {});
  SetFileAttributesA((source.Path() + "\\mp3\\上课.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Fields(report.record),
            (Names{"同步\t已备份\tmp3\\上课.mp3",
                   "同步\t已更新\t3 个文件\tmp3\\上课.mp3\t课表\\考试.ini\tBelvane日历.ini"}));
  EXPECT_EQ(local.Read("mp3\\上课.mp3"), "ID3 bell");
  EXPECT_FALSE(ReadOnly(local.Path() + "\\mp3\\上课.mp3"));
  EXPECT_EQ(local.Read("同步备份\\mp3\\上课.mp3"), "backed up before");
  EXPECT_EQ(local.Read("同步备份\\mp3\\上课 (2).mp3"), "a teacher's own");
  EXPECT_EQ(local.Read("课表\\考试.ini"), timetable);
  EXPECT_EQ(local.Read("mp3\\旧.mp3.sync~"), "<missing>");
  EXPECT_EQ(ReadSyncSettings(settings.path).taken.size(), 4u) << "the same bytes count as taken";

  // Renamed at the source: the new one is taken before the old one goes, and that only once
  // it was missing at two looks.
  ASSERT_TRUE(MoveFileA((source.Path() + "\\课表\\考试.ini").c_str(),
                        (source.Path() + "\\课表\\期末.ini").c_str()));
  EXPECT_TRUE(engine.Look(4000, {}).record.empty());
  EXPECT_EQ(local.Read("课表\\考试.ini"), timetable);
  EXPECT_EQ(
      Fields(engine.Look(6000, {}).record),
      (Names{"同步\t已更新\t1 个文件\t课表\\期末.ini", "同步\t已删除\t1 个文件\t课表\\考试.ini"}));

  // A music folder that shows up empty removes no recording: one line, not one per look.
  DeleteFileA((source.Path() + "\\mp3\\上课.mp3").c_str());
  DeleteFileA((source.Path() + "\\mp3\\同.mp3").c_str());
  EXPECT_EQ(Fields(engine.Look(8000, {}).record), Names{"同步\t文件夹为空\tmp3"});
  EXPECT_TRUE(engine.Look(10000, {}).record.empty());
  EXPECT_EQ(local.Read("mp3\\上课.mp3"), "ID3 bell");
  EXPECT_EQ(local.Read("mp3\\同.mp3"), "same");
}

// Stop chosen while a long copy runs: the copy is abandoned, its temporary file removed, and
// nothing after it (the timetable, the taken list) is written.
TEST(CampusFollowTest, StoppingDuringACopyWritesNothingMore) {
  testing::ScratchFolder source, local;
  source.MakeFolder("mp3");
  source.Write("mp3\\长.mp3", std::string(48u << 20, 'x'));
  source.Write("Belvane配置.ini", "[total]\r\nn=0\r\n");
  Following following(source, local);
  auto& [stop, settings, engine] = following;
  engine.Look(0, {});
  const std::string temporary = local.Path() + "\\mp3\\长.mp3.sync~";
  std::thread user([&] {
    for (const ULONGLONG end = GetTickCount64() + 20000;
         GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount64() < end;)
      Sleep(0);
    EXPECT_TRUE(settings.ChangeSource(""));
  });
  const LookReport report = engine.Look(2000, {});
  user.join();
  EXPECT_TRUE(report.changed.empty());
  for (const char* name : {"\\mp3\\长.mp3", "\\mp3\\长.mp3.sync~"})
    EXPECT_EQ(GetFileAttributesA((local.Path() + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
  EXPECT_EQ(local.Read("Belvane配置.ini"), "<missing>");
  EXPECT_TRUE(ReadSyncSettings(settings.path).taken.empty());
}

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (RunUiTask(message, wparam, lparam)) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

// The thread: "Belvane同步.ini" read at the start, the looks at once and 2 s later, what they
// took heard on the window's thread, a bounded stop.
TEST(CampusFollowTest, TheFollowersThreadTakesWithinSecondsOfTheStart) {
  testing::ScratchFolder source, local;
  source.MakeFolder("mp3");
  source.Write("mp3\\上课.mp3", "ID3");
  local.Write("Belvane同步.ini", "[同步]\r\n来源=" + source.Path() + "\r\n");
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &TaskWindowProc;
  window_class.lpszClassName = "BelvaneCampusTestWindow";
  RegisterClassA(&window_class);
  const HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0,
                                      HWND_MESSAGE, nullptr, nullptr, nullptr);
  Names taken;
  CampusFollower follower;
  ASSERT_TRUE(follower.Start(window, local.Path(), [&](const Names& names) { taken = names; }, {}));
  EXPECT_TRUE(follower.Following());
  for (const ULONGLONG end = GetTickCount64() + 5000; taken.empty() && GetTickCount64() < end;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(20);
  }
  EXPECT_EQ(taken, Names{"mp3\\上课.mp3"});
  EXPECT_TRUE(follower.Status().reachable);
  // The look's report is at the source, under the computer's name.
  const TextValue report = StationReportPath(source.Path(), follower.ReportName());
  for (const ULONGLONG end = GetTickCount64() + 5000;
       !ReadStationReport(report) && GetTickCount64() < end;)
    Sleep(20);
  ASSERT_TRUE(ReadStationReport(report));
  EXPECT_EQ(ReadStationReport(report)->folder, local.Path());
  const ULONGLONG stop_start = GetTickCount64();
  follower.Stop();
  EXPECT_LT(GetTickCount64() - stop_start, 1000u);
  DestroyWindow(window);
}

}  // namespace
}  // namespace belvane
