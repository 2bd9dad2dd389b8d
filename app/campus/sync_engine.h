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
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/bell/bell_record.h"
#include "app/campus/campus.h"
#include "app/campus/campus_rules.h"
#include "app/campus/sync_settings.h"
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
  // Writes the settings as they are now; under the mutex.
  bool WriteLocked() { return WriteSyncSettings(path, settings); }
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
  // Asks `server` its time and compares: the offset (nothing without an answer), and the record
  // line when it crossed the limit.
  std::optional<double> CheckClock(const std::string& server, const RecordTime& at,
                                   std::vector<std::string>& record);

 private:
  // Takes `name` from the source to the local folder; empty when taken, else why not.
  std::string Take(const std::string& name, const std::string& source_path, const FileStamp& stamp,
                   FileStamp& local);
  StampMap LocalStamps() const;

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
  std::string last_taken_at_;
};

}  // namespace belvane
