#pragma once
// Internal: the running program's file name and GBK-aware path cutting.

#include <string>
#include <string_view>

namespace belvane {

// Full path of the running program file (any length).
std::string ModuleFileName();

// Position of the last "\" that is a character of its own (never the trail byte of a GBK
// double-byte character); npos when there is none.
std::size_t LastBackslash(std::string_view path);

}  // namespace belvane
