#pragma once
// The lines of the bell record, "Belvane日志.txt" beside the program: what each event writes.
// Every line is the local time to the millisecond, then fields separated by one tab, in GBK:
//   2026-12-07 08:30:00.004	定时	3	08:30:00	上课.mp3	已播放	+3 ms
//
// Events and their fields:
//   启动  program folder, "时间表 N 行", "文件缺失 M 行"     the program started
//   退出                                                   the program ended
//   再次启动  "已切换到正在运行的窗口"                       a second copy handed over
//   文件缺失  row, start time, music                        at start-up and after midnight
//   定时  row, start time, music, result, lateness[, timetable][, 静音]  a scheduled bell
//                                                          (the timetable's name unless 常规;
//                                                          静音: it played on a muted output
//                                                          that could not be unmuted); the
//                                                          result 已播放 only once the device
//                                                          took its first samples, else
//                                                          无声（reason）
//   音量  已调整, music, change | 已恢复 | 无法调整, reason   the bell level (once per reason)
//   今日  timetable, why  |  今日  停铃, reason               at start-up and each new day
//   今日  考试, "2 场", sessions[, "同时打课表 常规"]           an exam day (its timetable too)
//   日历  无法识别, the line as written                      the plan's unreadable lines
//   日历 | 课表  无法读取, file, reason                      a plan or timetable file that could
//                                                          not be read (what was read last rings)
//   错过  "N 行", first~last (stamps)                       rows a jump passed over before its
//                                                          last day, summed up
//   手动  播放, music, result  |  手动  停止, music          the play button
//   保存  已保存, "N 行"  |  保存  保存失败                   the save button
//   音频设备  丢失 | 恢复                                    the output device
//   开机自动启动  已开启, command | 已关闭 | 开启失败 | 关闭失败   the system menu's item
//   同步  无法访问, source, reason | 恢复                      the followed folder lost, back
//   同步  已更新 | 已删除, "N 个文件", names…                 a look took or removed files
//   同步  未取, name, why                                     a file that could not be taken
//   时钟  偏差, "+3.2 s" | 正常                               the clock against the server's
// Rows are numbered from 1, as the list shows them. A bell's lateness is how long after its
// second its first sound went to the device (where the audio library tells it; else when the
// play call returned), or when the clock noticed it had passed it over, in whole milliseconds
// with a sign.
//
// Thread policy: pure; safe from any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace belvane {

inline constexpr char kRecordFileName[] = "Belvane日志.txt";
inline constexpr char kRecordOldFileName[] = "Belvane日志.old.txt";

// A local time with milliseconds, as the record stamps it.
struct RecordTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "2026-12-07 08:30:00.004".
std::string RecordStamp(const RecordTime& time);

// What became of a bell.
enum class BellResult {
  kPlayed,       // 已播放: the sound started
  kFileMissing,  // 文件缺失: the file is not there
  kCannotPlay,   // 无法播放: the file is there but could not be opened or played
  kNoDevice,     // 无音频设备: there is no output device
  kMissed,       // 错过: its second was passed over
};
const char* BellResultText(BellResult result);

// What the program could see of an attempt to play a file.
struct PlayFacts {
  bool opened = false;      // a stream was opened
  bool playing = false;     // it is playing after the play call
  int library_error = 0;    // the audio library's last error on the calling thread
  bool file_exists = true;  // asked only when no stream was opened
};
// The result those facts show. A missing file is named first: it stays missing once a device
// is back.
BellResult ClassifyPlay(const PlayFacts& facts);

// Milliseconds from the start of second `due_second` of the day to `now`: the same day or the
// next, across midnight (0 .. one day), except that a `now` less than kEarlyToleranceMs before
// the second is early, not a day late (two clocks a little apart; a clock set back).
inline constexpr std::int64_t kEarlyToleranceMs = 60 * 1000;
std::int64_t LatenessMs(int due_second, const RecordTime& now);
// "+3 ms".
std::string LatenessText(std::int64_t ms);

// When the record looks at the day's music files again: at the first look on a day other than
// the one last looked at (just after midnight, or after a sleep or a clock set across it).
class DailyLook {
 public:
  // Starts on the day of `start`, which counts as looked at (start-up writes its own lines).
  explicit DailyLook(const RecordTime& start) : day_(DayOf(start)) {}
  // Whether the look is due at `now` (the day then counts as looked at); *next_ms: how long
  // until the next look, just past midnight and at most a minute, so that a clock set or a
  // sleep is seen.
  bool Due(const RecordTime& now, int* next_ms);

