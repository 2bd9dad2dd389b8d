#include "app/campus/campus.h"

#include <lm.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "app/bell/record_events.h"
#include "app/campus/station_report.h"
#include "app/campus/sync_engine.h"
#include "app/schedule/clock_correction.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/late_binding.h"
#include "runtime/text.h"
#include "runtime/worker_thread.h"
#include "ui/ui_task.h"

namespace belvane {

namespace {

std::int64_t UtcNowMs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t ticks = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  // FILETIME counts 100 ns from 1601; 1970 is 11644473600 s later.
  return static_cast<std::int64_t>(ticks / 10000) - 11644473600000LL;
}

OwnedKernelHandle NewAutoResetEvent() {
  return OwnedKernelHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
  DWORD size = sizeof name;
  return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

// "2026-12-08 10:31:05".
std::string StampToSecond(const RecordTime& at) {
  return RecordStamp(at).substr(0, 19);
}

}  // namespace

ServerTimeQuery SystemServerTimeQuery() {
  return [](const std::string& server) -> std::optional<std::int64_t> {
    static const auto remote_tod =
        reinterpret_cast<decltype(&NetRemoteTOD)>(FindLibraryFunction("netapi32", "NetRemoteTOD"));
    static const auto buffer_free = reinterpret_cast<decltype(&NetApiBufferFree)>(
        FindLibraryFunction("netapi32", "NetApiBufferFree"));
    if (remote_tod == nullptr || buffer_free == nullptr) return std::nullopt;
    const std::wstring name = WideFromGbk(server);
    LPBYTE buffer = nullptr;
    if (remote_tod(name.c_str(), &buffer) != NERR_Success || buffer == nullptr) {
      if (buffer) buffer_free(buffer);
      return std::nullopt;
    }
    const auto* tod = reinterpret_cast<const TIME_OF_DAY_INFO*>(buffer);
    const std::int64_t ms = std::int64_t{tod->tod_elapsedt} * 1000 + tod->tod_hunds * 10;
    buffer_free(buffer);
    return ms;
  };
}

std::string DescribeSource(const std::string& source, const std::string& program_dir) {
  if (source.empty()) return "请填写共享文件夹的路径。";
  const SourceListing listing = ListSource(SourcePath(program_dir, source));
  if (!listing.reachable) return "无法读取：" + listing.reason;
  int timetables = 0, music = 0;
  for (const auto& [name, stamp] : listing.files) {
    const FollowedKind kind = KindOfName(name);
    timetables += kind == FollowedKind::kTimetable ? 1 : 0;
    music += kind == FollowedKind::kMusic ? 1 : 0;
  }
  std::string text = "可以读取：" + std::to_string(timetables) + " 个课表，" +
                     std::to_string(music) + " 个音乐文件";
  if (!listing.problem.empty()) text += "（" + listing.problem + "）";
  return text;
}

namespace {

// What the thread shares; it outlives a thread that overruns the bounded stop.
struct FollowerShared {
  OwnedKernelHandle stop = NewManualResetEvent();
  OwnedKernelHandle wake = NewAutoResetEvent();
  std::atomic<bool> stopping{false};
  SharedSyncSettings settings;
  // Where the looks' lines go (set before the thread first starts); none: nowhere.
  BellRecord* record = nullptr;
  // Set before the thread first starts.
  std::string version;
  std::function<std::string()> next_bell;
  ClockCorrection* correction = nullptr;
  // What the application tells of today and its bells, under `facts_mutex`; `report` wakes the
  // thread to write the report again.
  std::mutex facts_mutex;
  std::string timetable, timetable_why;
  LastBell last_bell;
  std::string missed_date;  // the day `missed` counts
  int missed = 0;
  OwnedKernelHandle report = NewAutoResetEvent();
};

// One write of the report, on a thread of its own so that a share that hangs holds up nothing;
// shared with it, as it may outlive the wait.
struct ReportJob {
  TextValue path;
  StationReport report;
  OwnedKernelHandle done = NewManualResetEvent();
  enum Outcome { kWritten, kClash, kRefused } outcome = kWritten;
  StationReport found;  // kClash: the other's report
  std::string why;      // kRefused: the system's text
};

void RunReportJob(ReportJob& job) {
  if (!SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN))
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
  if (const auto found = ReadStationReport(job.path);
      found && ReportOfAnother(*found, job.report)) {
    job.outcome = ReportJob::kClash;
    job.found = *found;
  } else {
    const std::string path = job.path.Bytes();
    CreateDirectoryA(path.substr(0, path.rfind('\\')).c_str(), nullptr);
    if (!WriteStationReport(job.path, job.report)) {
      job.outcome = ReportJob::kRefused;
      job.why = SystemErrorText(GetLastError());
    }
  }
  SignalEvent(job.done.Ref());
}

// The follower thread's side of the report: when it was last written, what was said of it.
class ReportWriter {
 public:
  ReportWriter(FollowerShared& shared, const TextValue& program_dir)
      : shared_(shared), program_dir_(program_dir), computer_(ComputerName()) {}
  ~ReportWriter() { thread_.Stop(0); }

