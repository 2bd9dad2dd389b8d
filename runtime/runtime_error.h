#pragma once
// Fatal runtime errors 1 to 11: a box "program internal error number is %d. \r\n%s" with the
// caption "error", then ExitProgram(0). The program itself raises only 1 (index above the member
// count) and 4 (index below 1).

namespace belvane {

// Shows runtime error `number` and ends the program. Any thread.
[[noreturn]] void ReportRuntimeError(int number);

// The table's message of `number`; "" outside 1..11.
const char* RuntimeErrorMessage(int number);

}  // namespace belvane
