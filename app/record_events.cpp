#include "app/record_events.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <unordered_map>

#include "app/bell_worker.h"
#include "app/clock_thread.h"
#include "runtime/files.h"
#include "runtime/record_writer.h"
#include "runtime/text.h"

namespace belvane {

namespace {

// Never destroyed: the clock thread may still hand over a line while the process ends.
RecordWriter& Writer() {
  static RecordWriter* const writer = new RecordWriter();
  return *writer;
}

TextValue RecordPath(const TextValue& program_dir, const char* name) {
  return ConcatTexts(program_dir, "\\", name);
}

// The bare file name of a path.
std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The daily look at the music files, on the writer's thread: at the first tick of a new day,
// a line per row of the clock's timetable whose file is not there.
class DailyFileCheck {
 public:
  DailyFileCheck(TextValue music_folder, int today)
      : music_folder_(std::move(music_folder)), checked_day_(today) {}

  std::vector<std::string> operator()(int& next_ms) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const int ms_into_day =
        ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
    // Wake just after midnight, and at least once a minute so a clock set or a sleep is seen.
    next_ms = std::min(86400 * 1000 - ms_into_day + 50, 60 * 1000);
    const int day = now.wYear * 400 + now.wMonth * 32 + now.wDay;
    if (day == checked_day_) return {};
    checked_day_ = day;
    return MissingFileLines(*ProcessTimetable().Current(), music_folder_, LocalRecordTime());
  }

  static int Today() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now.wYear * 400 + now.wMonth * 32 + now.wDay;
  }

 private:
  TextValue music_folder_;
  int checked_day_;
};

}  // namespace

RecordTime LocalRecordTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return RecordTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                    now.wMinute, now.wSecond, now.wMilliseconds};
}

std::vector<std::string> MissingFileLines(const TimetableSnapshot& rows,
                                          const TextValue& music_folder, const RecordTime& time) {
  const TextValue prefix = ConcatTexts(music_folder, "\\");
  std::unordered_map<std::string, bool> exists;
  std::vector<std::string> lines;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const TimetableEntry& entry = rows.Row(row);
    const auto [it, added] = exists.try_emplace(entry.music_name.Bytes(), false);
    if (added) it->second = FileExists(ConcatTexts(prefix, entry.music_name));
    if (!it->second)
      lines.push_back(
          MissingFileLine(time, row + 1, entry.start_time.View(), entry.music_name.View()));
  }
  return lines;
}

PlayFacts ObservePlay(MusicPlayer& player, const TextValue& path, int start_error) {
  PlayFacts facts;
  facts.opened = player.Stream() != 0;
  if (facts.opened) {
    // Playing or stalled, or a short file already played to its end: the sound started.
    const int state = player.State();
    facts.playing = state == 1 || state == 2 || (state == 0 && player.GetPosition() > 0);
  }
  // An open that failed on a thread of its own left its error there, not on this thread.
  if (!facts.playing) facts.library_error = start_error != 0 ? start_error : player.LastError();
  if (!facts.opened) facts.file_exists = FileExists(path);
  return facts;
}

void StartBellRecord(const TextValue& program_dir, const Timetable& timetable,
                     const TextValue& music_folder) {
  RecordWriter& writer = Writer();
  if (!writer.Start(RecordPath(program_dir, kRecordFileName),
                    RecordPath(program_dir, kRecordOldFileName),
                    DailyFileCheck(music_folder, DailyFileCheck::Today())))
    return;
  const RecordTime time = LocalRecordTime();
  int missing = 0;
  for (const TimetableEntry& entry : timetable.Rows()) missing += entry.music_missing ? 1 : 0;
  writer.Add(StartedLine(time, program_dir.View(), timetable.Count(), missing));
  for (int row = 0; row < timetable.Count(); ++row) {
    const TimetableEntry& entry = timetable.Row(row);
    if (entry.music_missing)
      writer.Add(MissingFileLine(time, row + 1, entry.start_time.View(), entry.music_name.View()));
  }
}

void EndBellRecord() {
  RecordWriter& writer = Writer();
  writer.Add(EndedLine(LocalRecordTime()));
  writer.Stop();
}

void RecordScheduledBell(const Timetable& timetable, int row, std::string_view start_time,
                         const TextValue& music_folder) {
  if (row < 0) return;
  // The start runs on the bell worker: what it gave is asked there, once it is done.
  ProcessBellWorker().AfterStarts([row, start = std::string(start_time),
                                   music = timetable.Row(row).music_name, music_folder] {
    const PlayFacts facts = ObservePlay(
        ProcessMusicPlayer(), ConcatTexts(music_folder, "\\", music), BellWorker::LastStartError());
    const RecordTime now = LocalRecordTime();
    Writer().Add(ScheduledBellLine(now, row + 1, start, music.View(), ClassifyPlay(facts),
                                   LatenessMs(RingingSecond(start), now)));
  });
}

void RecordPassedOver(const PassedOverSpan& span) {
  const RecordTime now = LocalRecordTime();
  // The rows are looked up on the writer's thread: a span may be a whole day.
  Writer().AddLines([span, now, rows = ProcessTimetable().Current()] {
    std::vector<std::string> lines;
    for (const int row : PassedOverRows(span, *rows)) {
      const TimetableEntry& entry = rows->Row(row);
      lines.push_back(ScheduledBellLine(now, row + 1, entry.start_time.View(),
                                        entry.music_name.View(), BellResult::kMissed,
                                        LatenessMs(RingingSecond(entry.start_time.View()), now)));
    }
    return lines;
  });
}

void RecordManualToggle(PlaybackState before, PlaybackState after, const TextValue& path) {
  if (before == after) return;
  const RecordTime now = LocalRecordTime();
  const std::string_view music = FileNameOf(path.View());
  if (after == PlaybackState::kPlaying) {
    ProcessBellWorker().AfterStarts([now, music = std::string(music), path] {
      Writer().Add(ManualPlayLine(
          now, music,
          ClassifyPlay(ObservePlay(ProcessMusicPlayer(), path, BellWorker::LastStartError()))));
    });
  } else {
    Writer().Add(ManualStopLine(now, music));
  }
}

void RecordSave(bool saved, int rows) {
  Writer().Add(SaveLine(LocalRecordTime(), saved, rows));
}

void RecordSecondCopy(const TextValue& program_dir) {
  AppendRecordLineNow(RecordPath(program_dir, kRecordFileName),
                      RecordPath(program_dir, kRecordOldFileName),
                      SecondCopyLine(LocalRecordTime()));
}

}  // namespace belvane
