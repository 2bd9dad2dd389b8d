#include "runtime/process_frame.h"

#include <windows.h>
#include <float.h>
#include <xmmintrin.h>

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

std::atomic<ExitHook> g_exitHooks[3];
std::atomic<ExitHook> g_finalHook{nullptr};

// The recorded frame: its thread, 0 when none is recorded.
std::atomic<DWORD> g_frameThread{0};
// The thread running the exit sequence, 0 before it starts.
std::atomic<DWORD> g_exitingThread{0};
// The thread that met the first fatal failure, 0 before one; its box caption (UTF-16, fixed
// storage: the failure may be the heap's) and whether the box is still up.
std::atomic<DWORD> g_fatalThread{0};
wchar_t g_fatalCaption[32] = {};
std::atomic<bool> g_fatalBoxUp{false};
thread_local int t_windowProcedureDepth = 0;

SupportLibraryState g_encodingLibrary;
SupportLibraryState g_threadLibrary;

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
  return Notify(g_encodingLibrary, code, value);
}

std::intptr_t ThreadLibraryNotify(int code, std::intptr_t value, std::intptr_t) {
  return Notify(g_threadLibrary, code, value);
}

const SupportLibraryRoutine kSupportLibraries[] = {&EncodingLibraryNotify, &ThreadLibraryNotify};

void RunExitSequence() {
  for (auto& slot : g_exitHooks) {
    if (ExitHook hook = slot.load()) hook();
  }
  for (SupportLibraryRoutine notify : SupportLibraryList()) notify(6, 0, 0);
  if (ExitHook final = g_finalHook.load()) final();
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
void EnterExit(int exitCode) {
  const DWORD self = GetCurrentThreadId();
  // A fatal failure on another thread has the program's end in hand; its box may be up.
  const DWORD fatal = g_fatalThread.load();
  if (fatal != 0 && fatal != self) WaitForProcessEnd();
  DWORD expected = 0;
  if (g_exitingThread.compare_exchange_strong(expected, self)) return;
  if (expected == self) ExitProcess(g_frameThread.load() != 0 ? 0 : exitCode);
  WaitForProcessEnd();
}

// The first failure's box, when it is a window of this thread (an observer shows none).
HWND FindFatalBox() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t className[16] = {};
        wchar_t caption[std::size(g_fatalCaption)] = {};
        GetClassNameW(window, className, static_cast<int>(std::size(className)));
        GetWindowTextW(window, caption, static_cast<int>(std::size(caption)));
        if (std::wcscmp(className, L"#32770") != 0 || std::wcscmp(caption, g_fatalCaption) != 0) {
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

// The program's folder and file name as the dispatcher hands them out.
struct ProgramNames {
  char folderWithSlash[MAX_PATH * 4] = {};
  char folder[MAX_PATH * 4] = {};
  char fileName[MAX_PATH * 4] = {};
  bool valid = false;
};

const ProgramNames& Names() {
  static const ProgramNames names = [] {
    ProgramNames n;
    const std::string path = ModuleFileName();
    const std::size_t cut = LastBackslash(path);
    if (path.empty() || path.size() >= sizeof n.folder) return n;
    const std::size_t folderEnd = cut == std::string::npos ? 0 : cut;
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    std::memcpy(n.folder, path.data(), folderEnd);
    std::memcpy(n.folderWithSlash, path.data(), cut == std::string::npos ? 0 : cut + 1);
    std::memcpy(n.fileName, path.data() + nameStart, path.size() - nameStart);
    n.valid = true;
    return n;
  }();
  return names;
}

// The command line after the program's own name (quoted or not) and the one blank after it.
const char* CommandLineArguments() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  if (*p == ' ' || *p == '\t') ++p;
  return p;
}

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) break;
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Releases an array image {d, dims[d], members} whose members have kind `memberKind`.
void ReleaseArray(std::uint32_t memberKind, void* image) {
  if (image == nullptr) return;
  switch (static_cast<ValueKind>(memberKind)) {
    case ValueKind::kText:
    case ValueKind::kByteSet: {
      const ArrayMembers array = MembersOf(image);
      const char* members = static_cast<const char*>(array.first);
      for (std::size_t i = 0; i < array.count; ++i) {
        void* member;  // members hold addresses: pointer-sized, possibly unaligned
        std::memcpy(&member, members + i * sizeof member, sizeof member);
        ReleaseBlock(member);
      }
      ReleaseBlock(image);
      return;
    }
    default:
      if (IsScalarKind(static_cast<ValueKind>(memberKind))) ReleaseBlock(image);
      return;
  }
}

}  // namespace

void RunProcessFrame(const ProgramHooks& hooks) {
  InitializeHeap();
  for (SupportLibraryRoutine notify : SupportLibraryList()) {
    notify(1, reinterpret_cast<std::intptr_t>(&ServiceDispatcher), 0);
  }
  g_frameThread.store(GetCurrentThreadId());
  try {
    _fpreset();
    _mm_setcsr(0x1F80);  // SSE: round to nearest, every exception masked
    if (hooks.construct) hooks.construct();
    SetExitHook(0, hooks.exitHook);
    if (hooks.startWindowLayer) hooks.startWindowLayer();
    if (hooks.startProgram) hooks.startProgram();
    ExitProgram(0);
  } catch (const ExitFrameSignal&) {
    // The program has ended: back to the application object.
  }
}

