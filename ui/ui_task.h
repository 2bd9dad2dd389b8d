#pragma once
// How a worker hands work to the user-interface thread: a closure posted to a window of that
// thread and run there by the window's message hook (RunUiTask). Posting, never sending, so a
// worker never waits on the user-interface thread and that thread may wait for the worker.
//
// A task posted to a window that is destroyed before the task runs is dropped by the platform
// with its message; its closure is then never run nor freed (only at the end of the program).
//
// Thread policy: PostUiTask from any thread; RunUiTask on the window's thread.

#include <windows.h>

#include <functional>

#include "runtime/worker_pool.h"

namespace belvane {

// The message that carries a task: lParam = the task, owned by the message; wParam unused.
inline constexpr UINT kUiTaskMessage = WM_APP + 0x100;

// Posts `task` to run on the thread of `window`; false (the task is destroyed here, unrun) when
// it could not be posted.
bool PostUiTask(HWND window, std::function<void()> task);

// For a window's message hook: runs and frees the task of a kUiTaskMessage and returns true
// (a kUiTaskMessage that PostUiTask did not post is swallowed unrun); false for any other
// message.
bool RunUiTask(UINT message, WPARAM wparam, LPARAM lparam);

// Work that must not run on the user-interface thread (opening, reading or writing a file): runs
// `work` on a thread of `workers`, then posts the task it returns (none when empty) to
// `window`. A task's closure reaches the window's objects only while the window lives (a task
// for a closed window is dropped); `work` itself must own what it uses. False when no thread
// could be started (nothing runs).
bool RunThenPost(WorkerPool& workers, HWND window, std::function<std::function<void()>()> work);

}  // namespace belvane
