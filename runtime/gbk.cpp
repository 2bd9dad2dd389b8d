#include "runtime/gbk.h"

#include <windows.h>

#include <cstdio>

#include "runtime/text_convert.h"

namespace belvane {

namespace {

// Narrow text of code page `page` to UTF-16 and back; invalid input is replaced, never fails.
std::wstring WideFrom(unsigned page, std::string_view narrow) {
  if (narrow.empty()) return {};
  const int size = static_cast<int>(narrow.size());
  const int needed = MultiByteToWideChar(page, 0, narrow.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(page, 0, narrow.data(), size, wide.data(), needed);
  return wide;
}

std::string NarrowFrom(unsigned page, std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(page, 0, wide.data(), size, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::wstring WideFromGbk(std::string_view gbk) {
  return WideFrom(kGbkCodePage, gbk);
}

TextValue GbkFromWide(std::wstring_view wide) {
  return TextValue(NarrowFrom(kGbkCodePage, wide));
}

std::wstring WideFromUtf8(std::string_view utf8) {
  return WideFrom(CP_UTF8, utf8);
}

std::string Utf8FromWide(std::wstring_view wide) {
  return NarrowFrom(CP_UTF8, wide);
}

namespace {

// Units of the character at wide[i]: 2 for a surrogate pair, else 1.
std::size_t UnitsAt(std::wstring_view wide, std::size_t i) {
  const bool pair = wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size() &&
                    wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
  return pair ? 2 : 1;
}

// GBK holds the text when it comes back unchanged: a round trip also catches the platform's
// "best fit" forms (a similar character put in place of one GBK lacks).
bool GbkHolds(std::wstring_view wide) {
  return WideFromGbk(GbkFromWide(wide).View()) == wide;
}

// Index of the first character of `wide` that GBK lacks, or npos.
std::size_t FirstUnitGbkLacks(std::wstring_view wide) {
  if (GbkHolds(wide)) return std::wstring_view::npos;
  for (std::size_t i = 0; i < wide.size(); i += UnitsAt(wide, i)) {
    if (!GbkHolds(wide.substr(i, UnitsAt(wide, i)))) return i;
  }
  return std::wstring_view::npos;
}

}  // namespace

std::optional<std::string> ExactGbkFromUtf8(std::string_view utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  TextValue gbk = GbkFromWide(wide);
  if (WideFromGbk(gbk.View()) != wide) return std::nullopt;
  return gbk.Bytes();
}

std::string GbkTextOfFile(std::string_view bytes) {
  const FileEncoding encoding = DetectFileEncoding(bytes);
  if (encoding == FileEncoding::kGbk) return std::string(bytes);
  return GbkFromWide(WideFromUtf8(Utf8TextOfFile(bytes, encoding))).Bytes();
}

std::optional<CharacterGbkLacks> FirstCharacterGbkLacks(std::string_view file_bytes) {
  const FileEncoding encoding = DetectFileEncoding(file_bytes);
  if (encoding == FileEncoding::kGbk) return std::nullopt;
  const std::wstring wide = WideFromUtf8(Utf8TextOfFile(file_bytes, encoding));
  const std::size_t at = FirstUnitGbkLacks(wide);
  if (at == std::wstring_view::npos) return std::nullopt;
  CharacterGbkLacks found;
  found.code = UnitsAt(wide, at) == 2
                   ? 0x10000 + ((static_cast<char32_t>(wide[at]) - 0xD800) << 10) +
                         (static_cast<char32_t>(wide[at + 1]) - 0xDC00)
                   : static_cast<char32_t>(wide[at]);
  // Lines as Notepad counts them: CR LF, a lone CR and a lone LF each end one.
  found.line = 1;
  for (std::size_t i = 0; i < at; ++i) {
    if (wide[i] == L'\n' || (wide[i] == L'\r' && (i + 1 >= wide.size() || wide[i + 1] != L'\n')))
      ++found.line;
  }
  return found;
}

std::string CharacterCodeText(char32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

}  // namespace belvane
