#pragma once
// Following a shared folder: a campus's bell PCs take their timetables, plan and music from one
// folder on the school's file server (a UNC path, a mapped drive or any folder), named in
// "Belvane同步.ini" beside the program:
//   [同步]
//   来源=\\教务处\铃声
// What is followed: "Belvane配置.ini", "Belvane日历.ini", "课表\*.ini" and the music files of
// "mp3" (.mp3 .m4a .aac .wma .wav). Nothing is ever written at the source.
//
// A thread of its own looks at the source at start-up, 2 s later, every 60 s and on demand
// (names, sizes, write times) and takes what changed: a file only once its size and write time
// have held over two looks at least 2 s apart, a timetable or the plan only when it also reads
// as a whole; each is copied beside its local name and renamed over it; music first, then the
// timetables, then the plan. A file removed at the source is removed here only once missing at
// two looks, and only when it was taken from there (the taken files and their stamps are kept
// in "Belvane同步.ini"); the PC's own file of a name the source brings is moved to "同步备份"
// first unless it holds the same bytes. While the source cannot be reached the local copy rings
// on. With a UNC source each look also compares the server's time of day with the local clock.
// Stopping abandons a look under way: nothing is written here after it.
//
// No "Belvane同步.ini", or an empty 来源: nothing runs and the program is as it was.
//
// Thread policy: the follower's methods on the user-interface thread; its thread touches no
// window and posts what it found to the window given to Start.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/text_value.h"

namespace belvane {

class BellRecord;
class ClockCorrection;

// What a PC's report says of its bells; the application tells the follower as they ring.
struct LastBell {
  std::string at;  // "10:30:00": the bell's second
  std::string file;
  std::string result;    // as the record writes it: "已播放", "错过", ...
  std::string lateness;  // "+3 ms"
  // What it rang on and with, as the bell worker found them; empty: not known.
  std::string output{};  // "扬声器"
  std::string volume{};  // "35%", "35%，静音", "60%（原 12%）"
};

// The report is written at most this often, and waits this long at most for a share.
inline constexpr int kReportMinGapMs = 1000;
inline constexpr int kReportWaitMs = 3000;

inline constexpr const char* kSyncFileName = "Belvane同步.ini";
// Between regular looks.
inline constexpr int kSyncLookIntervalMs = 60000;
// A file is taken once it has held still this long (two looks at least this far apart).
inline constexpr int kSyncSettleMs = 2000;
// A clock further than this from the server's is shown and recorded.
inline constexpr double kClockOffsetLimitSeconds = 1.0;
// Once beyond, a clock counts as back only within this.
inline constexpr double kClockBackLimitSeconds = 0.5;

// What the window shows of the following; a copy, made on the follower's thread.
struct FollowStatus {
  std::string source;         // 来源; empty: not following
  bool reachable = true;      // the last look could read the source
  std::string reason;         // when not: the system's reason, as the record gives it
  std::string last_taken_at;  // "10:31:05": the last look that found the source as it is
  std::string problem;        // the last look's trouble with a file, for the follow window
  std::optional<double> clock_offset_seconds;  // local minus server; nothing when not asked
  // Beyond kClockOffsetLimitSeconds, and not back within kClockBackLimitSeconds since: what the
  // record last said, so the window says the same.
  bool clock_off = false;
  bool on_server_time = false;  // the clock rings on the server's time
  // The report at the source: another PC's of the same name, or the source refuses it; empty
  // while written (or not written at all).
  std::string report_problem{};
  friend bool operator==(const FollowStatus&, const FollowStatus&) = default;
};

// The time of day of a server ("\\教务处"), in milliseconds since 1970 (UTC); nothing when it
// does not answer. The follower asks NetRemoteTOD; tests put their own.
using ServerTimeQuery = std::function<std::optional<std::int64_t>(const std::string& server)>;
// NetRemoteTOD, bound late: a system without it answers nothing.
ServerTimeQuery SystemServerTimeQuery();

class CampusFollower {
 public:
  CampusFollower();
  ~CampusFollower();
  CampusFollower(const CampusFollower&) = delete;
  CampusFollower& operator=(const CampusFollower&) = delete;

  // Reads "Belvane同步.ini" in `program_dir` and, when it names a source, starts following it:
  // the first look at once. `taken` hears, on `window`'s thread, each look that changed local
  // files (relative names, e.g. "mp3\上课.mp3", "课表\考试.ini", "Belvane日历.ini");
  // `status` hears every change of what FollowStatus shows; the looks' lines go to `record`
  // (none: nowhere), which must outlive the thread. Returns whether it follows.
  bool Start(HWND window, const TextValue& program_dir,
             std::function<void(const std::vector<std::string>& taken)> taken,
             std::function<void(const FollowStatus& status)> status, BellRecord* record = nullptr);
  // Before Start: the version the report gives, the next bell's text ("10:40:00 下课.mp3"; called
  // on the follower's thread, so it reads only what that may) and where the correction the clock
  // rings by is published.
  void SetReportSources(std::string version, std::function<std::string()> next_bell,
                        ClockCorrection* correction);
  // Today's timetable and why, for the report (user-interface thread).
  void TodayIs(const std::string& timetable, const std::string& why);
  // A bell rang (or was missed: `missed` of them, the last being `bell`); the report is written
  // again within a second or two. Safe from any thread.
  void BellHeard(const LastBell& bell, int missed = 0);
  // The 名称 the report is written under (the setting, else the computer's name), and sets it;
  // false when the setting could not be written.
  std::string ReportName() const;
  bool SetReportName(const std::string& name);

  // The folder the campus window reads: the followed source (a relative one from the program's
  // folder), else the one remembered for it (全校状态; empty: none yet). Remembering one is
  // false when the setting could not be written.
  std::string CampusFolder() const;
  bool SetCampusFolder(const std::string& folder);
  // Seconds between regular looks (间隔).
  int LookIntervalSeconds() const;

  // Follows `source` from now on (written to "Belvane同步.ini"); an empty text stops following
  // (the local files stay as they are). False when the setting could not be written.
  bool SetSource(const std::string& source);
  // A look now, beside the regular ones.
  void LookNow();
  // Whether a source is followed: the timetables and the plan are read-only on this PC.
  bool Following() const;
  // The last status (UI thread).
  const FollowStatus& Status() const;
  // The program's folder given to Start: a relative 来源 is taken from it.
  const TextValue& ProgramDir() const;
  // Ends the thread (bounded wait); the exit hook.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// What a look at `source` finds, for the follow window's test button: "可以读取：3 个课表，42 个
// 音乐文件", or what is wrong; a relative `source` is taken from `program_dir`. Reads the source:
// not on the user-interface thread.
std::string DescribeSource(const std::string& source, const std::string& program_dir = {});

}  // namespace belvane
