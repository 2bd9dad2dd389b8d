#include "ui/window_layer.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "runtime/process_frame.h"
#include "ui/window_object.h"

// AtlAxWinInit registers the ActiveX host window class; the import library is mingw's libatl.
extern "C" __declspec(dllimport) BOOL WINAPI AtlAxWinInit();

namespace belvane {
namespace {

struct LayerState {
  HINSTANCE instance = nullptr;
  HandleRegistry registry;
  std::unordered_map<HWND, MessageHook> message_hooks;
  std::unordered_map<HWND, CommandHandler> command_handlers;
  FormWindow* pending_dialog = nullptr;
  int control_id = 500;
  HWND routed_window = nullptr;
  bool busy = false;
};

// Written once by StartWindowLayer; read from any thread by AssertUiThread.
std::atomic<DWORD> g_ui_thread{0};
std::unique_ptr<LayerState> g_state;

LayerState& State() {
  AssertUiThread();
  if (!g_state) {
    // Used before start-up (an object destroyed after StopWindowLayer, a test): fail loudly.
    std::fputs("window layer used before it was started\n", stderr);
    std::abort();
  }
  return *g_state;
}

}  // namespace

void HandleRegistry::Insert(HWND window, WindowObject* object) {
  map_[window] = object;
}

WindowObject* HandleRegistry::Find(HWND window) const {
  auto it = map_.find(window);
  return it == map_.end() ? nullptr : it->second;
}

void HandleRegistry::Erase(HWND window) {
  map_.erase(window);
}

bool StartWindowLayer() {
  g_ui_thread = GetCurrentThreadId();
  if (!g_state) g_state = std::make_unique<LayerState>();
  g_state->instance = GetModuleHandleA(nullptr);
  g_state->control_id = 500;
  // Once per process: a second call fails, its window classes being registered already.
  static const bool atl_ready = AtlAxWinInit() != FALSE;
  return atl_ready;
}

void StopWindowLayer() {
  // An exit begun on another thread (a fatal error on a worker) leaves the maps to the process's
  // end: the user-interface thread may still be routing a message through them.
  DWORD ui = g_ui_thread.load();
  if (ui != 0 && ui != GetCurrentThreadId()) return;
  g_state.reset();
}

void AssertUiThread() {
  DWORD ui = g_ui_thread.load();
  if (ui != 0 && ui != GetCurrentThreadId()) {
    std::fputs("window layer state touched off the user-interface thread\n", stderr);
    std::abort();
  }
}

HINSTANCE LayerInstance() {
  return State().instance;
}
HandleRegistry& Registry() {
  return State().registry;
}

void SetMessageHook(HWND window, MessageHook hook) {
  if (hook) {
    State().message_hooks[window] = hook;
  } else {
    State().message_hooks.erase(window);
  }
}

void SetCommandHandler(HWND control, CommandHandler handler) {
  if (handler) {
    State().command_handlers[control] = handler;
  } else {
    State().command_handlers.erase(control);
  }
}

FormWindow* PendingDialog() {
  return State().pending_dialog;
}
void SetPendingDialog(FormWindow* form) {
  State().pending_dialog = form;
}
int NextControlId() {
  return ++State().control_id;
}
void ResetControlIds() {
  State().control_id = 500;
}
HWND RoutedWindow() {
  return State().routed_window;
}
void SetRoutedWindow(HWND window) {
  State().routed_window = window;
}
void SetBusy(bool busy) {
  State().busy = busy;
}
bool Busy() {
  return State().busy;
}

namespace {

LRESULT RunHooks(LayerState& state, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!state.message_hooks.empty()) {
    auto hook = state.message_hooks.find(window);
    if (hook != state.message_hooks.end()) {
      // Called through a copy: a hook may set or clear its own window's hook.
      const MessageHook call = hook->second;
      if (LRESULT result = call(window, message, wparam, lparam)) return result;
    }
  }
  if (state.command_handlers.empty()) return 0;
  if (message == WM_COMMAND && lparam != 0) {
    auto handler = state.command_handlers.find(reinterpret_cast<HWND>(lparam));
    if (handler != state.command_handlers.end()) {
      return handler->second(reinterpret_cast<HWND>(lparam), HIWORD(wparam), LOWORD(wparam),
                             lparam);
    }
  } else if (message == WM_NOTIFY && lparam != 0) {
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    auto handler = state.command_handlers.find(header->hwndFrom);
    if (handler != state.command_handlers.end()) {
      return handler->second(header->hwndFrom, static_cast<int>(header->code),
                             static_cast<int>(header->idFrom), lparam);
    }
  }
  return 0;
}

}  // namespace

LRESULT CALLBACK SharedWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // Marks the procedure's extent: a fatal error or an escaping exception inside ends the program
  // through its exit sequence; nothing crosses into the platform's message dispatch.
  return GuardedProcedure([&]() -> LRESULT {
    LayerState& state = State();
    if (message == WM_NCDESTROY) {
      // The platform may reuse this handle's value for a later window: its hooks go with it.
      state.message_hooks.erase(window);
      state.command_handlers.erase(window);
    }
    if (message != WM_QUIT) {
      if (LRESULT result = RunHooks(state, window, message, wparam, lparam)) return result;
    }
    if (WindowObject* object = state.registry.Find(window)) {
      return object->WindowProcedure(window, message, wparam, lparam);
    }
    return DefWindowProcA(window, message, wparam, lparam);
  });
}

}  // namespace belvane
