#pragma once
// The one place where GBK text meets UTF-16. The program's text is GBK (code page 936) throughout;
// wide text exists only at the platform boundary, on the way into or out of a W function.

#include <optional>
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

// UTF-8 to UTF-16 and back; an invalid UTF-8 sequence becomes a replacement character.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// UTF-8 to GBK when GBK holds every character of it; nothing when it lacks one.
std::optional<std::string> ExactGbkFromUtf8(std::string_view utf8);

// A file's text as the program's GBK, the file read in the encoding DetectFileEncoding names
// (runtime/text_convert.h); a character GBK lacks becomes "?".
std::string GbkTextOfFile(std::string_view bytes);

// A character of a file read as UTF-8 or UTF-16 that the file, saved as GBK, would lose.
struct CharacterGbkLacks {
  char32_t code = 0;
  int line = 0;  // from 1
};
// The first such character of the file's text (an invalid UTF-8 sequence counts as U+FFFD);
// nothing for a GBK file or one whose every character GBK holds.
std::optional<CharacterGbkLacks> FirstCharacterGbkLacks(std::string_view file_bytes);
// "U+00E9", "U+1F600".
std::string CharacterCodeText(char32_t code);

}  // namespace belvane
