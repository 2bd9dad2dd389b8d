#include "runtime/process_frame.h"

#include <windows.h>
#include <float.h>
#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

#include "runtime/frame_internal.h"
#include "runtime/memory.h"
#include "runtime/message_box.h"
#include "runtime/path_text.h"
#include "runtime/text.h"

namespace belvane {

namespace {

// Thrown only by ExitProgram on the frame's thread and caught only by RunProcessFrame. Not an
// std::exception, so handlers for those let it pass.
struct ExitFrameSignal {};

std::atomic<ExitHook> g_exit_hooks[3];
std::atomic<ExitHook> g_final_hook{nullptr};

// The recorded frame: its thread, 0 when none is recorded.
std::atomic<DWORD> g_frame_thread{0};
// The thread running the exit sequence, 0 before it starts.
std::atomic<DWORD> g_exitingThread{0};
// The thread that met the first fatal failure, 0 before one; its box caption (UTF-16, fixed
// storage: the failure may be the heap's) and whether the box is still up.
std::atomic<DWORD> g_fatal_thread{0};
wchar_t g_fatal_caption[32] = {};
std::atomic<bool> g_fatal_box_up{false};
thread_local int t_window_procedure_depth = 0;

SupportLibraryState g_encoding_library;
SupportLibraryState g_thread_library;

std::intptr_t Notify(SupportLibraryState& state, int code, std::intptr_t value) {
  switch (code) {
    case 1:
      state.dispatcher = reinterpret_cast<ServiceDispatcherRoutine>(value);
      return 0;
    case 6:
      state.ended = true;  // neither library holds anything that needs releasing
      return 0;
    default:
      return -1;
  }
}

std::intptr_t EncodingLibraryNotify(int code, std::intptr_t value, std::intptr_t) {
  return Notify(g_encoding_library, code, value);
}

std::intptr_t ThreadLibraryNotify(int code, std::intptr_t value, std::intptr_t) {
  return Notify(g_thread_library, code, value);
}

const SupportLibraryRoutine kSupportLibraries[] = {&EncodingLibraryNotify, &ThreadLibraryNotify};

void RunExitSequence() {
  for (auto& slot : g_exit_hooks) {
    if (ExitHook hook = slot.load()) hook();
  }
  for (SupportLibraryRoutine notify : SupportLibraryList()) notify(6, 0, 0);
  if (ExitHook final = g_final_hook.load()) final();
}

// Never returns: the process ends under this thread, ended by another. Messages sent to this
// thread's windows are still answered, so a thread that sends one while it ends the program
// (an exit hook) is not blocked for good; posted ones stay queued.
[[noreturn]] void WaitForProcessEnd() {
  for (;;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_SENDMESSAGE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// Starts the exit sequence on this thread, or never returns when another thread already runs
// it or has met a fatal failure (the process ends under it) or this one re-entered it from a
// hook (the process ends now).
void EnterExit(int exit_code) {
  const DWORD self = GetCurrentThreadId();
  // A fatal failure on another thread has the program's end in hand; its box may be up.
  const DWORD fatal = g_fatal_thread.load();
  if (fatal != 0 && fatal != self) WaitForProcessEnd();
  DWORD expected = 0;
  if (g_exitingThread.compare_exchange_strong(expected, self)) return;
  if (expected == self) ExitProcess(g_frame_thread.load() != 0 ? 0 : exit_code);
  WaitForProcessEnd();
}

// The first failure's box, when it is a window of this thread (an observer shows none).
HWND FindFatalBox() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) CALLBACK -> BOOL {
        wchar_t class_name[16] = {};
        wchar_t caption[std::size(g_fatal_caption)] = {};
        GetClassNameW(window, class_name, static_cast<int>(std::size(class_name)));
        GetWindowTextW(window, caption, static_cast<int>(std::size(caption)));
        if (std::wcscmp(class_name, L"#32770") != 0 || std::wcscmp(caption, g_fatal_caption) != 0) {
          return TRUE;
        }
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A failure met while handling a message under this thread's own fatal box: the box's loop is
// further down the stack and cannot run until this returns, so this loop stands in for it
// until the user has answered the box (which hides it) or it is gone.
void RunUnderFatalBox() {
  const HWND box = FindFatalBox();
  if (box == nullptr) return;
  bool shown = false;  // a box is shown only once its loop first finds the queue empty
  for (;;) {
    if (!IsWindow(box)) return;
    const bool visible = IsWindowVisible(box) != FALSE;
    if (shown && !visible) return;
    shown = shown || visible;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;  // the program ends either way
      if (IsDialogMessageW(box, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

}  // namespace

void RunProcessFrame(const ProgramHooks& hooks) {
  InitializeHeap();
  for (SupportLibraryRoutine notify : SupportLibraryList()) {
    notify(1, reinterpret_cast<std::intptr_t>(&ServiceDispatcher), 0);
  }
  g_frame_thread.store(GetCurrentThreadId());
  try {
    _fpreset();
    // The 32-bit build computes with the x87 unit alone (it runs on any CPU 32-bit Windows 7
    // does), which _fpreset has set alike.
#ifdef __SSE__
    _mm_setcsr(0x1F80);  // SSE: round to nearest, every exception masked
#endif
    if (hooks.construct) hooks.construct();
    SetExitHook(0, hooks.exit_hook);
    if (hooks.start_window_layer) hooks.start_window_layer();
    if (hooks.start_program) hooks.start_program();
    ExitProgram(0);
  } catch (const ExitFrameSignal&) {
    // The program has ended: back to the application object.
  }
}

void ExitProgram(int exit_code) {
  EnterExit(exit_code);
  RunExitSequence();
  const bool unwind =
      g_frame_thread.load() == GetCurrentThreadId() && t_window_procedure_depth == 0;
  if (unwind) throw ExitFrameSignal{};
  ExitProcess(g_frame_thread.load() != 0 ? 0 : exit_code);
}

void ShowFatalBox(const TextValue& text, const char* caption) {
  const DWORD self = GetCurrentThreadId();
  const DWORD exiting = g_exitingThread.load();
  if (exiting != 0 && exiting != self) WaitForProcessEnd();
  DWORD first = 0;
  if (g_fatal_thread.compare_exchange_strong(first, self)) {
    MultiByteToWideChar(936, 0, caption, -1, g_fatal_caption,
                        static_cast<int>(std::size(g_fatal_caption)) - 1);
    g_fatal_box_up.store(true);
    ShowMessageBox(nullptr, text, caption, MB_ICONERROR);
    g_fatal_box_up.store(false);
    return;
  }
  if (first != self) WaitForProcessEnd();
  // Under this thread's own box, or after it (a failure in the exit sequence it started).
  if (g_fatal_box_up.load()) RunUnderFatalBox();
  ExitProgramDirectly(0);
}

void ExitProgramDirectly(int exit_code) {
  EnterExit(exit_code);
  RunExitSequence();
  ExitProcess(g_frame_thread.load() != 0 ? 0 : exit_code);
}

ExitHook SetExitHook(int slot, ExitHook hook) {
  if (slot < 0 || slot > 2) return nullptr;
  return g_exit_hooks[slot].exchange(hook);
}

void SetFinalHook(ExitHook hook) {
  g_final_hook.store(hook);
}

bool IsFrameThread() {
  return g_frame_thread.load() == GetCurrentThreadId();
}

WindowProcedureScope::WindowProcedureScope() {
  ++t_window_procedure_depth;
}
WindowProcedureScope::~WindowProcedureScope() {
  --t_window_procedure_depth;
}

std::span<const SupportLibraryRoutine> SupportLibraryList() {
  return kSupportLibraries;
}
const SupportLibraryState& EncodingLibraryState() {
  return g_encoding_library;
}
const SupportLibraryState& ThreadLibraryState() {
  return g_thread_library;
}

}  // namespace belvane
