#pragma once
// Worker threads. Thread policy of the program: the user-interface thread runs the frame and
// every window event. The program's own worker threads are each owned by a WorkerThread
// (runtime/worker_thread.h), alone or in a WorkerPool (runtime/worker_pool.h), whose owner
// stops it with a bounded wait; both start their threads here. Workers hand work to the
// user-interface thread as posted tasks (ui/ui_task.h) and never touch a window object.
// An exception never leaves a worker routine: one that escapes ends the program through
// ExitProgram.
//
// StartThread and its command stay as services of the runtime: a thread started that way is
// owned by no one and waited for by no one, so the program itself does not use them.

#include <windows.h>

#include <cstdint>

#include "runtime/handles.h"
#include "runtime/text.h"

namespace belvane {

// A worker routine; receives the parameter given to StartThread.
using ThreadRoutine = void (*)(std::intptr_t parameter);

// Starts `routine(parameter)` on a new thread (default stack). With `handle` the open thread
// handle is stored there for the caller to close; without it the handle is closed at once.
// True when the thread was created.
bool StartThread(ThreadRoutine routine, std::intptr_t parameter = 0, HANDLE* handle = nullptr);

// StartThread with the thread's handle owned by the caller; holds nothing when no thread was
// created. Prefer WorkerThread (runtime/worker_thread.h), which also waits for it.
OwnedKernelHandle StartOwnedThread(ThreadRoutine routine, std::intptr_t parameter = 0);

// CloseHandle; false when it fails.
bool CloseThreadHandle(HANDLE handle);

// Gives back the pages of the calling thread's stack below the part it uses now (their content
// is dead; they stay committed and read as zero when touched again). Under Wine a new thread's
// start touches about 1 MB of its stack that a waiting thread never uses again; a thread calls
// this where its stack is shallow and it is about to wait.
void TrimThreadStack();

// Wine frees the stack of the thread that ended last only once another thread ends, so a thread
// of its own that ended during start-up keeps its whole stack: starting and ending one thread of
// ours (its stack trimmed) lets that go. Waits up to `timeout_ms` for it; false when it did not
// end in time or could not start.
bool EndOneThread(int timeout_ms);

// Suspends the calling thread for `milliseconds` (Sleep).
void Delay(int milliseconds);

// Support-library command shape: results into *result (cleared first), `count` argument slots.
using SupportCommand = void (*)(ValueSlot* result, int count, const ValueSlot* args);

// StartThread as a command: args routine (kRoutine), parameter (integer, optional), handle
// variable (address of a HANDLE, optional). Result: logical.
void StartThreadCommand(ValueSlot* result, int count, const ValueSlot* args);
// CloseThreadHandle as a command: args handle (integer or routine-sized). Result: logical.
void CloseThreadHandleCommand(ValueSlot* result, int count, const ValueSlot* args);

}  // namespace belvane
