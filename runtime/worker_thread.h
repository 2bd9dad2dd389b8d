#pragma once
// One worker thread and its handle: start, stop with a bounded wait, never wait on itself,
// close. How the thread is told to end is its owner's business (an event, a flag); Stop only
// waits for it and lets the handle go.
//
// The body is moved onto the thread and lives there: a thread that outlives a bounded wait
// keeps whatever its body owns, so give it shared ownership of what it uses.
//
// Thread policy: every method is safe from any thread (one mutex); an exception that leaves the
// body ends the program (runtime/threads.h).

#include <functional>
#include <mutex>

#include "runtime/handles.h"

namespace belvane {

// How long the user-interface thread waits for a worker to end.
inline constexpr int kThreadStopTimeoutMs = 2000;

class WorkerThread {
 public:
  WorkerThread() = default;
  // Lets go of the thread without waiting (Stop(0)): call Stop with a real wait first.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `body` on a new thread; false when a thread is held already (Stop it first) or none
  // could be started.
  bool Start(std::function<void()> body);
  // Waits up to `timeout_ms` for the thread to end, then lets go of its handle. True when it
  // ended or none was held. Called on the worker itself it does not wait: false.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  // Whether a thread is held and has not ended yet; one that has ended is let go.
  bool Running();
  // Whether the calling thread is the one held.
  bool IsCurrent();

 private:
  std::mutex mutex_;
  OwnedKernelHandle thread_;
  unsigned long id_ = 0;
};

}  // namespace belvane
