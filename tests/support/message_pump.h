#pragma once
// Pumps the calling thread's messages, for tests whose work arrives as posted tasks.

#include <windows.h>

namespace belvane::testing {

// Dispatches this thread's messages for `ms` milliseconds, or until `done` holds; whether it did.
template <class Done>
bool PumpUntil(Done done, int ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

}  // namespace belvane::testing
