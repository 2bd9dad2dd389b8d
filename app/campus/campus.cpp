#include "app/campus/campus.h"

#include <lm.h>

#include <atomic>
#include <utility>

#include "app/bell/record_events.h"
#include "app/campus/sync_engine.h"
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
};

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
  FollowStatus posted;
  bool first = true;
  for (int look = 0;; ++look) {
    LookReport report = engine.Look(static_cast<std::int64_t>(GetTickCount64()), LocalRecordTime());
    if (!report.record.empty() && shared->record)
      shared->record->SyncLines(std::move(report.record));
    if (!report.changed.empty()) {
      PostUiTask(window, [shown, changed = std::move(report.changed)] {
        if (shown->taken) shown->taken(changed);
      });
    }
    if (first || !(report.status == posted)) {
      first = false;
      posted = report.status;
      PostUiTask(window, [shown, status = report.status] {
        // A look of a source given up since says nothing about the one followed now.
        if (status.source != shown->status.source) return;
        shown->status = status;
        if (shown->status_heard) shown->status_heard(status);
      });
    }
    // The look after start-up's comes 2 s later, so a change made before the start is taken
    // within seconds; so does the look after one that found something still changing.
    const bool soon = look == 0 || report.again_soon;
    const HANDLE events[] = {shared->stop.Get(), shared->wake.Get()};
    const DWORD result = WaitForMultipleObjects(
        2, events, FALSE, soon ? kSyncSettleMs : LookIntervalMs(shared->settings));
    if (result == WAIT_OBJECT_0 || shared->stopping.load()) return;
    if (result == WAIT_FAILED) {
      if (WaitForSingleObject(shared->stop.Get(), kSyncLookIntervalMs) == WAIT_OBJECT_0) return;
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
