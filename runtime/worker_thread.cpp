#include "runtime/worker_thread.h"

#include <windows.h>

#include <memory>

#include "runtime/threads.h"

namespace belvane {

namespace {

void RunBody(std::intptr_t parameter) {
  const std::unique_ptr<std::function<void()>> body(
      reinterpret_cast<std::function<void()>*>(parameter));
  (*body)();
}

}  // namespace

WorkerThread::~WorkerThread() {
  Stop(0);
}

bool WorkerThread::Start(std::function<void()> body) {
  std::lock_guard lock(mutex_);
  if (thread_ || !body) return false;
  auto* parameter = new std::function<void()>(std::move(body));
  OwnedKernelHandle thread = StartOwnedThread(&RunBody, reinterpret_cast<std::intptr_t>(parameter));
  if (!thread) {
    delete parameter;
    return false;
  }
  id_ = GetThreadId(thread.Get());
  thread_ = std::move(thread);
  return true;
}

bool WorkerThread::Stop(int timeout_ms) {
  std::lock_guard lock(mutex_);
  if (!thread_) return true;
  // A thread cannot wait for its own end (an exit that began on the worker).
  const bool ended = GetCurrentThreadId() != id_ && WaitForHandle(thread_.Ref(), timeout_ms);
  thread_.Reset();
  id_ = 0;
  return ended;
}

bool WorkerThread::Running() {
  std::lock_guard lock(mutex_);
  if (!thread_) return false;
  if (!WaitForHandle(thread_.Ref(), 0)) return true;
  thread_.Reset();
  id_ = 0;
  return false;
}

bool WorkerThread::IsCurrent() {
  std::lock_guard lock(mutex_);
  return thread_ && GetCurrentThreadId() == id_;
}

}  // namespace belvane
