#pragma once
// Internal to the runtime: the parts of the exit machinery other runtime modules call.

#include "runtime/process_frame.h"
#include "runtime/text_value.h"

namespace belvane {

// Runs the exit sequence and ends the process without unwinding (for paths where unwinding is
// unsafe, such as out-of-memory inside an allocation). Code 0 when a frame is recorded.
[[noreturn]] void ExitProgramDirectly(int exit_code);

// The start of every fatal failure's path (the box, then the end of the program): shows the box
// when this is the process's first failure and returns. A later failure shows no box and never
// returns: on another thread it waits for the process to end; on the thread whose box is up (a
// message handled under that box) it keeps the thread's messages flowing until the user has
// answered the box, then ends the program. During an exit sequence begun on another thread it
// waits for that sequence's end.
void ShowFatalBox(const TextValue& text, const char* caption);

// Sets the final hook that ExitProgram runs after the support libraries (the library release).
void SetFinalHook(ExitHook hook);

}  // namespace belvane
