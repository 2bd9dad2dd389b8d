#pragma once
// The computer woke from sleep: the system's power message on the main window, or the clock
// seen to jump by as much as the system's own tick count moved (a clock set forward by hand
// moves no tick). The record says who woke it, the prepared bell is made again on the output
// as it is now, and the wake timer is armed for the bell after.
//
// Thread policy: HandlePowerMessage on the user-interface thread; Resumed from any thread (it
// touches only the process's objects and posts to the main window).

#include <windows.h>

#include <cstdint>

#include "app/process_objects.h"

namespace belvane {

// The record's words for who woke the computer: our timer, or anyone else (the user).
inline constexpr const char* kWokenByTimer = "定时器";
inline constexpr const char* kWokenByUser = "用户";

// A resume seen: the first sign of each resume is recorded and acted on, the others ignored.
void Resumed(ProcessObjects& process, HWND main);
// WM_POWERBROADCAST's resumes (PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND) on `main`; true
// when the message was one.
bool HandlePowerMessage(HWND main, UINT message, WPARAM wparam);

// Whether a forward jump of the clock by `gap_seconds` is a resume, given the milliseconds the
// system's tick count moved meanwhile (`tick_ms`): it counts the time asleep, the wall clock's
// jump does not.
bool JumpIsResume(std::int64_t gap_seconds, std::uint64_t tick_ms);

}  // namespace belvane
