#pragma once
// Internal to the runtime: the parts of the exit machinery other runtime modules call.

#include "runtime/process_frame.h"

namespace belvane {

// Runs the exit sequence and ends the process without unwinding (for paths where unwinding is
// unsafe, such as out-of-memory inside an allocation). Code 0 when a frame is recorded.
[[noreturn]] void ExitProgramDirectly(int exit_code);

// Sets the final hook that ExitProgram runs after the support libraries (the library release).
void SetFinalHook(ExitHook hook);

}  // namespace belvane
