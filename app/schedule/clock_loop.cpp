#include "app/schedule/clock_loop.h"

#include <windows.h>

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
    sleeper_.Wait(wait);
  }
}

int ClockLoop::RunCycle() {
  const ClockReading reading = clock_.Now();
  const ClockPlan plan = PlanCycle(last_checked_, SecondOfDay(reading), lookup_);
  const PassedOverSpan passed_over = PassedOverBy(plan, last_checked_, last_day_, reading.day);
  last_checked_ = plan.current_second;
  last_day_ = reading.day;

  ++stats_.cycles;
  stats_.seconds_checked += plan.checked_count;
  stats_.due_seconds += plan.due_seconds;
  if (plan.step == ClockStep::kCatchUp) ++stats_.catch_up_cycles;
  if (plan.step == ClockStep::kJump) ++stats_.jumps;

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

  // Aim at the next second from a fresh reading, so the cycle's own work does not push the
  // wake-up later; a cycle that ran into the next second goes again at once.
  const ClockReading after = clock_.Now();
  if (SecondOfDay(after) != plan.current_second) return 0;
  return MillisecondsToNextSecond(after.millisecond);
}

void ClockLoop::Stop() {
  running_.store(false);
  sleeper_.Interrupt();
}

}  // namespace belvane
