#include "app/bell_worker.h"

#include <windows.h>
#include <objbase.h>

#include <deque>
#include <mutex>
#include <optional>

#include "app/clock_thread.h"
#include "runtime/gbk.h"
#include "runtime/handles.h"

namespace belvane {

FileStamp StampOfFile(const TextValue& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const std::wstring wide = WideFromGbk(path.View());
  if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FileStamp{};
  }
  return FileStamp{true, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                   (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                       data.ftLastWriteTime.dwLowDateTime};
}

FileStamp PlayerBellPort::Stamp(const TextValue& path) {
  return StampOfFile(path);
}

BellStream PlayerBellPort::OpenPrimed(const TextValue& path) {
  return player_.OpenPrimed(path);
}

void PlayerBellPort::Free(BellStream stream) {
  player_.FreeUnheld(stream);
}

bool PlayerBellPort::StartPrepared(BellStream stream, const TextValue& path) {
  return player_.StartPrimed(stream, path) != FALSE;
}

bool PlayerBellPort::OpenAndStart(const TextValue& path) {
  // What a start always did, now off the user-interface thread.
  player_.Stop();
  player_.OpenFile(path);
  return player_.Play() != FALSE;
}

void PlayerBellPort::StopPlaying() {
  player_.Stop();
}

// What the callers hand the thread; the thread holds its own reference.
struct BellWorker::Queue {
  MusicPlayer* player;
  const SharedTimetable* timetable;
  TextValue music_folder;
  OwnedKernelHandle wake = NewManualResetEvent();
  std::mutex mutex;               // guards what follows
  std::deque<BellJob> starts;     // in the order they came
  std::optional<int> look_ahead;  // only the latest second counts
  bool quit = false;
};

BellWorker::BellWorker(MusicPlayer& player, const SharedTimetable& timetable)
    : player_(player), timetable_(timetable) {}

BellWorker::~BellWorker() {
  Stop();
}

void BellWorker::Run(const std::shared_ptr<Queue>& queue) {
  // Compressed files are decoded through Media Foundation on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    PlayerBellPort port(*queue->player);
    BellPreparer preparer(port);
    for (;;) {
      WaitForHandle(queue->wake.Ref(), -1);
      std::deque<BellJob> starts;
      std::optional<int> look_ahead;
      {
        std::lock_guard lock(queue->mutex);
        if (queue->quit) break;
        ResetEvent(queue->wake.Get());
        starts.swap(queue->starts);
        look_ahead = std::exchange(queue->look_ahead, std::nullopt);
      }
      for (const BellJob& job : starts) {
        if (job.after) {
          job.after();
        } else if (job.path) {
          preparer.Start(*job.path);
        } else {
          port.StopPlaying();
        }
      }
      if (look_ahead) {
        preparer.Prepare(NextBell(*queue->timetable->Current(), *look_ahead, queue->music_folder),
                         *look_ahead);
      }
    }
  }  // the prepared stream is freed here, on the thread that opened it
  if (SUCCEEDED(com)) CoUninitialize();
}

bool BellWorker::Start(const TextValue& music_folder) {
  if (thread_.Running()) return false;
  auto queue = std::make_shared<Queue>();
  queue->player = &player_;
  queue->timetable = &timetable_;
  queue->music_folder = music_folder;
  if (!queue->wake) return false;
  {
    std::lock_guard lock(queue_mutex_);
    queue_ = queue;
  }
  return thread_.Start([queue] { Run(queue); });
}

std::shared_ptr<BellWorker::Queue> BellWorker::CurrentQueue() {
  std::lock_guard lock(queue_mutex_);
  return queue_;
}

void BellWorker::LookAhead(int current_second) {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue) return;
  std::lock_guard lock(queue->mutex);
  queue->look_ahead = current_second;
  SignalEvent(queue->wake.Ref());
}

bool BellWorker::StartBell(const TextValue& path) {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue || !thread_.Running()) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->quit) return false;
  queue->starts.push_back(BellJob{path, {}});
  SignalEvent(queue->wake.Ref());
  return true;
}

void BellWorker::AfterStarts(std::function<void()> task) {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (queue && thread_.Running()) {
    std::lock_guard lock(queue->mutex);
    if (!queue->quit) {
      queue->starts.push_back(BellJob{std::nullopt, std::move(task)});
      SignalEvent(queue->wake.Ref());
      return;
    }
  }
  task();  // no worker: the starts ran on the caller's thread already
}

bool BellWorker::StopBell() {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue || !thread_.Running()) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->quit) return false;
  queue->starts.push_back(BellJob{});
  SignalEvent(queue->wake.Ref());
  return true;
}

bool BellWorker::Stop(int timeout_ms) {
  if (const std::shared_ptr<Queue> queue = CurrentQueue()) {
    std::lock_guard lock(queue->mutex);
    queue->quit = true;
    SignalEvent(queue->wake.Ref());
  }
  return thread_.Stop(timeout_ms);
}

BellWorker& ProcessBellWorker() {
  // Leaked on purpose, like the player: a worker that outlived its wait at exit still finds it.
  static BellWorker* const worker = new BellWorker(ProcessMusicPlayer(), ProcessTimetable());
  return *worker;
}

}  // namespace belvane
