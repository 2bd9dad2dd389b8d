#pragma once
// The single routing point of every message box of the program. Nothing else calls the
// platform's MessageBox. A test installs an observer that records each request and answers it,
// so no test waits on a modal box; with no observer the real box is shown (through MessageBoxW,
// text converted from GBK), which a black-box test can answer from outside: find it with
// FindWindowW(L"#32770", caption) and post WM_COMMAND with the button id (IDOK, IDCANCEL).
// Thread safety: safe from any thread; the observer is called on the caller's thread.

#include <windows.h>

#include <functional>

#include "runtime/text.h"
#include "runtime/text_value.h"

namespace belvane {

// One message box as the program asked for it.
struct MessageBoxRequest {
  HWND owner = nullptr;
  TextValue text;
  TextValue caption;
  unsigned style = 0;  // MB_* bits
};

// Answers a request with the platform button code (IDOK, IDCANCEL, ...).
using MessageBoxObserver = std::function<int(const MessageBoxRequest&)>;

// Shows a modal box (or hands it to the observer); returns the platform button code
// (IDOK = 1, IDCANCEL = 2, ...), or 0 when the box could not be shown.
int ShowMessageBox(HWND owner, const TextValue& text, const TextValue& caption, unsigned style);

// Answers with OK every box with an OK button alone that the calling thread shows now (boxes
// waiting on this thread's stack, under `keep`, a dialog of the same class that is not a box).
// For a program that is ending: a box left up would hold its loop, and the process with it.
// Returns how many were answered.
int AnswerThreadInfoBoxes(HWND keep);

// Installs the process-wide observer (an empty one restores real boxes); returns the previous.
MessageBoxObserver SetMessageBoxObserver(MessageBoxObserver observer);

// Installs an observer for its lifetime and restores the previous one after.
class ScopedMessageBoxObserver {
 public:
  explicit ScopedMessageBoxObserver(MessageBoxObserver observer)
      : previous_(SetMessageBoxObserver(std::move(observer))) {}
  ~ScopedMessageBoxObserver() { SetMessageBoxObserver(std::move(previous_)); }
  ScopedMessageBoxObserver(const ScopedMessageBoxObserver&) = delete;
  ScopedMessageBoxObserver& operator=(const ScopedMessageBoxObserver&) = delete;

 private:
  MessageBoxObserver previous_;
};

// The program's generic message: content of any kind (numbers, logical, date-time as by ToText;
// a text unchanged; byte sets and arrays show nothing). style left out = 0 (MB_OK). caption left
// out = "信息" (a given non-text caption is converted with ToText). owner is used when given with
// kind integer (a window handle), else no owner. Returns the button code minus 1: OK 0,
// Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6.
int ShowMessage(const ValueSlot& content, const ValueSlot& style = {},
                const ValueSlot& caption = {}, const ValueSlot& owner = {});

// The owner slot of a window handle (kind integer, the handle's 32 significant bits).
ValueSlot OwnerSlot(HWND owner);

}  // namespace belvane
