#include "app/waking.h"

#include "app/app_objects.h"
#include "app/calendar/wake_timer.h"
#include "app/schedule/clock_planner.h"
#include "ui/ui_task.h"

namespace belvane {

void Resumed(ProcessObjects& process, HWND main) {
  if (!process.wake_timer.FirstSignOfResume(GetTickCount64())) return;
  const bool ours = process.wake_timer.WokeAt(LocalClockSecondNow());
  process.bell_record.Wake(ours ? kWokenByTimer : kWokenByUser);
  process.bell_worker.CheckAfterResume();
  // The timer has fired, or the time may have moved on past its bell: armed again.
  PostUiTask(main, [] {
    if (HaveAppObjects()) App().today.RearmWake();
  });
}

bool HandlePowerMessage(HWND main, UINT message, WPARAM wparam) {
  if (message != WM_POWERBROADCAST ||
      (wparam != PBT_APMRESUMEAUTOMATIC && wparam != PBT_APMRESUMESUSPEND))
    return false;
  Resumed(TheProcessObjects(), main);
  return true;
}

bool JumpIsResume(std::int64_t gap_seconds, std::uint64_t tick_ms) {
  // Beyond what the clock catches up by itself, and mostly time the tick count also saw.
  return gap_seconds > kMaxCatchUpSeconds &&
         static_cast<std::int64_t>(tick_ms / 1000) * 2 >= gap_seconds;
}

}  // namespace belvane
