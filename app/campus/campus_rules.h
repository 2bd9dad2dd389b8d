#pragma once
// The follower's decisions, as pure functions: which followed file a name is, what one look
// takes, removes and leaves waiting, whether a timetable or plan file reads as a whole, and
// what the clock comparison shows. The follower (app/campus/campus.cpp) does the reading and
// copying.
//
// Names are relative to the folder they stand in, as the local folder spells them:
// "Belvane配置.ini", "Belvane日历.ini", "课表\考试.ini", "mp3\上课.mp3".
//
// Thread policy: pure; safe from any thread.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace belvane {

// A file as a folder listing shows it.
struct FileStamp {
  std::uint64_t size = 0;
  std::uint64_t write_time = 0;  // FILETIME ticks, UTC
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// What a followed name is; also the order in which a look takes files.
enum class FollowedKind { kMusic, kTimetable, kPlan, kNone };
// Which followed file `name` is: "Belvane配置.ini" and "课表\<x>.ini" are timetables,
// "Belvane日历.ini" the plan, "mp3\<x>" with a music extension music (ASCII case ignored);
// anything else is not followed.
FollowedKind KindOfName(std::string_view name);

// A file taken from the source: its stamp there when it was taken and its local file's stamp
// just after, by which a local file still as it was taken is told from one changed here.
struct TakenFile {
  FileStamp source;
  FileStamp local;
  friend bool operator==(const TakenFile&, const TakenFile&) = default;
};

using StampMap = std::map<std::string, FileStamp>;
using TakenMap = std::map<std::string, TakenFile>;

// What one look knows.
struct LookFacts {
  StampMap source{};    // the followed files at the source now
  StampMap previous{};  // the same at the look before (empty for the first)
  std::int64_t since_previous_ms = 0;
  StampMap local{};  // the followed names' local files now (a missing one is absent)
  TakenMap taken{};
  // Folders whose listing failed (not merely missing): nothing in them counts as removed.
  bool music_unlisted = false;
  bool timetables_unlisted = false;
};

// What a look does about it.
struct LookDecision {
  std::vector<std::string> take;     // music, then timetables, then the plan; by name within each
  std::vector<std::string> wait;     // changed and not yet held still for kSyncSettleMs
  std::vector<std::string> refused;  // music of 0 bytes: never taken as it is
  std::vector<std::string> remove;   // removed at the source, local file as taken: deleted here
  std::vector<std::string> forget;   // removed at the source, kept here: off the taken list
  std::vector<std::string> emptied;  // "mp3", "课表": found empty or missing, nothing removed
  std::vector<std::string> own;      // of `take`: the PC's own same-named file, compared first
};

// A source file needs taking when it was never taken or has changed since, or its local file
// is not the one taken; it is taken once its stamp is the same at the look before, at least
// kSyncSettleMs earlier. At most `batch` files are taken at once; the plan waits while a
// timetable does. A taken file gone from the source is removed here only once it was missing
// at two looks at least kSyncSettleMs apart, not while a file that may name it waits, and only
// while its local file is still as it was taken ("Belvane配置.ini" never is: the program would
// write its default timetable in its place). A source with no followed file at all, or a
// followed folder without one (`emptied`), removes nothing from it (a share that shows up
// empty is more likely wrong than emptied).
LookDecision DecideLook(const LookFacts& facts, std::size_t batch);

// Whether timetable file bytes read as a whole, as the program's own reader reads them:
// [total] n is a whole number and each row 1..n has its [time] and [music] key (a last line
// without its line end, as Notepad saves, is whole). A half-written file misses one of them.
bool TimetableIsWhole(std::string_view bytes);
// Whether plan file bytes read as a whole: no NUL byte in its text as the plan reader decodes it
// (a UTF-16 plan is decoded first). (Lines it cannot read are the plan's own business: the
// record names them; a file still being written does not hold still.)
bool PlanIsWhole(std::string_view bytes);

// A copy that failed kSyncFailuresBeforeRest times running is tried again only every
// kSyncRestLooks looks (the same file: a new version is tried at once).
inline constexpr int kSyncFailuresBeforeRest = 3;
inline constexpr int kSyncRestLooks = 10;
// Whether a copy that failed `failures` times running is tried at this look, `looks_since_try`
// after its last try.
bool TryAgainNow(int failures, int looks_since_try);

// Whether a name from the source can be a local file: not a device ("CON", "nul.mp3", "COM1"),
// not ending in a dot or a blank. (Too long a path is the engine's to tell: it knows the folder.)
bool CanBeLocalName(std::string_view name);

// The folder a 来源 names: a relative one is taken relative to the program's folder.
std::string SourcePath(std::string_view program_dir, std::string_view source);

// The local names of the music a timetable's bytes name ("mp3\上课.mp3"), row by row.
std::vector<std::string> MusicNamedBy(std::string_view timetable_bytes);

// The server of a UNC source ("\\教务处\铃声\x" -> "\\教务处"); empty for any other path.
std::string ServerOfSource(std::string_view source);

// The local clock minus the server's, in seconds: the server's answer against the local clock
// halfway through the call (the round trip's middle). Milliseconds since 1970, UTC.
double ClockOffsetSeconds(std::int64_t local_before_ms, std::int64_t server_ms,
                          std::int64_t local_after_ms);

// The clock's record line a look writes: one when the offset goes beyond
// kClockOffsetLimitSeconds, one when it comes back within kClockBackLimitSeconds; none between,
// while it stays, or when the server did not answer.
enum class ClockNews { kNone, kOff, kBack };
ClockNews DecideClockNews(bool was_off, std::optional<double> offset_seconds);
// "+3.2 s", "-1.5 s".
std::string ClockOffsetText(double offset_seconds);

}  // namespace belvane
