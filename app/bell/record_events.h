#pragma once
// The program's bell record: the record writer (runtime/record_writer.h) handed over at start-up,
// over "Belvane日志.txt" beside the program, and one call per event at the point where it happens.
// The lines themselves are made by app/bell/bell_record.h.
//
// Every call stamps its line with the local time, hands it to the writer and returns: nothing
// here waits on the disk, except RecordSecondCopy, made by a copy that is about to end. Before
// StartBellRecord (and in a second copy) every other call does nothing. A folder that cannot be
// written leaves the program running without a record and without a word.
//
// Thread policy: RecordPassedOver runs on the clock thread, EndBellRecord, RecordAudioDevice,
// RecordSyncLines (the follower's thread) and
// what hears a start from any thread (the exit hook; the player's threads; the bell worker);
// the rest on the user-interface thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/bell/bell_record.h"
#include "app/bell/bell.h"
#include "app/schedule/day_plan.h"
#include "app/schedule/passed_over.h"
#include "app/timetable/timetable.h"
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

// Starts `writer`, which the record writes through from then on (it must never be destroyed: the
// clock thread may still hand over a line while the process ends), and writes the start-up
// lines: started (with today's rows), which timetable rings today (when `today` is given: there
// is a plan), the plan's unreadable lines,
// then one line per row of today's whose file was missing at the load. From then on, at the
// first look after each midnight, the writer's thread checks the day's files in `music_folder`
// against `published` (the clock's timetable, once the clock has turned to the day) and writes a
// line per missing one.
void StartBellRecord(RecordWriter& writer, const TextValue& program_dir,
                     std::shared_ptr<const TimetableSnapshot> todays_rows, const DayChoice* today,
                     const std::vector<UnreadLine>& unread, const SharedTimetable& published,
                     const TextValue& music_folder);
// Which timetable rings today (at start-up and each new day).
void RecordToday(const DayChoice& today);
// The plan's unreadable lines, one line each (at start-up and when the plan is saved).
void RecordPlanUnread(const std::vector<UnreadLine>& unread);
// The plan (`plan`) or a timetable file `file` could not be read: what was last read of it rings.
void RecordFileUnreadable(bool plan, std::string_view file, std::string_view reason);
// Writes the ended line and stops the writer (bounded wait).
void EndBellRecord();

// A scheduled bell has been started: its line, from its row, start time, music name and
// outcome. Its lateness is that of its first sound where the audio library tells it, else of
// now (just after the start returned). Any thread (the one that made the start).
void RecordScheduledBell(const Bell& bell);
// The clock went past `span` of `rows` (the snapshot it read) without ringing it: one 错过 line
// per row of its last day that would have rung, after one summing up those of any days before.
void RecordPassedOver(const PassedOverSpan& span, std::shared_ptr<const TimetableSnapshot> rows);
// The play button started the music file `music_name`: what hears the start's outcome and
// writes its line, stamped now (the press).
StartDone RecordManualPlay(const TextValue& music_name);
// The play button stopped `path`'s file.
void RecordManualStop(const TextValue& path);
// The output device went missing (false) or was initialised again (true); the player's device
// observer, set by StartBellRecord. Any thread.
void RecordAudioDevice(bool back);
// The save button: whether the timetable of `rows` rows was saved.
void RecordSave(bool saved, int rows);
// The system menu's logon item: the entry was switched on (starting `command`) or off; `done`
// false when the change could not be made.
void RecordAutostart(bool on, bool done, std::string_view command);
// Lines the campus follower made (SyncFilesLine and the like), in order. Any thread.
void RecordSyncLines(std::vector<std::string> lines);
// A second copy started from `program_dir` and handed over to the running one: its line,
// written at once.
void RecordSecondCopy(const TextValue& program_dir);

}  // namespace belvane
