// The record's lines, the bell results, the keep-awake request, the folder claim's name and the
// logon entry: what the program writes and asks for, without a window.
#include "app/bell/bell_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/keep_awake.h"
#include "app/bell/record_events.h"
#include "app/single_instance.h"

namespace belvane {
namespace {

constexpr RecordTime kAt{2026, 12, 7, 8, 30, 0, 4};

TEST(BellRecordTest, EveryLineIsTheStampThenTabSeparatedGbkFields) {
  EXPECT_EQ(RecordStamp(kAt), "2026-12-07 08:30:00.004");
  EXPECT_EQ(RecordStamp({2027, 1, 31, 23, 59, 59, 999}), "2027-01-31 23:59:59.999");
  const std::string stamp = "2026-12-07 08:30:00.004\t";
  EXPECT_EQ(ScheduledBellLine(kAt, 3, "08:30:00", "上课铃.mp3", BellResult::kPlayed, 3),
            stamp + "定时\t3\t08:30:00\t上课铃.mp3\t已播放\t+3 ms");
  EXPECT_EQ(ScheduledBellLine(kAt, 1, "08:00:00", "a.wav", BellResult::kPlayed, -2, "考试"),
            stamp + "定时\t1\t08:00:00\ta.wav\t已播放\t-2 ms\t考试");
  EXPECT_EQ(ScheduledBellLine(kAt, 1, "08:00:00", "a.wav", BellResult::kPlayed, 5, "",
                              {"设备未取用声音", true}),
            stamp + "定时\t1\t08:00:00\ta.wav\t无声（设备未取用声音）\t+5 ms\t静音");
  EXPECT_EQ(VolumeLine(kAt, "已调整", "上课.mp3", "静音→取消, 12%→60%"),
            stamp + "音量\t已调整\t上课.mp3\t静音→取消, 12%→60%");
  EXPECT_EQ(VolumeLine(kAt, "已恢复"), stamp + "音量\t已恢复");
  EXPECT_EQ(TodayLine(kAt, "考试", "日期 2027-06-07"), stamp + "今日\t考试\t日期 2027-06-07");
  EXPECT_EQ(ExamTodayLine(kAt, "2 场", "语文 09:00~11:30; 数学 15:00~17:00"),
            stamp + "今日\t考试\t2 场\t语文 09:00~11:30; 数学 15:00~17:00");
  EXPECT_EQ(ExamTodayLine(kAt, "1 场", "语文 09:00~11:30", "常规"),
            stamp + "今日\t考试\t1 场\t语文 09:00~11:30\t同时打课表 常规");
  EXPECT_EQ(PlanUnreadLine(kAt, "周八=常规"), stamp + "日历\t无法识别\t周八=常规");
  EXPECT_EQ(StartedLine(kAt, "D:\\铃声", 7, 2),
            stamp + "启动\tD:\\铃声\t时间表 7 行\t文件缺失 2 行");
  EXPECT_EQ(EndedLine(kAt), stamp + "退出");
  EXPECT_EQ(SecondCopyLine(kAt), stamp + "再次启动\t已切换到正在运行的窗口");
  EXPECT_EQ(MissingFileLine(kAt, 2, "08:40:00", "2.宣读考试规则.m4a"),
            stamp + "文件缺失\t2\t08:40:00\t2.宣读考试规则.m4a");
  EXPECT_EQ(MissedSummaryLine(kAt, 728, {2025, 12, 7, 12, 0, 0, 0}, {2026, 12, 6, 8, 0, 0, 0}),
            stamp + "错过\t728 行\t2025-12-07 12:00:00.000~2026-12-06 08:00:00.000");
  // The clock's days count from 1601.
  EXPECT_EQ(RecordStamp(RecordTimeOfClockSecond(155568LL * 86400 + 8 * 3600 + 30 * 60)),
            "2026-12-07 08:30:00.000");
  EXPECT_EQ(ManualPlayLine(kAt, "a.wav", BellResult::kCannotPlay),
            stamp + "手动\t播放\ta.wav\t无法播放");
  EXPECT_EQ(ManualStopLine(kAt, "a.wav"), stamp + "手动\t停止\ta.wav");
  EXPECT_EQ(SaveLine(kAt, true, 5), stamp + "保存\t已保存\t时间表 5 行");
  EXPECT_EQ(SaveLine(kAt, false, 5), stamp + "保存\t保存失败");
  EXPECT_EQ(AudioDeviceLine(kAt, false), stamp + "音频设备\t丢失");
  EXPECT_EQ(AudioDeviceLine(kAt, true), stamp + "音频设备\t恢复");
  EXPECT_EQ(MediaMissingLine(kAt),
            stamp + "解码\t缺少媒体功能\tmp3/m4a/wma 无法播放，请安装媒体功能包");
  EXPECT_EQ(AutostartLine(kAt, true, true, "\"D:\\铃声 2\\Belvane.exe\""),
            stamp + "开机自动启动\t已开启\t\"D:\\铃声 2\\Belvane.exe\"");
  EXPECT_EQ(AutostartLine(kAt, false, true, ""), stamp + "开机自动启动\t已关闭");
  EXPECT_EQ(AutostartLine(kAt, true, false, "\"x\""), stamp + "开机自动启动\t开启失败");
  EXPECT_EQ(AutostartLine(kAt, false, false, ""), stamp + "开机自动启动\t关闭失败");
  EXPECT_EQ(SyncUnreachableLine(kAt, "\\\\教务处\\铃声", "找不到网络路径。"),
            stamp + "同步\t无法访问\t\\\\教务处\\铃声\t找不到网络路径。");
  EXPECT_EQ(SyncBackLine(kAt), stamp + "同步\t恢复");
  EXPECT_EQ(SyncFilesLine(kAt, false, {"mp3\\上课.mp3", "课表\\考试.ini"}),
            stamp + "同步\t已更新\t2 个文件\tmp3\\上课.mp3\t课表\\考试.ini");
  EXPECT_EQ(
      SyncFilesLine(kAt, true, std::vector<std::string>(21, "a")),
      stamp + "同步\t已删除\t21 个文件" +
          [] {
            std::string names;
            for (int i = 0; i < 20; ++i) names += "\ta";
            return names;
          }() +
          "\t等");
  EXPECT_EQ(SyncNotTakenLine(kAt, "mp3\\a.mp3", "0 字节"),
            stamp + "同步\t未取\tmp3\\a.mp3\t0 字节");
  EXPECT_EQ(ClockOffLine(kAt, "+3.2 s"), stamp + "时钟\t偏差\t+3.2 s");
  EXPECT_EQ(ClockBackLine(kAt), stamp + "时钟\t正常");
  // GBK bytes, not UTF-8: "定时" is four bytes.
  EXPECT_EQ(std::string("定时"), "\xB6\xA8\xCA\xB1");
}

TEST(BellRecordTest, ResultsAreClassifiedFromWhatThePlayerShows) {
  EXPECT_EQ(ClassifyPlay({.opened = true, .playing = true}), BellResult::kPlayed);
  EXPECT_EQ(ClassifyPlay({.opened = false, .library_error = 2, .file_exists = false}),
            BellResult::kFileMissing);
  // Missing is named even without a device: it stays missing once a device is back.
  EXPECT_EQ(ClassifyPlay({.opened = false, .library_error = 8, .file_exists = false}),
            BellResult::kFileMissing);
  for (const int no_device : {3, 8, 9, 23})
    EXPECT_EQ(ClassifyPlay({.opened = false, .library_error = no_device}), BellResult::kNoDevice);
  EXPECT_EQ(ClassifyPlay({.opened = false, .library_error = 41}), BellResult::kCannotPlay);
  EXPECT_EQ(ClassifyPlay({.opened = true, .playing = false, .library_error = 0}),
            BellResult::kCannotPlay);
  EXPECT_STREQ(BellResultText(BellResult::kNoDevice), "无音频设备");
  EXPECT_STREQ(BellResultText(BellResult::kMissed), "错过");
  EXPECT_STREQ(BellResultText(BellResult::kFileMissing), "文件缺失");
}

TEST(BellRecordTest, LatenessCountsFromTheDueSecondAcrossMidnight) {
  EXPECT_EQ(LatenessMs(8 * 3600 + 30 * 60, kAt), 4);
  EXPECT_EQ(LatenessMs(86399, {2026, 12, 8, 0, 0, 0, 21}), 1021);
  EXPECT_EQ(LatenessMs(8 * 3600, kAt), 30 * 60 * 1000 + 4);
  // A moment before the second is early (the sound's clock a little ahead, a clock set back),
  // not a day late; further back it is the next day's.
  EXPECT_EQ(LatenessMs(8 * 3600 + 30 * 60 + 1, kAt), -996);
  EXPECT_EQ(LatenessMs(8 * 3600 + 31 * 60, kAt), -59996);
  EXPECT_EQ(LatenessMs(8 * 3600 + 31 * 60 + 1, kAt), 86400 * 1000 - 60996);
  EXPECT_EQ(LatenessText(-996), "-996 ms");
  EXPECT_EQ(LatenessText(0), "+0 ms");
  EXPECT_EQ(LatenessText(1021), "+1021 ms");
}

// The music files are looked at again at the first look of each new day, once.
TEST(BellRecordTest, TheDailyLookComesOnceJustAfterMidnight) {
  DailyLook look({2026, 12, 7, 8, 0, 0, 0});
  int next = 0;
  EXPECT_FALSE(look.Due({2026, 12, 7, 12, 0, 0, 0}, &next));
  EXPECT_EQ(next, 60 * 1000);
  EXPECT_FALSE(look.Due({2026, 12, 7, 23, 59, 59, 900}, &next));
  EXPECT_EQ(next, 150);  // wakes just past midnight
  EXPECT_TRUE(look.Due({2026, 12, 8, 0, 0, 0, 50}, &next));
  EXPECT_FALSE(look.Due({2026, 12, 8, 0, 0, 1, 0}, &next));
  // A sleep over several days, and a month's end: each day looked at once.
  EXPECT_TRUE(look.Due({2026, 12, 31, 9, 0, 0, 0}, &next));
  EXPECT_TRUE(look.Due({2027, 1, 1, 0, 0, 0, 0}, &next));
  EXPECT_FALSE(look.Due({2027, 1, 1, 0, 0, 30, 0}, &next));
}

TEST(BellRecordTest, MissingFileLinesNameEachRowWhoseFileIsNotThere) {
  CreateDirectoryA("bell_record_music", nullptr);
  const HANDLE file = CreateFileA("bell_record_music\\在.wav", GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  std::vector<TimetableEntry> rows(3);
  rows[0] = {"08:00:00", "在.wav", "0"};
  rows[1] = {"08:10:00", "不在.wav", "0"};
  rows[2] = {"08:20:00", "不在.wav", "0"};
  const std::vector<std::string> lines =
      MissingFileLines(TimetableSnapshot(std::move(rows)), "bell_record_music", kAt);
  DeleteFileA("bell_record_music\\在.wav");
  RemoveDirectoryA("bell_record_music");
  const std::string stamp = "2026-12-07 08:30:00.004\t";
  EXPECT_EQ(lines, (std::vector<std::string>{stamp + "文件缺失\t2\t08:10:00\t不在.wav",
                                             stamp + "文件缺失\t3\t08:20:00\t不在.wav"}));
}

std::vector<EXECUTION_STATE> g_asked;
EXECUTION_STATE WINAPI FakeSetter(EXECUTION_STATE flags) {
  g_asked.push_back(flags);
  return ES_CONTINUOUS;
}

// A Run entry held in memory; `refuse` makes every change fail, as a locked-down key would.
class MemoryRunEntry final : public RunEntryStore {
 public:
  std::optional<std::string> Read() override { return value; }
  bool Write(std::string_view command) override {
    if (refuse) return false;
    value = std::string(command);
    return true;
  }
  bool Remove() override {
    if (refuse) return false;
    value.reset();
    return true;
  }
  std::optional<std::string> value;
  bool refuse = false;
};

TEST(AutostartTest, OnlyAnEntryNamingThisExeCountsAsOn) {
  const std::string exe = "C:\\学校 铃声\\Belvane.exe";
  EXPECT_EQ(AutostartCommand(exe), "\"C:\\学校 铃声\\Belvane.exe\"");
  EXPECT_TRUE(CommandStartsProgram(AutostartCommand(exe), exe));
  EXPECT_TRUE(CommandStartsProgram("  \"c:\\学校 铃声\\BELVANE.EXE\" /min", exe));
  EXPECT_TRUE(CommandStartsProgram("C:\\学校 铃声\\Belvane.exe", exe));
  EXPECT_FALSE(CommandStartsProgram("\"D:\\学校 铃声\\Belvane.exe\"", exe));
  EXPECT_FALSE(CommandStartsProgram("\"C:\\学校 铃声\\Belvane.exe", exe));
  EXPECT_FALSE(CommandStartsProgram("\"\"", exe));
  EXPECT_FALSE(CommandStartsProgram("", exe));
  // Two different GBK characters whose trail bytes are 'A' and 'a': not the same folder.
  EXPECT_FALSE(CommandStartsProgram("\"C:\\\xB0\x41\\Belvane.exe\"", "C:\\\xB0\x61\\Belvane.exe"));
}

TEST(AutostartTest, ChoosingTheItemSwitchesTheEntryForThisExe) {
  const std::string exe = "D:\\铃声\\Belvane.exe";
  MemoryRunEntry entry;
  EXPECT_FALSE(AutostartIsOn(entry, exe));
  AutostartChange change = ToggleAutostart(entry, exe);
  EXPECT_TRUE(change.on && change.done);
  EXPECT_EQ(change.command, "\"D:\\铃声\\Belvane.exe\"");
  EXPECT_EQ(entry.value, change.command);
  EXPECT_TRUE(AutostartIsOn(entry, exe));

  change = ToggleAutostart(entry, exe);
  EXPECT_TRUE(!change.on && change.done);
  EXPECT_FALSE(entry.value.has_value());

  // The folder was moved: the old entry shows off, and choosing the item points it here.
  entry.value = "\"E:\\旧文件夹\\Belvane.exe\"";
  EXPECT_FALSE(AutostartIsOn(entry, exe));
  change = ToggleAutostart(entry, exe);
  EXPECT_TRUE(change.on && change.done);
  EXPECT_EQ(entry.value, "\"D:\\铃声\\Belvane.exe\"");

  // A refusal is reported, and the entry stays as it was.
  entry.refuse = true;
  change = ToggleAutostart(entry, exe);
  EXPECT_FALSE(change.on);
  EXPECT_FALSE(change.done);
  EXPECT_TRUE(AutostartIsOn(entry, exe));
}

TEST(KeepAwakeTest, AsksOnceForTheSystemNotTheDisplayAndLetsGoOnce) {
  g_asked.clear();
  KeepAwake awake;
  awake.Keep(&FakeSetter);
  awake.Keep(&FakeSetter);
  ASSERT_EQ(g_asked, (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED}));
  EXPECT_EQ(g_asked[0] & ES_DISPLAY_REQUIRED, 0u);
  awake.LetSleep();
  awake.LetSleep();
  EXPECT_EQ(g_asked,
            (std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED, ES_CONTINUOUS}));
  // One that is let go of with the objects that own it.
  {
    KeepAwake owned;
    owned.Keep(&FakeSetter);
  }
  EXPECT_EQ(g_asked.back(), ES_CONTINUOUS);
  EXPECT_EQ(g_asked.size(), 4u);
}

TEST(FolderInstanceTest, NameIsTheFolderWithoutCaseInTheSessionNamespace) {
  const std::wstring name = FolderInstanceName(L"C:\\Bells\\铃声");
  EXPECT_EQ(name.rfind(L"Local\\Belvane-", 0), 0u);
  EXPECT_EQ(name.size(), std::wstring(L"Local\\Belvane-").size() + 16);
  EXPECT_EQ(FolderInstanceName(L"c:\\bells\\铃声"), name);
  EXPECT_EQ(FolderInstanceName(L"C:\\BELLS\\铃声\\"), name);
  EXPECT_EQ(FolderInstanceName(L"C:/Bells/铃声"), name);
  EXPECT_NE(FolderInstanceName(L"C:\\Bells\\铃声2"), name);
  EXPECT_NE(FolderInstanceName(L"C:\\Bells\\考试"), name);
  // A path far past MAX_PATH still gives a name of the same short length.
  const std::wstring deep = L"\\\\?\\C:\\" + std::wstring(2000, L'深');
  EXPECT_EQ(FolderInstanceName(deep).size(), name.size());
  EXPECT_NE(FolderInstanceName(deep), FolderInstanceName(deep + L"x"));
}

TEST(FolderInstanceTest, AMutexThatExistsOrIsDeniedIsAnotherCopysClaim) {
  EXPECT_FALSE(HeldByAnotherCopy(true, ERROR_SUCCESS));
  EXPECT_TRUE(HeldByAnotherCopy(true, ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(HeldByAnotherCopy(false, ERROR_ACCESS_DENIED));    // an administrator's copy holds it
  EXPECT_FALSE(HeldByAnotherCopy(false, ERROR_INVALID_HANDLE));  // the name is another object's
}

}  // namespace
}  // namespace belvane