  // After a look (`look`: its status; `looked`: the time of it) or a bell: writes the report
  // when the settings ask for one, no sooner than kReportMinGapMs after the last; the record's
  // lines go to `record`. False when stopped meanwhile.
  bool Write(const FollowStatus& look, const RecordTime* looked, std::vector<std::string>& record);
  // What the follow window is to say of the report.
  const std::string& Problem() const { return problem_; }

 private:
  FollowerShared& shared_;
  TextValue program_dir_;
  std::string computer_;
  WorkerThread thread_;
  ULONGLONG last_tick_ = 0;
  FollowStatus look_;
  std::string looked_at_, taken_at_;
  std::string problem_;
  std::string clash_said_;  // the name whose clash the record has told
  bool refused_said_ = false;
};

bool ReportWriter::Write(const FollowStatus& look, const RecordTime* looked,
                         std::vector<std::string>& record) {
  look_ = look;
  if (looked) {
    looked_at_ = StampToSecond(*looked);
    if (look.reachable && look.last_taken_at == RecordStamp(*looked).substr(11, 8))
      taken_at_ = looked_at_;
  }
  std::string source, name;
  bool wanted = false;
  {
    const std::lock_guard lock(shared_.settings.mutex);
    source = shared_.settings.settings.source;
    name = shared_.settings.settings.name;
    wanted = shared_.settings.settings.report;
  }
  if (source.empty() || !wanted) {
    problem_.clear();
    return true;
  }
  if (name.empty()) name = computer_;
  // A share still hanging on the last write: this occasion is given up.
  if (thread_.Running()) return true;
  const ULONGLONG since = GetTickCount64() - last_tick_;
  if (last_tick_ != 0 && since < kReportMinGapMs &&
      WaitForSingleObject(shared_.stop.Get(), static_cast<DWORD>(kReportMinGapMs - since)) ==
          WAIT_OBJECT_0)
    return false;
  last_tick_ = GetTickCount64();

  auto job = std::make_shared<ReportJob>();
  job->path = StationReportPath(SourcePath(program_dir_.Bytes(), source), name);
  StationReport& report = job->report;
  report.name = name;
  report.computer = computer_;
  report.folder = program_dir_.Bytes();
  report.version = shared_.version;
  report.looked_at = looked_at_;
  report.taken_at = taken_at_;
  {
    const std::lock_guard lock(shared_.facts_mutex);
    report.timetable = shared_.timetable;
    report.timetable_why = shared_.timetable_why;
    report.last_bell_at = shared_.last_bell.at;
    report.last_bell_file = shared_.last_bell.file;
    report.last_bell_result = shared_.last_bell.result;
    report.last_bell_lateness = shared_.last_bell.lateness;
    report.output = shared_.last_bell.output;
    report.volume = shared_.last_bell.volume;
    report.missed_today =
        shared_.missed_date == StampToSecond(LocalRecordTime()).substr(0, 10) ? shared_.missed : 0;
  }
  if (shared_.next_bell) report.next_bell = shared_.next_bell();
  report.clock_offset_seconds = look_.clock_offset_seconds;
  report.on_server_time = look_.on_server_time;
  const RecordTime now = LocalRecordTime();
  report.written_at = StampToSecond(now);
  if (!job->done || !thread_.Start([job] { RunReportJob(*job); })) return true;
  const HANDLE events[] = {shared_.stop.Get(), job->done.Get()};
  const DWORD result = WaitForMultipleObjects(2, events, FALSE, kReportWaitMs);
  if (result == WAIT_OBJECT_0) return false;
  if (result != WAIT_OBJECT_0 + 1) return true;  // hangs: tried again at the next occasion
  thread_.Stop();
  switch (job->outcome) {
    case ReportJob::kWritten:
      problem_.clear();
      clash_said_.clear();
      refused_said_ = false;
      break;
    case ReportJob::kClash:
      problem_ =
          "回报名称“" + name + "”已被 " + job->found.computer + "（" + job->found.folder + "）使用";
      if (clash_said_ != name) record.push_back(ReportClashLine(now, job->found));
      clash_said_ = name;
      break;
    case ReportJob::kRefused:
      problem_ = "无法写入回报：" + job->why;
      if (!refused_said_) record.push_back(ReportRefusedLine(now, job->why));
      refused_said_ = true;
      break;
  }
  return true;
}

// The user-interface thread's side, reached by the tasks the thread posts.
struct FollowerShown {
  FollowStatus status;
  std::function<void(const std::vector<std::string>&)> taken;
  std::function<void(const FollowStatus&)> status_heard;
};

// The wait between regular looks: the setting's 间隔, 60 s unless set.
DWORD LookIntervalMs(SharedSyncSettings& settings) {
  const std::lock_guard lock(settings.mutex);
  return static_cast<DWORD>(settings.settings.interval_seconds) * 1000;
}

void FollowLoop(const std::shared_ptr<FollowerShared>& shared, const TextValue& program_dir,
                HWND window, const std::shared_ptr<FollowerShown>& shown) {
  // Copies are background work: the bells' threads come first for the processor and the disk.
  if (!SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN))
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
  SyncEngine engine(program_dir, shared->settings, SystemServerTimeQuery(), &UtcNowMs,
                    shared->stopping);
  engine.RingBy(shared->correction);
  ReportWriter reports(*shared, program_dir);
  FollowStatus posted, last;
  bool first = true;
  // Hands the lines to the record and what changed of the status to the window.
  const auto tell = [&](std::vector<std::string>&& record) {
    if (!record.empty() && shared->record) shared->record->SyncLines(std::move(record));
    last.report_problem = reports.Problem();
    if (first || !(last == posted)) {
      first = false;
      posted = last;
      PostUiTask(window, [shown, status = last] {
        // A look of a source given up since says nothing about the one followed now.
        if (status.source != shown->status.source) return;
        shown->status = status;
        if (shown->status_heard) shown->status_heard(status);
      });
    }
  };
  for (int look = 0;; ++look) {
    const RecordTime at = LocalRecordTime();
    LookReport report = engine.Look(static_cast<std::int64_t>(GetTickCount64()), at);
    if (!report.changed.empty()) {
      PostUiTask(window, [shown, changed = std::move(report.changed)] {
        if (shown->taken) shown->taken(changed);
      });
    }
    last = report.status;
    if (!reports.Write(last, &at, report.record)) return;
    tell(std::move(report.record));
    // The look after start-up's comes 2 s later, so a change made before the start is taken
    // within seconds; so does the look after one that found something still changing.
    const bool soon = look == 0 || report.again_soon;
    const ULONGLONG next_look =
        GetTickCount64() + (soon ? kSyncSettleMs : LookIntervalMs(shared->settings));
    for (;;) {
      const ULONGLONG now = GetTickCount64();
      if (now >= next_look) break;
      const HANDLE events[] = {shared->stop.Get(), shared->wake.Get(), shared->report.Get()};
      const DWORD result =
          WaitForMultipleObjects(3, events, FALSE, static_cast<DWORD>(next_look - now));
      if (result == WAIT_OBJECT_0 || shared->stopping.load()) return;
      if (result == WAIT_OBJECT_0 + 2) {
        // A bell: its result goes to the report within a second or two.
        std::vector<std::string> record;
        if (!reports.Write(last, nullptr, record)) return;
        tell(std::move(record));
        continue;
      }
      if (result == WAIT_FAILED &&
          WaitForSingleObject(shared->stop.Get(), kSyncLookIntervalMs) == WAIT_OBJECT_0)
        return;
      break;
    }
  }
}

}  // namespace

