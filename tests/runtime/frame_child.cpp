// A program built like Belvane.exe (application object + process frame) whose start routine
// plays one scenario named on its command line: `frame_child.exe SCENARIO LOGFILE`. Every step,
// every message box and the exit sequence are written to LOGFILE, one line each, for
// frame_test.cpp to compare.
#include <windows.h>
#include <xmmintrin.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/appframe/application.h"
#include "runtime/late_binding.h"
#include "runtime/memory.h"
#include "runtime/message_box.h"
#include "runtime/process_frame.h"
#include "runtime/text_array.h"
#include "runtime/threads.h"
#include "ui/form_window.h"
#include "ui/window_layer.h"

namespace {

std::string g_scenario;
FILE* g_log = nullptr;
// Set once the first fatal box is up, for the scenarios that fail on a second thread meanwhile.
HANDLE g_boxShown = CreateEventA(nullptr, TRUE, FALSE, nullptr);

void Log(const char* format, ...) {
  if (g_log == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(g_log, format, args);
  va_end(args);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

// Line breaks written out, so one box is one line of the log.
std::string Escaped(const belvane::TextValue& text) {
  std::string out;
  for (char c : text.View()) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

bool Is(const char* name) {
  return g_scenario == name;
}

bool StartsWith(const char* prefix) {
  return g_scenario.rfind(prefix, 0) == 0;
}

void WorkerExits(std::intptr_t parameter);

void Construct() {
  Log("construct mxcsr=%x", _mm_getcsr());
  if (Is("real-box")) return;  // the box is answered from outside
  belvane::SetMessageBoxObserver([](const belvane::MessageBoxRequest& request) {
    Log("box caption=[%s] text=[%s] style=%u owner=%d", request.caption.CStr(),
        Escaped(request.text).c_str(), request.style, request.owner != nullptr);
    if (StartsWith("second-thread-")) {
      SetEvent(g_boxShown);
      Sleep(1500);  // the user reads the box while the other thread fails too
      Log("box-answered");
    }
    return IDOK;
  });
  belvane::SetExitHook(1, [] {
    Log("hook1");
    if (Is("exit-in-hook")) belvane::ExitProgram(0);
    if (Is("two-exits")) {
      belvane::StartThread(&WorkerExits, 42);
      Sleep(500);  // the worker's ExitProgram must wait for this sequence, not run its own
    }
  });
  belvane::SetExitHook(2, [] { Log("hook2"); });
}

void DestroyObjects() {
  Log("exit-hook libraries-ended=%d", belvane::EncodingLibraryState().ended);
}

void StartWindowLayer() {
  Log("layer dispatcher=%d", belvane::EncodingLibraryState().dispatcher != nullptr &&
                                 belvane::ThreadLibraryState().dispatcher != nullptr);
  if (StartsWith("layer-")) belvane::StartWindowLayer();
}

void FailInside(const char* where) {
  Log("%s", where);
  const auto has = [](const char* part) { return g_scenario.find(part) != std::string::npos; };
  if (has("throw")) throw std::runtime_error("fault");
  if (has("dispatcher-fatal"))
    belvane::ServiceDispatcher(2027, reinterpret_cast<std::intptr_t>("bad"), 0);
  if (has("dispatcher-exit")) belvane::ServiceDispatcher(2028, 5, 0);
  if (has("index")) (void)belvane::TextArray{"only"}.At(2);
  if (has("out-of-memory")) belvane::AllocateBlock(std::size_t{1} << 50);
  belvane::BindLibraryFunction("belvane_no_such_library", "Anything", nullptr);
}

LRESULT FailingLayerHook(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_USER) FailInside("layer-hook");
  return 0;
}

// A fatal error inside the procedures the window layer installs: a window it subclasses, a
// dialog's init handler.
void FailInsideTheLayer() {
  if (StartsWith("layer-window-")) {
    belvane::WindowObject object;
    object.CreateWindowObject(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, 0);
    belvane::SetMessageHook(object.Handle(), &FailingLayerHook);
    SendMessageA(object.Handle(), WM_USER, 0, 0);
  } else {
    belvane::FormWindow dialog;
    dialog.RunDialog(
        nullptr, 100,
        [](const belvane::EventArgs&) -> std::int32_t {
          FailInside("init-handler");
          return 0;
        },
        {}, false);
  }
}

void FailOnWorker(std::intptr_t) {
  belvane::AllocateBlock(std::size_t{1} << 50);
}

// A worker runs out of memory; while its box is up this thread fails as well.
void FailOnTwoThreads() {
  belvane::StartThread(&FailOnWorker, 0);
  WaitForSingleObject(g_boxShown, 20000);
  if (Is("second-thread-out-of-memory")) belvane::AllocateBlock(std::size_t{1} << 50);
  if (Is("second-thread-exit")) belvane::ExitProgram(0);
  belvane::BindLibraryFunction("belvane_no_such_library", "Anything", nullptr);
}

LRESULT CALLBACK ExitingWindowProcedure(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  return belvane::GuardedProcedure([&]() -> LRESULT {
    if (message == WM_USER) {
      Log("window-procedure");
      if (Is("window-procedure-throw")) throw std::runtime_error("fault");
      belvane::ExitProgram(0);
    }
    return DefWindowProcA(window, message, wp, lp);
  });
}

void SendToExitingWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = &ExitingWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "FrameChildWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("FrameChildWindow", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  SendMessageA(window, WM_USER, 0, 0);
}

void WorkerExits(std::intptr_t parameter) {
  Log("worker parameter=%d frame-thread=%d", static_cast<int>(parameter), belvane::IsFrameThread());
  belvane::ExitProgram(0);
}

// Unwinding must run the destructors of the abandoned frames.
struct UnwindWitness {
  ~UnwindWitness() { Log("unwound"); }
};

int StartProgram() {
  Log("program");
  if (Is("normal")) {
    Log("arguments=[%s]", reinterpret_cast<const char*>(belvane::ServiceDispatcher(2002, 0, 0)));
  }
  UnwindWitness witness;
  if (Is("bind-and-end")) {
    auto seven = reinterpret_cast<int (*)()>(
        belvane::BindLibraryFunction("runtime_test_lib", "TestSeven", nullptr));
    Log("bound result=%d listed=%zu", seven(), belvane::LoadedLibraryList().size());
  } else if (Is("missing-dll")) {
    belvane::BindLibraryFunction("belvane_no_such_library", "Anything", nullptr);
  } else if (Is("missing-function")) {
    belvane::BindLibraryFunction("runtime_test_lib", "NoSuchFunction", nullptr);
  } else if (Is("missing-ordinal")) {
    belvane::BindLibraryFunction("runtime_test_lib", "#65539", nullptr);
  } else if (Is("index-below") || Is("index-above")) {
    belvane::TextArray array{"only"};
    Log("member=%s", array.At(Is("index-below") ? 0 : 2).CStr());
  } else if (Is("worker-exit")) {
    belvane::StartThread(&WorkerExits, 42);
    Sleep(30000);
  } else if (Is("window-procedure-exit") || Is("window-procedure-throw")) {
    SendToExitingWindow();
  } else if (StartsWith("layer-")) {
    FailInsideTheLayer();
  } else if (StartsWith("second-thread-")) {
    FailOnTwoThreads();
  } else if (Is("allocate-out-of-memory")) {
    belvane::AllocateBlock(std::size_t{1} << 50);
  } else if (Is("resize-out-of-memory")) {
    belvane::ResizeBlock(belvane::AllocateBlock(16), std::size_t{1} << 50);
  } else if (Is("new-out-of-memory")) {
    volatile std::size_t huge = std::size_t{1} << 50;
    char* bytes = new char[huge];
    Log("allocated %p", static_cast<void*>(bytes));
  } else if (Is("dispatcher-exit")) {
    belvane::ServiceDispatcher(2028, 5, 0);
  } else if (Is("dispatcher-fatal")) {
    belvane::ServiceDispatcher(2027, reinterpret_cast<std::intptr_t>("bad"), 0);
  } else if (Is("real-box")) {
    const int answer = belvane::ShowMessage(belvane::ValueSlot::Text("关闭吗？"),
                                            belvane::ValueSlot::Integer(MB_OKCANCEL),
                                            belvane::ValueSlot::Text("防止误操作"));
    Log("answer=%d", answer);
  } else if (Is("unknown-service")) {
    Log("result=%d", static_cast<int>(belvane::ServiceDispatcher(4321, 0, 0)));
  }
  Log("program-returns");
  return 0;
}

class ChildApplication : public belvane::FrameApplication {
 public:
  using FrameApplication::FrameApplication;

  bool InitInstance() override {
    if (__argc >= 3) {
      g_scenario = __argv[1];
      g_log = std::fopen(__argv[2], "wb");
    }
    if (Is("no-frame")) belvane::ExitProgram(7);
    _mm_setcsr(0x1F80 | 0x6000);  // round toward zero: the frame must reset it
    const bool result = FrameApplication::InitInstance();
    Log("after-frame libraries-ended=%d listed=%zu still-loaded=%d",
        belvane::EncodingLibraryState().ended, belvane::LoadedLibraryList().size(),
        GetModuleHandleA("runtime_test_lib") != nullptr);
    return result;
  }
};

ChildApplication the_application({.construct = &Construct,
                                  .exit_hook = &DestroyObjects,
                                  .start_window_layer = &StartWindowLayer,
                                  .start_program = &StartProgram});

}  // namespace
