#include "runtime/worker_pool.h"

#include <windows.h>

#include <algorithm>

namespace belvane {

WorkerPool::~WorkerPool() {
  Stop(0);
}

void WorkerPool::DropEndedLocked() {
  std::erase_if(threads_,
                [](const std::unique_ptr<WorkerThread>& thread) { return !thread->Running(); });
}

bool WorkerPool::Run(std::function<void()> body) {
  if (!body) return false;
  try {
    std::lock_guard lock(mutex_);
    DropEndedLocked();
    auto thread = std::make_unique<WorkerThread>();
    threads_.reserve(threads_.size() + 1);  // so that a thread started is always held
    if (!thread->Start(std::move(body))) return false;
    threads_.push_back(std::move(thread));
    return true;
  } catch (...) {
    return false;  // no room to hold one: none was started
  }
}

bool WorkerPool::Stop(int timeout_ms) {
  std::vector<std::unique_ptr<WorkerThread>> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(threads_);
  }
  // One deadline for all: a pool of hung jobs holds the caller no longer than one would.
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
  bool all_ended = true;
  for (const std::unique_ptr<WorkerThread>& thread : threads) {
    const ULONGLONG now = GetTickCount64();
    const int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
    if (!thread->Stop(left)) all_ended = false;
  }
  return all_ended;
}

int WorkerPool::Running() {
  std::lock_guard lock(mutex_);
  DropEndedLocked();
  return static_cast<int>(threads_.size());
}

}  // namespace belvane