 private:
  static int DayOf(const RecordTime& t) { return t.year * 400 + t.month * 32 + t.day; }
  int day_;
};

// Whole lines, stamp first.
std::string StartedLine(const RecordTime& time, std::string_view folder, int rows,
                        int missing_rows);
std::string EndedLine(const RecordTime& time);
std::string SecondCopyLine(const RecordTime& time);
std::string MissingFileLine(const RecordTime& time, int row, std::string_view start_time,
                            std::string_view music);
// Whether a started bell was heard: `silent_reason` when the device never took its first
// samples (the result then reads 无声（reason）), `muted` when it played muted.
struct BellHeard {
  std::string silent_reason;
  bool muted = false;
};
// `timetable`, when given, is one more field at the end: the bell's timetable when it is not the
// default one.
std::string ScheduledBellLine(const RecordTime& time, int row, std::string_view start_time,
                              std::string_view music, BellResult result, std::int64_t lateness_ms,
                              std::string_view timetable = {}, const BellHeard& heard = {});
// "音量	已调整	上课.mp3	静音→取消, 12%→60%", "音量	已恢复", "音量	无法调整
// reason".
std::string VolumeLine(const RecordTime& time, std::string_view kind, std::string_view file = {},
                       std::string_view text = {});
// Which timetable rings today: `name` and why, or "停铃" and the reason.
std::string TodayLine(const RecordTime& time, std::string_view name, std::string_view why);
// A day of exams: "2 场", "语文 09:00~11:30; 数学 15:00~17:00", and the timetable that rings
// with them, if any.
std::string ExamTodayLine(const RecordTime& time, std::string_view count, std::string_view sessions,
                          std::string_view with_timetable = {});
// A line of the plan file that cannot be read, as written.
std::string PlanUnreadLine(const RecordTime& time, std::string_view line);
std::string FileUnreadableLine(const RecordTime& time, bool plan, std::string_view file,
                               std::string_view reason);
// `rows` rows passed over, the first due at `first` and the last at `last`.
std::string MissedSummaryLine(const RecordTime& time, std::int64_t rows, const RecordTime& first,
                              const RecordTime& last);
std::string ManualPlayLine(const RecordTime& time, std::string_view music, BellResult result);
std::string ManualStopLine(const RecordTime& time, std::string_view music);
std::string SaveLine(const RecordTime& time, bool saved, int rows);
std::string AudioDeviceLine(const RecordTime& time, bool back);
// "设备	<名称>": the bells ring on another output now; `missing`: "设备	未找到	<名称>
// 改用默认".
std::string OutputLine(const RecordTime& time, std::string_view name, bool missing);
// "解码	缺少媒体功能	…": the system cannot decode mp3, m4a or wma (app/media_check.h).
std::string MediaMissingLine(const RecordTime& time);
// The logon entry was switched on (`command` is what it now starts) or off; `done` false when
// the change could not be made.
std::string AutostartLine(const RecordTime& time, bool on, bool done, std::string_view command);
// The computer woke from sleep (`what`: by whom), or the power plan forbids waking it for a bell.
std::string WakeLine(const RecordTime& time, std::string_view what);

// The followed folder could not be read (`reason`: the system's text), or can be again.
std::string SyncUnreachableLine(const RecordTime& time, std::string_view source,
                                std::string_view reason);
std::string SyncBackLine(const RecordTime& time);
// A look took (or removed) `names`: the count, then the first kSyncNamesListed names, then
// "等" when there were more.
inline constexpr std::size_t kSyncNamesListed = 20;
std::string SyncFilesLine(const RecordTime& time, bool removed,
                          const std::vector<std::string>& names);
// A file of the followed folder that could not be taken, and why.
std::string SyncNotTakenLine(const RecordTime& time, std::string_view name, std::string_view why);
// "同步	已备份	<name>": the PC's own file of a name the source brings, moved to 同步备份.
std::string SyncBackedUpLine(const RecordTime& time, std::string_view name);
// "同步	文件夹为空	mp3": a followed folder found empty or missing; nothing removed from
// it.
std::string SyncFolderEmptyLine(const RecordTime& time, std::string_view folder);
// "同步	间隔无效	2	使用 60 秒".
std::string SyncIntervalLine(const RecordTime& time, std::string_view interval, int used_seconds);
// The clock went beyond the limit from the server's (`offset`: "+3.2 s"), or came back within.
std::string ClockOffLine(const RecordTime& time, std::string_view offset);
std::string ClockBackLine(const RecordTime& time);

}  // namespace belvane
