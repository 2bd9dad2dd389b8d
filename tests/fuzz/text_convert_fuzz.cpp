// The number and time readings on any bytes: no fault, and the readings agree with each other.
// The file encoding rule on the same bytes: a mark decides; UTF-16 decodes alike in either byte
// order and always to valid UTF-8.
// fuzz-sources: runtime/text_convert.cpp
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/text_convert.h"

namespace {

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The text with its digits, signs and spaces in their GBK full-width forms.
std::string FullWidth(std::string_view text) {
  std::string wide;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      wide += '\xA3';
      wide += static_cast<char>(0xB0 + (c - '0'));
    } else if (c == '+' || c == '-') {
      wide += '\xA3';
      wide += c == '+' ? '\xAB' : '\xAD';
    } else if (c == ' ') {
      wide += "\xA1\xA1";
    } else {
      wide += c;
    }
  }
  return wide;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace belvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::int32_t plain = ParseDecimal(text);
  const std::int32_t folded = TextToInteger(text);
  SecondsFromTimeText(text);

  const std::string body(text);
  Require(DetectFileEncoding("\xEF\xBB\xBF" + body) == FileEncoding::kUtf8Marked &&
              DetectFileEncoding("\xFF\xFE" + body) == FileEncoding::kUtf16Le &&
              DetectFileEncoding("\xFE\xFF" + body) == FileEncoding::kUtf16Be,
          "a byte-order mark decides the encoding");
  std::string swapped = body.substr(0, body.size() & ~std::size_t{1});
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  const std::string from_utf16 = Utf8TextOfFile("\xFF\xFE" + body, FileEncoding::kUtf16Le);
  Require(Utf8TextOfFile("\xFE\xFF" + swapped, FileEncoding::kUtf16Be) == from_utf16,
          "UTF-16 reads alike in either byte order");
  Require(IsAscii(from_utf16) || DetectFileEncoding(from_utf16) != FileEncoding::kGbk,
          "UTF-16 decodes to valid UTF-8");

  Require(ParseDecimal(std::to_string(plain)) == plain, "a number's text reads back as it");
  if (IsAscii(text)) {
    Require(folded == plain, "text without full-width forms reads the same both ways");
    Require(TextToInteger(FullWidth(text)) == plain, "full-width digits read as single-byte ones");
  }
  // "H:M:S" of the first bytes' numbers gives their seconds.
  if (size >= 3) {
    const int h = data[0], m = data[1], s = data[2];
    const std::string time = std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(s);
    Require(SecondsFromTimeText(time) == h * 3600 + m * 60 + s, "H:M:S gives its seconds");
    Require(
        SecondsFromTimeText(FullWidth(std::to_string(m)) + ":" + std::to_string(s)) == m * 60 + s,
        "M:S with full-width digits gives its seconds");
  }
  return 0;
}
