#pragma once
// The running program's file name, GBK-aware path cutting, and path comparison.

#include <string>
#include <string_view>

namespace belvane {

// Full path of the running program file (any length).
std::string ModuleFileName();

// Position of the last "\" that is a character of its own (never the trail byte of a GBK
// double-byte character); npos when there is none.
std::size_t LastBackslash(std::string_view path);

// A path in the form two spellings of the same file or folder share, as the file system compares
// names: "/" as "\\", no trailing separator, upper case by the system's own table (so that
// full-width and other non-ASCII letters fold too, and GBK trail bytes never do).
std::wstring PathIdentity(std::wstring_view path);

}  // namespace belvane
