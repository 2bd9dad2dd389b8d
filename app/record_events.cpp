#include "app/record_events.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <unordered_map>

#include "runtime/files.h"
#include "runtime/record_writer.h"
#include "runtime/text.h"

namespace belvane {

namespace {

// The writer handed over by StartBellRecord, once it runs; until then every line goes nowhere.
std::atomic<RecordWriter*> g_writer{nullptr};

// Hands `line` to the writer, if one runs.
void Add(std::string line) {
  if (RecordWriter* const writer = g_writer.load()) writer->Add(std::move(line));
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
  DailyFileCheck(const SharedTimetable& published, TextValue music_folder)
      : published_(published), music_folder_(std::move(music_folder)), look_(LocalRecordTime()) {}

  std::vector<std::string> operator()(int& next_ms) {
    const RecordTime now = LocalRecordTime();
    if (!look_.Due(now, &next_ms)) return {};
    return MissingFileLines(*published_.Current(), music_folder_, now);
  }

 private:
  const SharedTimetable& published_;
  TextValue music_folder_;
  DailyLook look_;
};

RecordTime RecordTimeOf(const SYSTEMTIME& t) {
  return RecordTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

RecordTime RecordTimeOfClockSecond(std::int64_t second) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(second) * 10000000ULL;
  const FILETIME local{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME t{};
  FileTimeToSystemTime(&local, &t);
  return RecordTimeOf(t);
}

RecordTime LocalRecordTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return RecordTimeOf(now);
}

std::optional<RecordTime> LocalRecordTimeOf(std::uint64_t filetime) {
  const FILETIME utc{static_cast<DWORD>(filetime), static_cast<DWORD>(filetime >> 32)};
  SYSTEMTIME utc_time{}, local{};
  if (!FileTimeToSystemTime(&utc, &utc_time) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc_time, &local))
    return std::nullopt;
  return RecordTimeOf(local);
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

void StartBellRecord(RecordWriter& writer, const TextValue& program_dir, const Timetable& timetable,
                     const SharedTimetable& published, const TextValue& music_folder) {
  if (!writer.Start(RecordPath(program_dir, kRecordFileName),
                    RecordPath(program_dir, kRecordOldFileName),
                    DailyFileCheck(published, music_folder)))
    return;
  g_writer.store(&writer);
  // From here on the player tells when the output device goes and comes back (the start-up
  // attempt is made after this).
  ProcessMusicPlayer().SetDeviceObserver(&RecordAudioDevice);
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
  RecordWriter* const writer = g_writer.load();
  if (!writer) return;
  writer->Add(EndedLine(LocalRecordTime()));
  writer->Stop();
}

void RecordScheduledBell(BellWorker& worker, const Timetable& timetable, int row,
                         std::string_view start_time, const TextValue& music_folder) {
  if (row < 0) return;
  // The start runs on the bell worker: what it gave is asked there, once it is done.
  worker.AfterStarts([row, start = std::string(start_time), music = timetable.Row(row).music_name,
                      music_folder] {
    MusicPlayer& player = ProcessMusicPlayer();
    const PlayFacts facts =
        ObservePlay(player, ConcatTexts(music_folder, "\\", music), BellWorker::LastStartError());
    const BellResult result = ClassifyPlay(facts);
    const RecordTime now = LocalRecordTime();
    // Late by when the first sound went out where the library can tell, else by when the
    // start returned.
    std::optional<RecordTime> sounded;
    if (result == BellResult::kPlayed) {
      if (const std::optional<std::uint64_t> at = player.SoundStartTime())
        sounded = LocalRecordTimeOf(*at);
    }
    Add(ScheduledBellLine(now, row + 1, start, music.View(), result,
                          LatenessMs(RingingSecond(start), sounded.value_or(now))));
  });
}

void RecordPassedOver(const PassedOverSpan& span, std::shared_ptr<const TimetableSnapshot> rows) {
  RecordWriter* const writer = g_writer.load();
  if (!writer) return;
  const RecordTime now = LocalRecordTime();
  // The rows are looked up on the writer's thread: a span may be a whole day.
  writer->AddLines([span, now, rows = std::move(rows)] {
    std::vector<std::string> lines;
    // Days of rows are summed up in one line; the last day's are listed.
    if (const PassedOverSummary earlier = SummarizeEarlier(span, *rows); earlier.count > 0)
      lines.push_back(MissedSummaryLine(now, earlier.count, RecordTimeOfClockSecond(earlier.first),
                                        RecordTimeOfClockSecond(earlier.last)));
    for (const int row : PassedOverRows(span, *rows)) {
      const TimetableEntry& entry = rows->Row(row);
      lines.push_back(ScheduledBellLine(now, row + 1, entry.start_time.View(),
                                        entry.music_name.View(), BellResult::kMissed,
                                        LatenessMs(RingingSecond(entry.start_time.View()), now)));
    }
    return lines;
  });
}

void RecordManualToggle(BellWorker& worker, PlaybackState before, PlaybackState after,
                        const TextValue& path) {
  if (before == after) return;
  const RecordTime now = LocalRecordTime();
  const std::string_view music = FileNameOf(path.View());
  if (after == PlaybackState::kPlaying) {
    worker.AfterStarts([now, music = std::string(music), path] {
      Add(ManualPlayLine(
          now, music,
          ClassifyPlay(ObservePlay(ProcessMusicPlayer(), path, BellWorker::LastStartError()))));
    });
  } else {
    Add(ManualStopLine(now, music));
  }
}

void RecordAudioDevice(bool back) {
  Add(AudioDeviceLine(LocalRecordTime(), back));
}

void RecordSave(bool saved, int rows) {
  Add(SaveLine(LocalRecordTime(), saved, rows));
}

void RecordAutostart(bool on, bool done, std::string_view command) {
  Add(AutostartLine(LocalRecordTime(), on, done, command));
}

void RecordSecondCopy(const TextValue& program_dir) {
  AppendRecordLineNow(RecordPath(program_dir, kRecordFileName),
                      RecordPath(program_dir, kRecordOldFileName),
                      SecondCopyLine(LocalRecordTime()));
}

}  // namespace belvane
