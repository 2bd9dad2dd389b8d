#include "app/calendar/wake_timer.h"

#include <windows.h>
#include <powrprof.h>

#include "app/schedule/clock_planner.h"
#include "runtime/late_binding.h"

namespace belvane {

namespace {

// A timer that fired longer ago than this did not wake the computer now.
constexpr std::int64_t kWokeWithinSeconds = 10 * 60;

// Clock seconds are local seconds since 1601-01-01, FILETIME's own start: the local FILETIME is
// the count in 100 ns units, turned into the system's (UTC) time for the date it names.
std::optional<FILETIME> SystemFileTimeOf(std::int64_t local_second) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(local_second) * 10000000ULL;
  FILETIME local{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME local_time{};
  SYSTEMTIME utc{};
  FILETIME result{};
  if (!FileTimeToSystemTime(&local, &local_time) ||
      !TzSpecificLocalTimeToSystemTime(nullptr, &local_time, &utc) ||
      !SystemTimeToFileTime(&utc, &result))
    return std::nullopt;
  return result;
}

}  // namespace

WakeTimer::WakeTimer() : timer_(CreateWaitableTimerW(nullptr, TRUE, nullptr)) {}

bool WakeTimer::Arm(std::uint64_t number, const std::optional<WakeTime>& wake) {
  std::lock_guard lock(mutex_);
  if (number < number_) return armed_ == wake && wake.has_value();
  number_ = number;
  if (!timer_) return false;
  if (armed_ == wake) return wake.has_value();
  if (!wake) {
    CancelWaitableTimer(timer_.Get());
    armed_.reset();
    return false;
  }
  const std::optional<FILETIME> due = SystemFileTimeOf(wake->wake);
  if (!due) return false;
  LARGE_INTEGER when{};
  when.LowPart = due->dwLowDateTime;
  when.HighPart = static_cast<LONG>(due->dwHighDateTime);
  // fResume: the system leaves sleep for it. A platform that cannot wake still arms the timer
  // (and says ERROR_NOT_SUPPORTED); the power plan's own answer is told apart at start-up.
  if (!SetWaitableTimer(timer_.Get(), &when, 0, nullptr, nullptr, TRUE)) {
    armed_.reset();
    return false;
  }
  armed_ = wake;
  return true;
}

std::optional<WakeTime> WakeTimer::Armed() {
  std::lock_guard lock(mutex_);
  return armed_;
}

bool WakeTimer::WokeAt(std::int64_t now) {
  std::lock_guard lock(mutex_);
  if (!timer_ || !armed_) return false;
  if (now < armed_->wake || now - armed_->wake > kWokeWithinSeconds) return false;
  return WaitForHandle(timer_.Ref(), 0);
}

bool WakeTimer::FirstSignOfResume(std::uint64_t tick_ms) {
  std::lock_guard lock(mutex_);
  if (resumed_at_ && tick_ms - *resumed_at_ < kSameResumeMs) return false;
  resumed_at_ = tick_ms;
  return true;
}

bool WakeTimersForbidden() {
  // Bound late: a platform without them cannot say.
  const auto active = reinterpret_cast<decltype(&PowerGetActiveScheme)>(
      FindLibraryFunction("powrprof", "PowerGetActiveScheme"));
  const auto read = reinterpret_cast<decltype(&PowerReadACValueIndex)>(
      FindLibraryFunction("powrprof", "PowerReadACValueIndex"));
  if (active == nullptr || read == nullptr) return false;
  // GUID_SLEEP_SUBGROUP and GUID_ALLOW_RTC_WAKE, written out so no GUID library is linked.
  static constexpr GUID kSleep = {
      0x238c9fa8, 0x0aad, 0x41ed, {0x83, 0xf4, 0x97, 0xbe, 0x24, 0x2c, 0x8f, 0x20}};
  static constexpr GUID kAllowWake = {
      0xbd3b718a, 0x0680, 0x4d9d, {0x8a, 0xb2, 0xe1, 0xd2, 0xb4, 0xac, 0x80, 0x6d}};
  GUID* scheme = nullptr;
  if (active(nullptr, &scheme) != ERROR_SUCCESS || scheme == nullptr) return false;
  DWORD value = 1;
  const DWORD result = read(nullptr, scheme, &kSleep, &kAllowWake, &value);
  LocalFree(scheme);
  // 1 enables them; 0 disables them, and 2 allows only the system's important ones, not ours.
  return result == ERROR_SUCCESS && value != 1;
}

std::int64_t LocalClockSecondNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME local{};
  if (!SystemTimeToFileTime(&now, &local)) return 0;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000ULL);
}

}  // namespace belvane
