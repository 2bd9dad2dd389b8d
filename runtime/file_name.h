#pragma once
// Whether two GBK file names name the same file, as the file system compares them: letters
// without case (ASCII and full-width Latin), every other double-byte character exactly as it
// is. A double-byte character's second byte is never folded, though it may look like a letter
// ("\x81\x41" and "\x81\x61" are two different characters).
//
// Pure: no platform call, so it serves native builds (fuzzing) too. Safe from any thread.

#include <string_view>

namespace belvane {

bool SameFileName(std::string_view a, std::string_view b);

}  // namespace belvane