void ExitProgram(int exitCode) {
  EnterExit(exitCode);
  RunExitSequence();
  const bool unwind = g_frameThread.load() == GetCurrentThreadId() && t_windowProcedureDepth == 0;
  if (unwind) throw ExitFrameSignal{};
  ExitProcess(g_frameThread.load() != 0 ? 0 : exitCode);
}

void ShowFatalBox(const TextValue& text, const char* caption) {
  const DWORD self = GetCurrentThreadId();
  const DWORD exiting = g_exitingThread.load();
  if (exiting != 0 && exiting != self) WaitForProcessEnd();
  DWORD first = 0;
  if (g_fatalThread.compare_exchange_strong(first, self)) {
    MultiByteToWideChar(936, 0, caption, -1, g_fatalCaption,
                        static_cast<int>(std::size(g_fatalCaption)) - 1);
    g_fatalBoxUp.store(true);
    ShowMessageBox(nullptr, text, caption, MB_ICONERROR);
    g_fatalBoxUp.store(false);
    return;
  }
  if (first != self) WaitForProcessEnd();
  // Under this thread's own box, or after it (a failure in the exit sequence it started).
  if (g_fatalBoxUp.load()) RunUnderFatalBox();
  ExitProgramDirectly(0);
}

void ExitProgramDirectly(int exitCode) {
  EnterExit(exitCode);
  RunExitSequence();
  ExitProcess(g_frameThread.load() != 0 ? 0 : exitCode);
}

ExitHook SetExitHook(int slot, ExitHook hook) {
  if (slot < 0 || slot > 2) return nullptr;
  return g_exitHooks[slot].exchange(hook);
}

void SetFinalHook(ExitHook hook) {
  g_finalHook.store(hook);
}

bool IsFrameThread() {
  return g_frameThread.load() == GetCurrentThreadId();
}

WindowProcedureScope::WindowProcedureScope() {
  ++t_windowProcedureDepth;
}
WindowProcedureScope::~WindowProcedureScope() {
  --t_windowProcedureDepth;
}

std::span<const SupportLibraryRoutine> SupportLibraryList() {
  return kSupportLibraries;
}
const SupportLibraryState& EncodingLibraryState() {
  return g_encodingLibrary;
}
const SupportLibraryState& ThreadLibraryState() {
  return g_threadLibrary;
}

std::intptr_t ServiceDispatcher(int number, std::intptr_t arg1, std::intptr_t arg2) {
  switch (number) {
    case 1004:
      return 1;
    case 1005:
      return 4;
    case 1006: {
      const ProgramNames& names = Names();
      char* target = reinterpret_cast<char*>(arg2);
      if (target == nullptr || !names.valid) return 0;
      if (arg1 == 1 || arg1 == 2001) {
        std::strcpy(target, names.folderWithSlash);
      } else if (arg1 == 2002) {
        std::strcpy(target, names.fileName);
      } else {
        return 0;
      }
      return arg2;
    }
    case 2001: {
      const auto* slot = reinterpret_cast<const ValueSlot*>(arg1);
      if (slot == nullptr) return 0;
      if (slot->kind == ValueKind::kFloat || slot->kind == ValueKind::kDouble) {
        return ToInteger(*slot);
      }
      return slot->AsInt32();
    }
    case 2002:
      return reinterpret_cast<std::intptr_t>(CommandLineArguments());
    case 2003:
      return Names().valid ? reinterpret_cast<std::intptr_t>(Names().folder) : 0;
    case 2004:
      return Names().valid ? reinterpret_cast<std::intptr_t>(Names().fileName) : 0;
    case 2018:
      PumpWaitingMessages();
      return 0;
    case 2023:
      ReleaseArray(static_cast<std::uint32_t>(arg1), reinterpret_cast<void*>(arg2));
      return 0;
    case 2024:
      return reinterpret_cast<std::intptr_t>(AllocateBlock(static_cast<std::size_t>(arg1)));
    case 2025:
      ReleaseBlock(reinterpret_cast<const void*>(arg1));
      return 0;
    case 2026:
      return reinterpret_cast<std::intptr_t>(
          ResizeBlock(reinterpret_cast<void*>(arg1), static_cast<std::size_t>(arg2)));
    case 2027: {
      const char* text = reinterpret_cast<const char*>(arg1);
      const TextValue message = ConcatTexts("Nightfen RunTime Error:\r\n\r\n", text ? text : "");
      ShowFatalBox(message, "ERROR");
      ExitProgram(0);
    }
    case 2028:
      ExitProgram(static_cast<int>(arg1));
    case 2030:
      return 3;
    case 2032:
    case 2033:
      return 0;
    default: {
      char message[128];
      std::snprintf(message, sizeof message, "不支持系统功能函数%d. 请将此信息反馈给作者", number);
      ShowMessageBox(nullptr, message, "nightfen", MB_ICONERROR);
      return 0;
    }
  }
}

}  // namespace belvane