struct CampusFollower::State {
  std::shared_ptr<FollowerShared> shared = std::make_shared<FollowerShared>();
  std::shared_ptr<FollowerShown> shown = std::make_shared<FollowerShown>();
  HWND window = nullptr;
  TextValue program_dir;
  WorkerThread thread;

  bool StartThread();
};

bool CampusFollower::State::StartThread() {
  if (thread.Running()) {
    SignalEvent(shared->wake.Ref());
    return true;
  }
  if (!shared->stop || !shared->wake || shared->stopping.load()) return false;
  return thread.Start([shared = shared, program_dir = program_dir, window = window, shown = shown] {
    FollowLoop(shared, program_dir, window, shown);
  });
}

CampusFollower::CampusFollower() : state_(std::make_unique<State>()) {}

CampusFollower::~CampusFollower() {
  Stop();
}

bool CampusFollower::Start(HWND window, const TextValue& program_dir,
                           std::function<void(const std::vector<std::string>& taken)> taken,
                           std::function<void(const FollowStatus& status)> status,
                           BellRecord* record) {
  State& state = *state_;
  state.window = window;
  state.program_dir = program_dir;
  state.shown->taken = std::move(taken);
  state.shown->status_heard = std::move(status);
  FollowerShared& shared = *state.shared;
  if (!state.thread.Running()) shared.record = record;
  {
    const std::lock_guard lock(shared.settings.mutex);
    shared.settings.path = ConcatTexts(program_dir, "\\", kSyncFileName);
    shared.settings.settings = ReadSyncSettings(shared.settings.path);
    state.shown->status.source = shared.settings.settings.source;
  }
  if (state.shown->status.source.empty()) return false;
  return state.StartThread();
}

