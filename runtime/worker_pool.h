#pragma once
// Worker threads for short jobs that may not come back: each Run starts one WorkerThread
// (runtime/worker_thread.h) of its own, which the pool holds until its job has ended. The pool
// sets no limit of its own on how many run at once: its user decides what it begins, and a job
// that never returns keeps its thread, held and counted, until Stop lets go of it.
//
// A job's thread that outlives Stop's bounded wait keeps whatever its body owns, and nothing of
// the pool: give the body shared ownership of what it uses.
//
// Thread policy: every method is safe from any thread (one mutex, never held while waiting); an
// exception that leaves a body ends the program (runtime/threads.h).

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "runtime/worker_thread.h"

namespace belvane {

class WorkerPool {
 public:
  WorkerPool() = default;
  // Lets go of the threads without waiting (Stop(0)): call Stop with a real wait first.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Runs `body` on a thread of its own; false when none could be started.
  bool Run(std::function<void()> body);
  // Waits up to `timeout_ms` in all for the threads running now to end, then lets go of those
  // that have not. True when all ended. Called on one of them it does not wait for that one.
  // Runs may begin again afterwards.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  // How many threads are held and have not ended; those that have ended are let go.
  int Running();

 private:
  // Lets go of the threads that have ended; under mutex_.
  void DropEndedLocked();

  std::mutex mutex_;
  std::vector<std::unique_ptr<WorkerThread>> threads_;
};

}  // namespace belvane
