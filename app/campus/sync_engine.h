#pragma once
// One look at the followed folder, done in full: list the source and the local files, decide
// (app/campus/campus_rules.h), copy, rename, remove, keep the taken list, and say what the record
// and the window are to show. The follower's thread runs it every look; tests run it with their own
// ticks and clock.
//
// Thread policy: one engine belongs to one thread; `settings` is shared with the user-interface
// thread under its mutex.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/bell/bell_record.h"
#include "app/campus/campus.h"
#include "app/campus/campus_rules.h"
#include "app/campus/sync_settings.h"
#include "app/schedule/clock_correction.h"
#include "runtime/text_value.h"

namespace belvane {

// Files taken in one look at most; the rest come at the looks after, 2 s apart.
inline constexpr std::size_t kSyncBatch = 300;

// "Belvane同步.ini" and what it holds, shared by the user-interface thread (a new source) and
// the follower's (the taken list).
struct SharedSyncSettings {
  TextValue path;
  std::mutex mutex;
  SyncSettings settings;
  // Counts the changes of source: a look of an older one writes nothing more.
  std::atomic<std::uint64_t> generation{0};
  // Writes the settings as they are now; under the mutex.
  bool WriteLocked() { return WriteSyncSettings(path, settings); }
  // Follows `source` from now on (empty: stops), written to the file; false, and the settings
  // as they were, when it cannot be written.
  bool ChangeSource(const std::string& source);
};

// The followed files of a folder: the local names they are taken to, and their stamps.
struct SourceListing {
  bool reachable = false;
  std::string reason;                         // when not: the system's text
  StampMap files;                             // relative local names
  std::map<std::string, std::string> actual;  // relative local name -> path at the source
  bool music_unlisted = false;
  bool timetables_unlisted = false;
  std::string problem;  // a subfolder that could not be listed
};
SourceListing ListSource(const std::string& source);

// What one look did.
struct LookReport {
  std::vector<std::string> changed;  // local files taken or removed
  std::vector<std::string> record;   // whole record lines, in order
  FollowStatus status;
  bool again_soon = false;  // something waits: look again in kSyncSettleMs
};

class SyncEngine {
 public:
  // `stop`, once true, cuts a copy short. `utc_now_ms`: the local clock, milliseconds since 1970.
  SyncEngine(TextValue program_dir, SharedSyncSettings& settings, ServerTimeQuery server_time,
             std::function<std::int64_t()> utc_now_ms, const std::atomic<bool>& stop);

  // One look; `tick_ms` a steady count of milliseconds, `at` the local time for the record.
  LookReport Look(std::int64_t tick_ms, const RecordTime& at);
  // Where the correction the clock rings by is published (none: nowhere); before the first look.
  void RingBy(ClockCorrection* correction) { correction_ = correction; }
  // Asks `server` its time and compares: the offset (nothing without an answer), and the record
  // line when it crossed the limit.
  std::optional<double> CheckClock(const std::string& server, const RecordTime& at,
                                   std::vector<std::string>& record);

 private:
  struct TakeContext {
    std::vector<std::string> waiting_music;  // music not taken yet: timetables naming it wait
    bool own = false;                        // the local file of that name is the PC's own
    std::uint64_t own_size = 0;
  };
  struct TakeResult {
    enum Outcome { kTaken, kSame, kHeld, kFailed, kAbandoned };
    TakeResult(Outcome result, std::string reason = {}) : outcome(result), why(std::move(reason)) {}
    Outcome outcome;
    std::string why;  // kFailed: why not
    bool backed_up = false;
    FileStamp local{};  // kTaken: the local file's stamp
  };
  // What one look works on, from the settings it began with to the record it leaves; the
  // steps below fill it in turn.
  struct LookWork {
    LookReport report;
    std::string source;
    TakenMap taken;
    std::map<std::string, std::string> problems;  // name -> why not taken (or removed)
    std::vector<std::string> took;
    std::vector<std::string> removed;
    bool held = false;            // something held back: look again soon
    bool timetable_held = false;  // a timetable waits for its music: so does the plan
  };
  // The look's steps, in order.
  LookWork BeginLook(const RecordTime& at);
  void ForgetSource(const std::string& source);
  // Publishes the correction the look's answer leaves, recording a step and a return to the
  // local clock.
  void PublishCorrection(bool on_server, const RecordTime& at, LookWork& work);
  // False when the source cannot be reached (the report then says why).
  bool Reach(const SourceListing& listing, const RecordTime& at, LookWork& work);
  LookDecision Decide(const SourceListing& listing, std::int64_t tick_ms, LookFacts& facts,
                      const LookWork& work);
  void TakeFiles(const LookDecision& decision, const SourceListing& listing, const LookFacts& facts,
                 const RecordTime& at, LookWork& work);
  void RemoveFiles(const LookDecision& decision, LookWork& work);
  void RecordProblems(const LookDecision& decision, const RecordTime& at, LookWork& work);
  // Writes the taken list and the look's lines; the problem the window shows.
  std::string FinishLook(const LookDecision& decision, const SourceListing& listing,
                         const RecordTime& at, LookWork& work);

  // Takes `name` from the source to the local folder.
  TakeResult Take(const std::string& name, const std::string& source_path, const FileStamp& stamp,
                  const TakeContext& context);
  // Moves the PC's own file `name` into "同步备份" beside the program; empty when moved.
  std::string BackUp(const std::string& name);
  StampMap LocalStamps() const;
  // A copy's temporary file left by a look cut short (a crash, a power cut).
  void RemoveStaleTemporaries() const;
  // Whether the program ends or the source changed since this look began.
  bool Abandoned() const;
  // Runs `write` (a local write) unless abandoned, under the settings' mutex, so that once
  // following stops nothing more is written; false when abandoned.
  bool Commit(const std::function<void()>& write);

  // A copy failing time after time, rested after kSyncFailuresBeforeRest tries.
  struct Failing {
    FileStamp stamp;
    int failures = 0;
    int last_try = 0;
  };

  TextValue program_dir_;
  SharedSyncSettings& settings_;
  ServerTimeQuery server_time_;
  std::function<std::int64_t()> utc_now_ms_;
  const std::atomic<bool>& stop_;

  std::string source_;             // the source of the looks below
  std::optional<bool> reachable_;  // nothing before the first look
  StampMap previous_;
  std::int64_t previous_tick_ = 0;
  std::map<std::string, std::string> recorded_problems_;  // name -> why, as last recorded
  bool clock_off_ = false;
  std::optional<double> clock_offset_;
  // The server's last answer (nothing: none), what is trusted of the answers, and what was
  // published of it.
  std::optional<ServerAnswer> last_answer_;
  CorrectionChoice correction_choice_;
  std::optional<std::int32_t> published_;
  bool local_recorded_ = false;  // "时钟	本机" written since the clock last rang on the
                                 // server's
  ClockCorrection* correction_ = nullptr;
  std::string last_taken_at_;
  std::uint64_t generation_ = 0;  // of the look under way
  int look_number_ = 0;
  std::map<std::string, Failing> failing_;
  std::vector<std::string> emptied_;  // as last recorded
  std::string recorded_interval_;
};

}  // namespace belvane
