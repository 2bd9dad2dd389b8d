#pragma once
// While the program runs the computer must not sleep for idleness, or the bells of the day
// stay silent: the user-interface thread asks the system to stay awake at start-up and lets go
// at exit. The display may still turn off.
//
// Thread policy: user-interface thread only (the request belongs to the thread that made it).

#include <windows.h>

namespace belvane {

// The platform's SetThreadExecutionState, replaceable for tests.
using ExecutionStateSetter = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);

// The flags asked for at start-up: the system stays on, the display may sleep.
inline constexpr EXECUTION_STATE kKeepAwakeFlags = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

// The request to stay awake, owned by the application's objects; it lets go when destroyed.
class KeepAwake {
 public:
  KeepAwake() = default;
  KeepAwake(const KeepAwake&) = delete;
  KeepAwake& operator=(const KeepAwake&) = delete;
  ~KeepAwake() { LetSleep(); }

  // Asks the system to stay awake (kKeepAwakeFlags) through `setter`; again has no effect.
  void Keep(ExecutionStateSetter setter = &SetThreadExecutionState);
  // Lets the system sleep again (ES_CONTINUOUS alone) when Keep asked; safe to call twice or
  // without it.
  void LetSleep();

 private:
  ExecutionStateSetter setter_ = nullptr;  // the one that asked; null while nothing is asked
};

}  // namespace belvane
