#pragma once
// The timetable file the program writes beside itself when none exists: seven exam
// announcements of a morning, 356 bytes of GBK text with CR LF line ends.

#include <string_view>

#include "runtime/byte_block.h"

namespace belvane {

// The default content's bytes (no terminating NUL counted).
std::string_view DefaultConfigBytes();

// The default content as the counted byte block that whole-file writing takes.
ByteBlock DefaultConfigText();

}  // namespace belvane
