#pragma once
// The exam-hall clock (app/calendar/exam_hall_window.h) over the application's day: today's
// sessions as last worked out and the rows the clock rings today.
//
// Thread policy: user-interface thread only.

#include <windows.h>

namespace belvane {

// Runs the clock over `owner` until it is closed.
void OpenExamHallClock(HWND owner);

}  // namespace belvane
