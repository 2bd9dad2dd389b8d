#pragma once
// Work that may never return (the platform's decoder on a damaged file) runs on a helper thread
// that the caller waits on for a bounded time. A caller that gives up leaves the helper to finish
// on its own, and the helper then destroys its result itself. Helpers given up on are bounded: at
// most one per key (a file's identity) and `limit` in all; while a bound is reached, new work for
// that key is refused at once instead of starting another thread.

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>

namespace belvane::bass {

// The helpers whose callers gave up on them. Must outlive every helper (keep it for the life of
// the process). Any thread.
class AbandonedHelpers {
 public:
  explicit AbandonedHelpers(size_t limit) : limit_(limit) {}
  AbandonedHelpers(const AbandonedHelpers&) = delete;
  AbandonedHelpers& operator=(const AbandonedHelpers&) = delete;

  size_t Count() const {
    std::lock_guard lock(mutex_);
    return keys_.size();
  }
  // False while `key` (when not empty) has a helper still running, or `limit` helpers run.
  bool MayStart(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return keys_.size() < limit_ && (key.empty() || keys_.count(key) == 0);
  }
  void Add(const std::string& key) {
    std::lock_guard lock(mutex_);
    keys_.insert(key);
  }
  void Remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = keys_.find(key);
    if (it != keys_.end()) keys_.erase(it);
  }

 private:
  mutable std::mutex mutex_;
  std::multiset<std::string> keys_;
  const size_t limit_;
};

enum class CallOutcome { kDone, kTimedOut, kRefused };

// Runs `work` (returning a T: default-constructible, movable, owning its resources) on a helper
// thread and waits up to timeout_ms. kDone: *out holds the result. kTimedOut: the helper runs on
// and destroys the result when it ends. kRefused: a bound was reached or no thread could start;
// `work` never ran. An exception from `work` gives a default T.
// A system thread's routine for a body made with new: runs it, then frees it. WINAPI, as the
// system calls it (a lambda would have the compiler's own convention, not the 32-bit system's).
template <typename Body>
DWORD WINAPI RunHeldBody(void* param) {
  Body* const run = static_cast<Body*>(param);
  try {
    (*run)();
  } catch (...) {
  }
  delete run;
  return 0;
}

template <typename T, typename Work>
CallOutcome RunBounded(AbandonedHelpers& helpers, const std::string& key, uint32_t timeout_ms,
                       Work work, T* out) {
  struct State {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    T value{};
  };
  if (!helpers.MayStart(key)) return CallOutcome::kRefused;
  auto state = std::make_shared<State>();
  auto helper = [state, &helpers, key, work = std::move(work)]() mutable {
    T value{};
    try {
      value = work();
    } catch (...) {
    }
    std::unique_lock lock(state->mutex);
    if (state->abandoned) {
      lock.unlock();
      value = T{};  // nobody will take it: let go of what it holds (a file, a decoder)
      helpers.Remove(key);
      return;
    }
    state->value = std::move(value);
    state->done = true;
    state->finished.notify_all();
  };
  // A thread of the system's own, its handle closed at once. Under load, helpers made as
  // detached std::threads were twice seen not to end a minute after their work was released,
  // which leaves the key refused for good; this way has no detach step to race the start.
  using Helper = decltype(helper);
  Helper* const body = new (std::nothrow) Helper(std::move(helper));
  if (body == nullptr) return CallOutcome::kRefused;
  const HANDLE thread = CreateThread(nullptr, 0, &RunHeldBody<Helper>, body, 0, nullptr);
  if (thread == nullptr) {
    delete body;
    return CallOutcome::kRefused;
  }
  CloseHandle(thread);
  std::unique_lock lock(state->mutex);
  if (state->finished.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                               [&] { return state->done; })) {
    *out = std::move(state->value);
    return CallOutcome::kDone;
  }
  // Counted before the helper can see the flag (it needs this lock), so its Remove comes after.
  state->abandoned = true;
  helpers.Add(key);
  return CallOutcome::kTimedOut;
}

}  // namespace belvane::bass
