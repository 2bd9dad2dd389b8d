#pragma once
// The one place where GBK text meets UTF-16. The program's text is GBK (code page 936) throughout;
// wide text exists only at the platform boundary, on the way into or out of a W function.

#include <string>
#include <string_view>

#include "runtime/text_value.h"

namespace belvane {

// Code page of every narrow text in the program: GBK, Simplified Chinese.
inline constexpr unsigned kGbkCodePage = 936;

// GBK bytes to UTF-16; an invalid byte sequence becomes a replacement character (never fails).
std::wstring WideFromGbk(std::string_view gbk);

// UTF-16 to GBK; each UTF-16 unit GBK lacks becomes "?" (never fails).
TextValue GbkFromWide(std::wstring_view wide);

// Whether two GBK file names name the same file, as the file system compares them: ASCII letters
// without case, a double-byte character byte for byte (its second byte may look like a letter).
bool SameGbkFileName(std::string_view a, std::string_view b);

}  // namespace belvane
