#include "app/schedule/clock_loop.h"

#include <windows.h>
#include <mmsystem.h>

// Not in every SDK's headers yet; the platforms without it refuse the flag, which is the test.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace belvane {

ClockReading SystemClock::Now() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  FILETIME stamp{};
  ::SystemTimeToFileTime(&now, &stamp);
  // 100 ns units since 1601 -> days, so the loop can tell a clock moved on from one moved back.
  const ULONGLONG ticks = (ULONGLONG{stamp.dwHighDateTime} << 32) | stamp.dwLowDateTime;
  const int day = static_cast<int>(ticks / (10000000ULL * kSecondsPerDay));
  return ClockReading{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, day};
}

EventSleeper::EventSleeper() : event_(NewManualResetEvent()) {}

void EventSleeper::Wait(int milliseconds) {
  const int timeout = milliseconds > 0 ? milliseconds : 0;
  if (event_) {
    WaitForHandle(event_.Ref(), timeout);
  } else {
    ::Sleep(static_cast<DWORD>(timeout));
  }
}

void EventSleeper::WaitPrecise(int milliseconds) {
  LARGE_INTEGER frequency{}, start{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const auto elapsed_ms = [&] {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
  };
  const int timeout = milliseconds > 0 ? milliseconds : 0;
  if (timeout > kPreciseWindowMs) {
    // The coarse part; a Stop during it ends the whole wait.
    if (event_ && WaitForHandle(event_.Ref(), timeout - kPreciseWindowMs)) return;
    if (!event_) ::Sleep(static_cast<DWORD>(timeout - kPreciseWindowMs));
  }
  if (!timer_tried_) {
    timer_tried_ = true;
    timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                        TIMER_ALL_ACCESS));
    timer_high_resolution_ = static_cast<bool>(timer_);
    if (!timer_) timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS));
  }
  const double left_ms = timeout - elapsed_ms();
  if (left_ms <= 0) return;
  if (!timer_ || !event_) {
    Wait(static_cast<int>(left_ms + 0.999));
    return;
  }
  if (left_ms > kSpinMs) {
    // Relative due time in 100 ns units, negative.
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>((left_ms - kSpinMs) * 10000.0);
    if (!timer_high_resolution_) timeBeginPeriod(1);
    DWORD woke = WAIT_TIMEOUT;
    if (SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE)) {
      HANDLE both[2] = {event_.Get(), timer_.Get()};
      woke = WaitForMultipleObjects(2, both, FALSE, static_cast<DWORD>(left_ms) + 50);
    } else if (WaitForHandle(event_.Ref(), static_cast<int>(left_ms - kSpinMs))) {
      woke = WAIT_OBJECT_0;
    }
    if (!timer_high_resolution_) timeEndPeriod(1);
    if (woke == WAIT_OBJECT_0) return;  // stopped
  }
  // The last moments are spun on the performance counter: a timer ends a millisecond or more
  // late, on a loaded machine more, and the bell waits for this wake. The stop is still heard:
  // asking for the event also keeps the system (under Wine, its server) awake for the post at
  // the second; reading a flag instead measured 0.2 to 0.4 ms later at the median.
  for (unsigned spins = 0; elapsed_ms() < timeout; ++spins) {
    if (spins % 256 == 255 && WaitForHandle(event_.Ref(), 0)) return;
    YieldProcessor();
  }
}

void EventSleeper::Interrupt() {
  SignalEvent(event_.Ref());
}

ClockLoop::ClockLoop(ClockSource& clock, Sleeper& sleeper, const StartTimeLookup& lookup,
                     ClockSink& sink, std::atomic<bool>& running)
    : clock_(clock), sleeper_(sleeper), lookup_(lookup), sink_(sink), running_(running) {}

void ClockLoop::Run() {
  while (running_.load()) {
    const int wait = RunCycle();
    if (!running_.load()) break;
    if (next_wait_precise_) {
      sleeper_.WaitPrecise(wait);
    } else {
      sleeper_.Wait(wait);
    }
  }
}

int ClockLoop::RunCycle() {
  const ClockReading reading = clock_.Now();
  // The day's timetable is in place before any of its seconds is looked up.
  if (reading.day != 0 && reading.day != told_day_) {
    told_day_ = reading.day;
    sink_.DayBegins(reading.day);
  }
  // A day of 0 is a clock that does not tell it.
  const int days_on = reading.day != 0 && last_day_ != 0 ? reading.day - last_day_ : kDaysUntold;
  const ClockPlan plan = PlanCycle(last_checked_, SecondOfDay(reading), lookup_, days_on);
  const PassedOverSpan passed_over = PassedOverBy(plan, last_checked_, last_day_, reading.day);
  // Stepped back: the second held is still the one of the day it was checked on.
  if (plan.step != ClockStep::kSteppedBack) last_day_ = reading.day;
  last_checked_ = plan.last_checked;

  ++stats_.cycles;
  stats_.seconds_checked += plan.checked_count;
  stats_.due_seconds += plan.due_seconds;
  if (plan.step == ClockStep::kCatchUp) ++stats_.catch_up_cycles;
  if (plan.step == ClockStep::kJump || plan.step == ClockStep::kSteppedBack) ++stats_.jumps;

  // The row first: the label can wait a few milliseconds, the bell should not.
  if (plan.start_row >= 0) {
    ++stats_.rows_started;
    sink_.StartRow(plan.start_row, ClockText(plan.start_second));
  }
  if (passed_over.count > 0) sink_.PassedOver(passed_over);
  std::string text = ClockText(plan.current_second);
  if (text != shown_) {
    sink_.ShowTime(text);
    shown_ = std::move(text);
  }
  if (plan.checked_count > 0) sink_.LookAhead(plan.current_second);

  // Aim at the next second from a fresh reading, so the cycle's own work does not push the
  // wake-up later; a cycle that ran into the next second goes again at once.
  const ClockReading after = clock_.Now();
  next_wait_precise_ = false;
  if (SecondOfDay(after) != plan.current_second) return 0;
  next_wait_precise_ = lookup_.FirstRowAt(ClockText(plan.current_second + 1)) >= 0;
  return MillisecondsToNextSecond(after.millisecond,
                                  next_wait_precise_ ? kDueWakeMarginMs : kWakeMarginMs);
}

void ClockLoop::Stop() {
  running_.store(false);
  sleeper_.Interrupt();
}

}  // namespace belvane
