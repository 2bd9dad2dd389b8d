#pragma once
// The process frame: the order in which the runtime, the application's process-wide objects and
// the window layer come up around StartProgram, and ExitProgram, the one way the program ends.
//
// Start (RunProcessFrame, called from the application object's InitInstance):
//   heap fetched; every SupportLibraryList routine told code 1 with the ServiceDispatcher;
//   exit frame recorded; FPU reset; hooks.construct; hooks.exit_hook registered in exit-hook
//   slot 0; hooks.start_window_layer; hooks.start_program; ExitProgram(0).
// ExitProgram: the three exit hooks in order; SupportLibraryList told code 6; the final hook
//   (release of the libraries BindLibraryFunction loaded); then the end:
//   - on the frame's thread, outside any window procedure: the call chain is abandoned by
//     unwinding (a private exception type that only RunProcessFrame catches) and RunProcessFrame
//     returns; the application object then runs its loop and the process ends with code 0;
//   - inside a window procedure (WindowProcedureScope or GuardedProcedure active; the window
//     layer wraps every procedure it installs in one), on a worker thread, or with no
//     frame recorded: the process ends at once (ExitProcess), code 0 when a frame is recorded,
//     else the given code. An exception never crosses a window procedure or a thread start.
//   A second ExitProgram while the sequence runs on another thread waits for the process end;
//   one re-entered from an exit hook ends the process at once.
// Fatal failures (late binding, runtime errors, the dispatcher's 2027, out of memory) show one
// box and then end the program as above. Only the first failure shows its box; a failure or an
// ExitProgram on another thread meanwhile waits for the process to end, and a failure met on the
// same thread while its box is up (a message handled under the box) keeps that box answering
// and ends the program once the user has answered it.
// Code between the frame and ExitProgram must not swallow exceptions with catch (...) without
// rethrowing (that would stop the unwinding), and a noexcept function (a destructor) calls it
// only inside a WindowProcedureScope.

#include <cstdint>
#include <span>

namespace belvane {

// What the application supplies to the frame; a null member is skipped.
struct ProgramHooks {
  void (*construct)() = nullptr;           // construct the process-wide objects
  void (*exit_hook)() = nullptr;           // destroy them (runs first in ExitProgram)
  void (*start_window_layer)() = nullptr;  // the window layer's start-up
  int (*start_program)() = nullptr;        // the program; returns when the main window has ended
};

// Runs the frame in the order above; returns when the program has ended through ExitProgram
// (always, except when the process ended directly). Call once, on the user-interface thread.
void RunProcessFrame(const ProgramHooks& hooks);

// Ends the program: exit sequence, then the end described above. Never returns. Any thread.
[[noreturn]] void ExitProgram(int exit_code);

// A routine run by ExitProgram.
using ExitHook = void (*)();

// Sets exit-hook slot 0, 1 or 2 (null empties it); returns the previous routine.
ExitHook SetExitHook(int slot, ExitHook hook);

// True on the thread that runs the frame, while the frame runs.
bool IsFrameThread();

// Marks the extent of a window or dialog procedure on the current thread; the window layer puts
// one at the top of every procedure it installs. While one is active ExitProgram never unwinds.
class WindowProcedureScope {
 public:
  WindowProcedureScope();
  ~WindowProcedureScope();
  WindowProcedureScope(const WindowProcedureScope&) = delete;
  WindowProcedureScope& operator=(const WindowProcedureScope&) = delete;
};

// The body of a window, dialog or hook procedure, run under a WindowProcedureScope. Nothing
// leaves it: an escaping exception is a program fault and ends the program (exit sequence,
// then the process ends). Use: `return GuardedProcedure([&] { return Handle(message); });`
template <class Body>
auto GuardedProcedure(Body&& body) noexcept -> decltype(body()) {
  WindowProcedureScope scope;
  try {
    return body();
  } catch (...) {
    ExitProgram(0);  // inside the scope this never throws
  }
}

// --- Support libraries and the service dispatcher -----------------------------------------

// The routine the runtime hands to its support libraries: (function number, argument 1,
// argument 2) -> value. Numbers: 1004 -> 1; 1005 -> 4; 1006 program folder/file name into a
// buffer; 2001 value slot truncated to an integer; 2002 command line after the program name;
// 2003 program folder; 2004 program file name; 2018 pump waiting messages; 2023 release an
// array; 2024/2025/2026 allocate/release/resize a block; 2027 fatal "ERROR" box; 2028
// ExitProgram; 2030 -> 3; 2032, 2033 -> 0; any other: "不支持系统功能函数%d..." box, 0.
// Results that are addresses are pointer-sized.
std::intptr_t ServiceDispatcher(int number, std::intptr_t arg1, std::intptr_t arg2);
using ServiceDispatcherRoutine = decltype(&ServiceDispatcher);

// A support library's notification routine: code 1 hands over the dispatcher (value), code 6
// says the process ends; other codes answer -1.
using SupportLibraryRoutine = std::intptr_t (*)(int code, std::intptr_t value, std::intptr_t);

// The fixed list, in order: the text-encoding conversion library, the thread library.
std::span<const SupportLibraryRoutine> SupportLibraryList();

// What a support library has been told (for diagnostics and tests).
struct SupportLibraryState {
  ServiceDispatcherRoutine dispatcher = nullptr;  // kept from code 1
  bool ended = false;                             // code 6 received
};
const SupportLibraryState& EncodingLibraryState();
const SupportLibraryState& ThreadLibraryState();

}  // namespace belvane
