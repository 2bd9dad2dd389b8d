#pragma once
// The program's bell record (BellRecord): its writer (runtime/record_writer.h), started at
// start-up over "Belvane日志.txt" beside the program, and one call per event at the point where it
// happens. The lines themselves are made by app/bell/bell_record.h.
//
// Every call stamps its line with the local time, hands it to the writer and returns: nothing
// here waits on the disk, except RecordSecondCopy, made by a copy that is about to end. A folder
// that cannot be written leaves the program running without a record and without a word.
//
// Thread policy: PassedOver runs on the clock thread, End, AudioDevice, SyncLines (the
// follower's thread) and what hears a start from any thread (the exit hook; the player's threads;
// the bell worker); the rest on the user-interface thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/bell/bell_record.h"
#include "app/bell/bell.h"
#include "app/bell/bell_output.h"
#include "app/bell/bell_volume.h"
#include "app/schedule/day_plan.h"
#include "app/schedule/passed_over.h"
#include "app/timetable/timetable.h"
#include "audio/music_player.h"
#include "runtime/record_writer.h"
#include "runtime/text_value.h"

namespace belvane {

// The local time now.
RecordTime LocalRecordTime();
// The local time of a FILETIME value of the system's time; nothing when it cannot be converted.
std::optional<RecordTime> LocalRecordTimeOf(std::uint64_t filetime);
// The local time of a second counted as the clock counts them: its local day (days since 1601)
// times kSecondsPerDay plus the second of the day.
RecordTime RecordTimeOfClockSecond(std::int64_t second);

// A 文件缺失 line per row of `rows` whose file is not in `music_folder` (each name asked of
// the disk once), stamped `time`.
std::vector<std::string> MissingFileLines(const TimetableSnapshot& rows,
                                          const TextValue& music_folder, const RecordTime& time);

// How long the device is given to take a started bell's first samples (a buffer is 50 ms; a
// busy machine's device may start late), and how often it is asked meanwhile.
inline constexpr int kHeardWaitMs = 1500;
inline constexpr int kHeardPollMs = 20;
// Whether the device took `stream`'s first samples within `wait_ms`: `silent_reason` when it
// did not. A stream that can no longer be asked (freed by a stop or a later bell) counts as
// heard, as the start said.
BellHeard HeardOf(MusicPlayer& player, std::uint32_t stream, int wait_ms);

// The bell record of the process: its writer, and whether it runs. The process's objects own the
// one record (app/process_objects.h) and never destroy it: the clock thread may still hand over a
// line while the process ends. Before Start (and in a second copy) every other call does nothing.
class BellRecord {
 public:
  BellRecord() = default;
  BellRecord(const BellRecord&) = delete;
  BellRecord& operator=(const BellRecord&) = delete;

  // Starts the writer, which the record writes through from then on, and writes the start-up
  // lines: started (with today's rows), which timetable rings today (when `today` is given:
  // there is a plan), the plan's unreadable lines, then one line per row of today's whose file
  // was missing at the load. From then on, at the first look after each midnight, the writer's
  // thread checks the day's files in `music_folder` against `published` (the clock's timetable,
  // once the clock has turned to the day) and writes a line per missing one.
  void Start(const TextValue& program_dir, std::shared_ptr<const TimetableSnapshot> todays_rows,
             const DayChoice* today, const std::vector<UnreadLine>& unread,
             const SharedTimetable& published, const TextValue& music_folder);
  // Which timetable rings today (at start-up and each new day).
  void Today(const DayChoice& today);
  // The plan's unreadable lines, one line each (at start-up and when the plan is saved).
  void PlanUnread(const std::vector<UnreadLine>& unread);
  // The plan (`plan`) or a timetable file `file` could not be read: what was last read of it
  // rings.
  void FileUnreadable(bool plan, std::string_view file, std::string_view reason);
  // Writes the ended line and stops the writer (bounded wait).
  void End();

  // A scheduled bell has been started: its line, from its row, start time, music name and
  // outcome. Its lateness is that of its first sound where the audio library tells it, else of
  // now (just after the start returned). Any thread (the one that made the start).
  void ScheduledBell(const Bell& bell);
  // The clock went past `span` of `rows` (the snapshot it read) without ringing it: one 错过
  // line per row of its last day that would have rung, after one summing up those of any days
  // before.
  void PassedOver(const PassedOverSpan& span, std::shared_ptr<const TimetableSnapshot> rows);
  // The bell level changed, put back or could not set the volume. Any thread (the bell worker).
  void Volume(const VolumeNote& note);
  // The output the bells ring on changed, or a named one is missing. Any thread (the worker).
  void Output(const OutputNote& note);
  // The play button started the music file `music_name`: what hears the start's outcome and
  // writes its line, stamped now (the press).
  StartDone ManualPlay(const TextValue& music_name);
  // The play button stopped `path`'s file.
  void ManualStop(const TextValue& path);
  // The output device went missing (false) or was initialised again (true); the player's
  // device observer, set by Start. Any thread.
  void AudioDevice(bool back);
  // Start-up found no Media Foundation (app/media_check.h). Any thread.
  void MediaMissing();
  // The save button: whether the timetable of `rows` rows was saved.
  void Save(bool saved, int rows);
  // The system menu's logon item: the entry was switched on (starting `command`) or off; `done`
  // false when the change could not be made.
  void Autostart(bool on, bool done, std::string_view command);
  // The computer woke from sleep, or wake timers are forbidden (WakeLine). Any thread.
  void Wake(std::string_view what);
  // Lines the campus follower made (SyncFilesLine and the like), in order. Any thread.
  void SyncLines(std::vector<std::string> lines);

 private:
  // Hands `line` to the writer, if it runs.
  void Add(std::string line);

  RecordWriter writer_;
  // The writer once Start has started it; null until then. Read from any thread.
  std::atomic<RecordWriter*> running_{nullptr};
};

// A second copy started from `program_dir` and handed over to the running one: its line,
// written at once.
void RecordSecondCopy(const TextValue& program_dir);

}  // namespace belvane