void CampusFollower::SetReportSources(std::string version, std::function<std::string()> next_bell,
                                      ClockCorrection* correction) {
  FollowerShared& shared = *state_->shared;
  if (state_->thread.Running()) return;
  shared.version = std::move(version);
  shared.next_bell = std::move(next_bell);
  shared.correction = correction;
}

void CampusFollower::TodayIs(const std::string& timetable, const std::string& why) {
  FollowerShared& shared = *state_->shared;
  const std::lock_guard lock(shared.facts_mutex);
  shared.timetable = timetable;
  shared.timetable_why = why;
}

void CampusFollower::BellHeard(const LastBell& bell, int missed) {
  FollowerShared& shared = *state_->shared;
  {
    const std::lock_guard lock(shared.facts_mutex);
    shared.last_bell = bell;
    const std::string today = StampToSecond(LocalRecordTime()).substr(0, 10);
    if (shared.missed_date != today) {
      shared.missed_date = today;
      shared.missed = 0;
    }
    shared.missed += missed;
  }
  SignalEvent(shared.report.Ref());
}

std::string CampusFollower::ReportName() const {
  SharedSyncSettings& settings = state_->shared->settings;
  const std::lock_guard lock(settings.mutex);
  return settings.settings.name.empty() ? ComputerName() : settings.settings.name;
}

bool CampusFollower::SetReportName(const std::string& name) {
  SharedSyncSettings& settings = state_->shared->settings;
  {
    const std::lock_guard lock(settings.mutex);
    if (settings.path.IsEmpty()) return false;
    const std::string old = settings.settings.name;
    settings.settings.name = name == ComputerName() ? std::string() : name;
    if (!settings.WriteLocked()) {
      settings.settings.name = old;
      return false;
    }
  }
  SignalEvent(state_->shared->report.Ref());
  return true;
}

std::string CampusFollower::CampusFolder() const {
  SharedSyncSettings& settings = state_->shared->settings;
  const std::lock_guard lock(settings.mutex);
  if (!settings.settings.source.empty())
    return SourcePath(state_->program_dir.View(), settings.settings.source);
  return settings.settings.campus_folder;
}

bool CampusFollower::SetCampusFolder(const std::string& folder) {
  SharedSyncSettings& settings = state_->shared->settings;
  const std::lock_guard lock(settings.mutex);
  if (settings.path.IsEmpty()) return false;
  const std::string old = settings.settings.campus_folder;
  settings.settings.campus_folder = folder;
  if (settings.WriteLocked()) return true;
  settings.settings.campus_folder = old;
  return false;
}

int CampusFollower::LookIntervalSeconds() const {
  SharedSyncSettings& settings = state_->shared->settings;
  const std::lock_guard lock(settings.mutex);
  return settings.settings.interval_seconds;
}

bool CampusFollower::SetSource(const std::string& source) {
  State& state = *state_;
  FollowerShared& shared = *state.shared;
  if (!shared.settings.ChangeSource(source)) return false;
  state.shown->status = FollowStatus{};
  state.shown->status.source = source;
  if (!source.empty()) state.StartThread();
  SignalEvent(shared.wake.Ref());
  return true;
}

void CampusFollower::LookNow() {
  SignalEvent(state_->shared->wake.Ref());
}

bool CampusFollower::Following() const {
  return !state_->shown->status.source.empty();
}

const FollowStatus& CampusFollower::Status() const {
  return state_->shown->status;
}

const TextValue& CampusFollower::ProgramDir() const {
  return state_->program_dir;
}

void CampusFollower::Stop() {
  State& state = *state_;
  state.shared->stopping.store(true);
  SignalEvent(state.shared->stop.Ref());
  state.thread.Stop();
}

}  // namespace belvane
