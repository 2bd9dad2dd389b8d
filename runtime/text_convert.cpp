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

namespace {

// Length of the valid UTF-8 sequence at text[i] (shortest form, no surrogate, at most U+10FFFF);
// 0 when none starts there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto at = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the byte after the lead
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // shorter forms
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  }
  return length;
}

// Valid UTF-8 with at least one multi-byte character.
bool IsMultiByteUtf8(std::string_view text) {
  bool multi_byte = false;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    multi_byte = multi_byte || length > 1;
    i += length;
  }
  return multi_byte;
}

std::string Utf8FromUtf16Bytes(std::string_view units, bool little_end_first) {
  const std::size_t count = units.size() / 2;
  const auto unit = [&](std::size_t k) -> char32_t {
    const auto a = static_cast<unsigned char>(units[2 * k]);
    const auto b = static_cast<unsigned char>(units[2 * k + 1]);
    return little_end_first ? (a | b << 8) : (b | a << 8);
  };
  std::string out;
  out.reserve(units.size() * 3 / 2);
  for (std::size_t k = 0; k < count; ++k) {
    char32_t c = unit(k);
    if (c >= 0xD800 && c < 0xDC00 && k + 1 < count && unit(k + 1) >= 0xDC00 &&
        unit(k + 1) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

FileEncoding DetectFileEncoding(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return FileEncoding::kUtf8Marked;
  if (bytes.starts_with("\xFF\xFE")) return FileEncoding::kUtf16Le;
  if (bytes.starts_with("\xFE\xFF")) return FileEncoding::kUtf16Be;
  return IsMultiByteUtf8(bytes) ? FileEncoding::kUtf8 : FileEncoding::kGbk;
}

std::string Utf8TextOfFile(std::string_view bytes, FileEncoding encoding) {
  switch (encoding) {
    case FileEncoding::kGbk:
    case FileEncoding::kUtf8:
      return std::string(bytes);
    case FileEncoding::kUtf8Marked:
      return std::string(bytes.substr(3));
    case FileEncoding::kUtf16Le:
    case FileEncoding::kUtf16Be:
      return Utf8FromUtf16Bytes(bytes.substr(2), encoding == FileEncoding::kUtf16Le);
  }
  return std::string(bytes);
}

}  // namespace belvane
