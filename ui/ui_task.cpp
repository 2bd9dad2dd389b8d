#include "ui/ui_task.h"

#include <memory>
#include <mutex>
#include <unordered_set>

namespace belvane {

namespace {

using Task = std::function<void()>;

// Tasks posted and not yet run. Any program may post a window message: a kUiTaskMessage whose
// lParam was not posted here is ignored, never called.
std::mutex g_pending_mutex;
std::unordered_set<const Task*>& Pending() {
  static auto* const pending = new std::unordered_set<const Task*>();
  return *pending;
}

}  // namespace

bool PostUiTask(HWND window, std::function<void()> task) {
  if (window == nullptr || !task) return false;
  auto owned = std::make_unique<Task>(std::move(task));
  {
    std::lock_guard lock(g_pending_mutex);
    Pending().insert(owned.get());
  }
  if (!PostMessageA(window, kUiTaskMessage, 0, reinterpret_cast<LPARAM>(owned.get()))) {
    std::lock_guard lock(g_pending_mutex);
    Pending().erase(owned.get());
    return false;
  }
  owned.release();  // the message owns it now
  return true;
}

bool RunUiTask(UINT message, WPARAM, LPARAM lparam) {
  if (message != kUiTaskMessage) return false;
  auto* posted = reinterpret_cast<Task*>(lparam);
  {
    std::lock_guard lock(g_pending_mutex);
    if (Pending().erase(posted) == 0) return true;  // not ours: swallowed, never run
  }
  const std::unique_ptr<Task> task(posted);
  (*task)();
  return true;
}

bool RunThenPost(WorkerPool& workers, HWND window, std::function<std::function<void()>()> work) {
  return workers.Run([window, work = std::move(work)] {
    std::function<void()> then;
    try {
      then = work();
    } catch (...) {
      return;  // nothing leaves a worker; the user sees no answer
    }
    PostUiTask(window, std::move(then));
  });
}

}  // namespace belvane
