#include "runtime/process_frame.h"

#include <windows.h>
#include <float.h>
#include <xmmintrin.h>

#include <atomic>
#include <cstdio>
#include <cstring>
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

// Starts the exit sequence on this thread, or never returns when another thread already runs
// it (the process ends under it) or this one re-entered it from a hook (the process ends now).
void EnterExit(int exit_code) {
  const DWORD self = GetCurrentThreadId();
  DWORD expected = 0;
  if (g_exitingThread.compare_exchange_strong(expected, self)) return;
  if (expected == self) ExitProcess(g_frame_thread.load() != 0 ? 0 : exit_code);
  for (;;) Sleep(INFINITE);
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
    _mm_setcsr(0x1F80);  // SSE: round to nearest, every exception masked
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
