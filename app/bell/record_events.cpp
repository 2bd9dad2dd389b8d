#include "app/bell/record_events.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <unordered_map>

#include "audio/music_player.h"
#include "runtime/files.h"
#include "runtime/record_writer.h"
#include "runtime/text.h"

namespace belvane {

namespace {

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
    // The day's timetable is the clock's from its first cycle of the day: until the clock has
    // turned to it, yesterday's rows are still published.
    const int published_day = published_.CurrentDay();
    if (published_day != 0 && published_day < ClockDayOf(PlanDate{now.year, now.month, now.day})) {
      next_ms = 200;
      return {};
    }
    if (!look_.Due(now, &next_ms)) return {};
    return MissingFileLines(*published_.Current(), music_folder_, now);
  }

 private:
  const SharedTimetable& published_;
  TextValue music_folder_;
  DailyLook look_;
};

std::string TodayLineOf(const RecordTime& time, const DayChoice& today) {
  if (!today.exams.empty())
    return ExamTodayLine(time, ExamCountText(today.exams), ExamSessionsText(today.exams),
                         today.with_timetable && !today.quiet ? today.name : std::string());
  return today.quiet ? TodayLine(time, kQuietValue, today.reason)
                     : TodayLine(time, today.name, today.why);
}

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

void BellRecord::Add(std::string line) {
  if (RecordWriter* const writer = running_.load()) writer->Add(std::move(line));
}

void BellRecord::Start(const TextValue& program_dir,
                       std::shared_ptr<const TimetableSnapshot> todays_rows, const DayChoice* today,
                       const std::vector<UnreadLine>& unread, const SharedTimetable& published,
                       const TextValue& music_folder) {
  RecordWriter& writer = writer_;
  if (!writer.Start(RecordPath(program_dir, kRecordFileName),
                    RecordPath(program_dir, kRecordOldFileName),
                    DailyFileCheck(published, music_folder)))
    return;
  running_.store(&writer);
  // From here on the player tells when the output device goes and comes back (the start-up
  // attempt is made after this).
  ProcessMusicPlayer().SetDeviceObserver([this](bool back) { AudioDevice(back); });
  const RecordTime time = LocalRecordTime();
  if (!todays_rows) todays_rows = std::make_shared<const TimetableSnapshot>();
  int missing = 0;
  for (int row = 0; row < todays_rows->RowCount(); ++row)
    missing += todays_rows->Row(row).music_missing ? 1 : 0;
  writer.Add(StartedLine(time, program_dir.View(), todays_rows->RowCount(), missing));
  if (today) writer.Add(TodayLineOf(time, *today));
  for (const UnreadLine& line : unread) writer.Add(PlanUnreadLine(time, line.text));
  if (missing == 0) return;
  // Made on the writer's thread, in one hand-over: a full day of rows whose music is missing
  // would otherwise hold the window back by 86,400 lines.
  writer.AddLines([rows = std::move(todays_rows), time] {
    std::vector<std::string> lines;
    for (int row = 0; row < rows->RowCount(); ++row) {
      const TimetableEntry& entry = rows->Row(row);
      if (entry.music_missing)
        lines.push_back(
            MissingFileLine(time, row + 1, entry.start_time.View(), entry.music_name.View()));
    }
    return lines;
  });
}

void BellRecord::Today(const DayChoice& today) {
  Add(TodayLineOf(LocalRecordTime(), today));
}

void BellRecord::PlanUnread(const std::vector<UnreadLine>& unread) {
  const RecordTime time = LocalRecordTime();
  for (const UnreadLine& line : unread) Add(PlanUnreadLine(time, line.text));
}

void BellRecord::FileUnreadable(bool plan, std::string_view file, std::string_view reason) {
  Add(FileUnreadableLine(LocalRecordTime(), plan, file, reason));
}

void BellRecord::End() {
  RecordWriter* const writer = running_.load();
  if (!writer) return;
  writer->Add(EndedLine(LocalRecordTime()));
  writer->Stop();
}

