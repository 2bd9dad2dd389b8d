#include "runtime/text_convert.h"

#include <string>
#include <vector>

namespace belvane {
namespace {

bool IsLeadByte(unsigned char c) {
  return c >= 0x80;
}

// The single-byte form of the GBK pair lead, trail where it matters to a number (digits,
// signs, the ideographic space); any other character becomes a byte that ends a number.
char HalfWidthOf(unsigned char lead, unsigned char trail) {
  if (lead == 0xA3) {
    if (trail >= 0xB0 && trail <= 0xB9) return static_cast<char>('0' + (trail - 0xB0));
    if (trail == 0xAB) return '+';
    if (trail == 0xAD) return '-';
  }
  if (lead == 0xA1 && trail == 0xA1) return ' ';
  return 'x';
}

// The parts between ":"s; a trailing empty part is not one, and a lead byte with nothing after
// it ends the walk (the runtime's SplitText rules).
std::vector<std::string_view> SplitAtColons(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ':') {
      parts.push_back(text.substr(start, pos - start));
      start = ++pos;
    } else if (IsLeadByte(static_cast<unsigned char>(text[pos]))) {
      if (pos + 1 >= text.size()) break;
      pos += 2;
    } else {
      ++pos;
    }
  }
  if (start < text.size()) parts.push_back(text.substr(start));
  return parts;
}

}  // namespace

std::int32_t ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t v = 0;  // unsigned: wraps modulo 2^32 without undefined behaviour
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  return static_cast<std::int32_t>(negative ? 0u - v : v);
}

std::int32_t TextToInteger(std::string_view text) {
  std::size_t first_wide = 0;
  while (first_wide < text.size() && !IsLeadByte(static_cast<unsigned char>(text[first_wide]))) {
    ++first_wide;
  }
  if (first_wide == text.size()) return ParseDecimal(text);
  std::string half(text.substr(0, first_wide));
  half.reserve(text.size());
  for (std::size_t i = first_wide; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) {
      half += HalfWidthOf(c, static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      half += IsLeadByte(c) ? 'x' : static_cast<char>(c);
      ++i;
    }
  }
  return ParseDecimal(half);
}

int SecondsFromTimeText(std::string_view text) {
  const std::vector<std::string_view> parts = SplitAtColons(text);
  auto number = [&parts](std::size_t i) { return std::int64_t{TextToInteger(parts[i])}; };
  std::int64_t seconds = 0;
  if (parts.size() == 2) {
    seconds = number(0) * 60 + number(1);
  } else if (parts.size() == 3) {
    seconds = number(0) * 3600 + number(1) * 60 + number(2);
  } else {
    seconds = TextToInteger(text);
  }
  // The low 32 bits, as every whole-number conversion of the program gives them.
  return static_cast<int>(static_cast<std::uint32_t>(seconds));
}

}  // namespace belvane
