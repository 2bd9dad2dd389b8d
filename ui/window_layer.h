#pragma once
// Process-wide state of the window layer and its start-up.
//
// Thread policy (the one statement of it): the handle maps, PendingDialog, the run-time control
// id counter and the window being routed belong to the user-interface thread, the thread that
// started the layer; every access asserts it. Worker threads may call control operations: each
// is a single platform call on a window handle (SendMessageA, SetWindowTextA, ShowWindow...),
// which the platform carries out on the window's own thread while the caller waits. The layer
// holds no lock.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <unordered_map>

namespace belvane {

class WindowObject;
class FormWindow;

// A per-window message hook; a non-zero result ends the message. A plain function or a callable
// that carries its window object (a lambda capturing `this`).
using MessageHook = std::function<LRESULT(HWND window, UINT message, WPARAM wparam, LPARAM lparam)>;
// A per-control command handler: (control, notification code, control id, lParam).
using CommandHandler = LRESULT (*)(HWND control, int code, int id, LPARAM lparam);

// Map from window handle to its attached object (one entry per attached window).
class HandleRegistry {
 public:
  // Enters handle -> object; an entry left for a reused handle value is replaced.
  void Insert(HWND window, WindowObject* object);
  // The object attached to the window, or null.
  WindowObject* Find(HWND window) const;
  // Forgets the window's entry (no effect when there is none).
  void Erase(HWND window);
  // Number of entries.
  std::size_t Size() const { return map_.size(); }

 private:
  std::unordered_map<HWND, WindowObject*> map_;
};

// Starts the layer: records the UI thread and the instance handle, creates the maps, sets the
// control id counter to 500 and calls AtlAxWinInit. Returns false when AtlAxWinInit fails;
// the caller takes the program's fatal-error path then.
bool StartWindowLayer();
// Releases the maps (after the window objects are gone). Safe to call twice; called off the
// user-interface thread it leaves them to the end of the process.
void StopWindowLayer();

// Aborts the program when called off the user-interface thread (always checked).
void AssertUiThread();

// The program module's instance handle (GetModuleHandleA(nullptr)).
HINSTANCE LayerInstance();
// The registry of attached windows (UI thread only).
HandleRegistry& Registry();
// Per-window message hooks and per-control command handlers; empty in this program.
void SetMessageHook(HWND window, MessageHook hook);
void SetCommandHandler(HWND control, CommandHandler handler);

// The FormWindow whose dialog is being created, or null (UI thread only).
FormWindow* PendingDialog();
void SetPendingDialog(FormWindow* form);

// Takes the next run-time control id: 501 for the first control created after start-up.
int NextControlId();
// Sets the run-time control id counter back to 500.
void ResetControlIds();

// The window whose message is being routed (kept for the handlers' use), or null.
HWND RoutedWindow();
void SetRoutedWindow(HWND window);
// While set, every attached window shows the wait cursor.
void SetBusy(bool busy);
bool Busy();

// The window procedure every attached window gets by subclassing.
LRESULT CALLBACK SharedWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace belvane