BellHeard HeardOf(MusicPlayer& player, std::uint32_t stream, int wait_ms) {
  BellHeard heard;
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(wait_ms);
  for (;;) {
    const std::int64_t bytes = player.StreamBytesHeard(stream);
    // Freed already (a stop, a later bell) or a library that cannot tell: as it was told.
    if (bytes != 0) return heard;
    if (GetTickCount64() >= until) break;
    Sleep(kHeardPollMs);
  }
  bool device_failed = false;
  const bool stopped = player.StreamStopped(stream, &device_failed);
  heard.silent_reason =
      device_failed ? "输出设备失效" : (stopped ? "未播出即停止" : "设备未取用声音");
  return heard;
}

void BellRecord::ScheduledBell(const Bell& bell) {
  const RecordTime now = LocalRecordTime();
  const BellResult result = ClassifyPlay(bell.outcome.facts);
  // Late by when the first sound went out where the library can tell, else by when the start
  // returned.
  std::optional<RecordTime> sounded;
  if (result == BellResult::kPlayed && bell.outcome.sounded_at)
    sounded = LocalRecordTimeOf(*bell.outcome.sounded_at);
  std::string timetable = bell.timetable == kDefaultTimetableName ? "" : bell.timetable;
  const std::int64_t lateness = LatenessMs(bell.second, sounded.value_or(now));
  BellHeard heard;
  heard.muted = bell.outcome.muted;
  RecordWriter* const writer = running_.load();
  if (result != BellResult::kPlayed || bell.outcome.stream == 0 || !writer) {
    Add(ScheduledBellLine(now, bell.row + 1, bell.start_time, bell.music_name.View(), result,
                          lateness, timetable, heard));
    return;
  }
  // Whether the device took the first samples is asked on the writer's thread: it takes a
  // buffer's time, and nothing on a bell's path waits for it.
  writer->AddLines(
      [now, bell, result, lateness, timetable = std::move(timetable), heard]() mutable {
        heard.silent_reason =
            HeardOf(ProcessMusicPlayer(), bell.outcome.stream, kHeardWaitMs).silent_reason;
        return std::vector<std::string>{ScheduledBellLine(now, bell.row + 1, bell.start_time,
                                                          bell.music_name.View(), result, lateness,
                                                          timetable, heard)};
      });
}

void BellRecord::Volume(const VolumeNote& note) {
  Add(VolumeLine(LocalRecordTime(), note.kind, note.file, note.text));
}

void BellRecord::PassedOver(const PassedOverSpan& span,
                            std::shared_ptr<const TimetableSnapshot> rows) {
  RecordWriter* const writer = running_.load();
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
      // An exam day's rows say what they ring for, as rung ones do.
      lines.push_back(ScheduledBellLine(
          now, row + 1, entry.start_time.View(), entry.music_name.View(), BellResult::kMissed,
          LatenessMs(RingingSecond(entry.start_time.View()), now),
          entry.source == kDefaultTimetableName ? std::string() : entry.source));
    }
    return lines;
  });
}

StartDone BellRecord::ManualPlay(const TextValue& path) {
  return [this, now = LocalRecordTime(),
          music = std::string(FileNameOf(path.View()))](const StartOutcome& outcome) {
    Add(ManualPlayLine(now, music, ClassifyPlay(outcome.facts)));
  };
}

void BellRecord::ManualStop(const TextValue& path) {
  Add(ManualStopLine(LocalRecordTime(), FileNameOf(path.View())));
}

void BellRecord::Output(const OutputNote& note) {
  Add(OutputLine(LocalRecordTime(), note.name, note.missing));
}

void BellRecord::AudioDevice(bool back) {
  Add(AudioDeviceLine(LocalRecordTime(), back));
}

void BellRecord::MediaMissing() {
  Add(MediaMissingLine(LocalRecordTime()));
}

void BellRecord::Save(bool saved, int rows) {
  Add(SaveLine(LocalRecordTime(), saved, rows));
}

void BellRecord::Autostart(bool on, bool done, std::string_view command) {
  Add(AutostartLine(LocalRecordTime(), on, done, command));
}

void BellRecord::Wake(std::string_view what) {
  Add(WakeLine(LocalRecordTime(), what));
}

void BellRecord::SyncLines(std::vector<std::string> lines) {
  for (std::string& line : lines) Add(std::move(line));
}

void RecordSecondCopy(const TextValue& program_dir) {
  AppendRecordLineNow(RecordPath(program_dir, kRecordFileName),
                      RecordPath(program_dir, kRecordOldFileName),
                      SecondCopyLine(LocalRecordTime()));
}

}  // namespace belvane
