#include "runtime/text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/datetime.h"
#include "runtime/text_array.h"

namespace belvane {

namespace {

bool IsLeadByte(char c) {
  return static_cast<unsigned char>(c) >= 0x80;
}

std::string_view TextAt(std::uint64_t bits) {
  const char* text = reinterpret_cast<const char*>(bits);
  return text ? std::string_view(text) : std::string_view();
}

// The bytes up to the first zero byte, or all of them.
TextValue UpToZero(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  const void* zero = std::memchr(bytes, 0, size);
  return TextValue(std::string_view(
      bytes, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : size));
}

TextValue FixedPointText(double v) {
  char buffer[400];  // "%f" of the largest double is 316 bytes
  std::snprintf(buffer, sizeof buffer, "%f", v);
  return TrimFraction(buffer);
}

// Member memory of an array image {d, dims[d], members} read as bytes.
TextValue NumericArrayText(const void* image, std::size_t member_size) {
  if (image == nullptr) return {};
  const ArrayMembers members = MembersOf(image);
  return UpToZero(members.first, members.count * member_size);
}

// Whole number toward zero; the low 32 bits of the 64-bit result. Out-of-range values give the
// platform's "integer indefinite" (low bits 0) instead of undefined behaviour.
std::int32_t TruncateToInt32(double v) {
  if (!(std::fabs(v) < 9223372036854775808.0)) return 0;
  return static_cast<std::int32_t>(static_cast<std::int64_t>(v));
}

}  // namespace

ValueSlot ValueSlot::Short(std::int16_t v) {
  return {static_cast<std::uint64_t>(static_cast<std::uint16_t>(v)), ValueKind::kShort};
}

ValueSlot ValueSlot::Integer(std::int32_t v) {
  return {static_cast<std::uint64_t>(static_cast<std::uint32_t>(v)), ValueKind::kInteger};
}

ValueSlot ValueSlot::Float(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return {bits, ValueKind::kFloat};
}

ValueSlot ValueSlot::Double(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return {bits, ValueKind::kDouble};
}

ValueSlot ValueSlot::DateTime(double v) {
  ValueSlot slot = Double(v);
  slot.kind = ValueKind::kDateTime;
  return slot;
}

ValueSlot ValueSlot::Text(const TextValue& text) {
  return Text(text.CStr());
}

ValueSlot ValueSlot::Text(const char* text) {
  return {reinterpret_cast<std::uintptr_t>(text), ValueKind::kText};
}

ValueSlot ValueSlot::ByteSet(const void* image) {
  return {reinterpret_cast<std::uintptr_t>(image), ValueKind::kByteSet};
}

ValueSlot ValueSlot::Array(ValueKind member, const void* image) {
  return {reinterpret_cast<std::uintptr_t>(image), ArrayOf(member)};
}

ValueSlot ValueSlot::Routine(std::intptr_t address) {
  return {static_cast<std::uint64_t>(address), ValueKind::kRoutine};
}

double ValueSlot::AsDouble() const {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

float ValueSlot::AsFloat() const {
  const auto low = static_cast<std::uint32_t>(bits);
  float v;
  std::memcpy(&v, &low, sizeof v);
  return v;
}

ArrayMembers MembersOf(const void* image) {
  const auto* words = static_cast<const std::uint32_t*>(image);
  const std::uint32_t dimensions = words[0];
  std::size_t count = dimensions == 0 ? 0 : 1;
  for (std::uint32_t i = 0; i < dimensions; ++i) count *= words[1 + i];
  return {words + 1 + dimensions, count};
}

std::size_t TextLength(const char* text) {
  return text ? std::strlen(text) : 0;
}

int text_detail::Compare(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char> compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

TextValue text_detail::Concat(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  std::string bytes;
  bytes.reserve(total);
  for (std::string_view part : parts) bytes.append(part);
  return TextValue(std::move(bytes));
}

TextValue RightText(const TextValue& t, int n) {
  if (t.IsEmpty() || n <= 0) return {};
  const std::string_view view = t.View();
  if (static_cast<std::size_t>(n) >= view.size()) return t;
  return TextValue(view.substr(view.size() - static_cast<std::size_t>(n)));
}

TextValue SpaceText(int n) {
  if (n < 1) return {};
  return TextValue(std::string(static_cast<std::size_t>(n), ' '));
}

TextArray SplitText(const TextValue& t, const TextValue& delimiter, std::optional<int> max_parts) {
  TextArray parts;
  int limit = max_parts ? (*max_parts < 0 ? 0 : *max_parts) : -1;  // -1: no limit
  if (t.IsEmpty() || limit == 0) return parts;
  if (delimiter.IsEmpty()) {
    parts.Append(t);
    return parts;
  }
  const std::string_view text = t.View();
  const std::string_view delim = delimiter.View();
  std::size_t start = 0;
  std::size_t pos = 0;
  while (text.size() - pos >= delim.size()) {
    if (text.compare(pos, delim.size(), delim) == 0) {
      parts.Append(TextValue(text.substr(start, pos - start)));
      pos += delim.size();
      start = pos;
      if (limit > 0 && --limit == 0) break;
    } else if (IsLeadByte(text[pos])) {
      if (pos + 1 >= text.size()) break;  // a lead byte with nothing after it ends the walk
      pos += 2;
    } else {
      pos += 1;
    }
  }
  if (start < text.size() && limit != 0) parts.Append(TextValue(text.substr(start)));
  return parts;
}

TextValue TrimFraction(std::string_view fixed_point) {
  if (fixed_point.empty()) return {};
  std::size_t last = fixed_point.size() - 1;
  while (fixed_point[last] == '0') {
    if (last == 0) return TextValue(fixed_point);  // all zeros: nothing changes
    --last;
  }
  if (fixed_point[last] == '.') return TextValue(fixed_point.substr(0, last));
  return TextValue(fixed_point.substr(0, last + 1));
}

TextValue IntegerText(std::int32_t v) {
  return TextValue(std::to_string(v));
}

TextValue ToText(const ValueSlot& value) {
  const std::uint32_t kind = static_cast<std::uint32_t>(value.kind);
  if (kind & kArrayKindFlag) {
    switch (static_cast<ValueKind>(kind & ~kArrayKindFlag)) {
      case ValueKind::kByte:
        return NumericArrayText(value.AsAddress(), 1);
      case ValueKind::kShort:
        return NumericArrayText(value.AsAddress(), 2);
      case ValueKind::kInteger:
        return NumericArrayText(value.AsAddress(), 4);
      case ValueKind::kLong:
        return NumericArrayText(value.AsAddress(), 8);
      case ValueKind::kRoutine:  // routine members hold addresses: pointer-sized here
        return NumericArrayText(value.AsAddress(), sizeof(void*));
      default:
        return {};
    }
  }
  switch (value.kind) {
    case ValueKind::kInteger:
      return IntegerText(value.AsInt32());
    case ValueKind::kRoutine:
      return TextValue(std::to_string(static_cast<std::int64_t>(value.bits)));
    case ValueKind::kByte:
      return IntegerText(static_cast<std::uint8_t>(value.bits));
    case ValueKind::kShort:
      return IntegerText(static_cast<std::int16_t>(value.bits));
    case ValueKind::kLong:
      return TextValue(std::to_string(static_cast<std::int64_t>(value.bits)));
    case ValueKind::kFloat:
      return FixedPointText(value.AsFloat());
    case ValueKind::kDouble:
      return FixedPointText(value.AsDouble());
    case ValueKind::kLogical:
      return TextValue(value.AsInt32() != 0 ? "真" : "假");
    case ValueKind::kDateTime:
      return DateText(value.AsDouble());
    case ValueKind::kText:
      return TextValue(TextAt(value.bits));
    case ValueKind::kByteSet: {
      const auto* image = static_cast<const std::uint32_t*>(value.AsAddress());
      if (image == nullptr) return {};
      return UpToZero(image + 2, image[1]);
    }
    default:
      return {};
  }
}

std::int32_t ToInteger(const ValueSlot& value) {
  switch (value.kind) {
    case ValueKind::kText:
      return TextToInteger(TextAt(value.bits));
    case ValueKind::kLogical:
    case ValueKind::kInteger:
    case ValueKind::kRoutine:
    case ValueKind::kLong:
      return value.AsInt32();
    case ValueKind::kByte:
      return static_cast<std::uint8_t>(value.bits);
    case ValueKind::kShort:
      return static_cast<std::int16_t>(value.bits);
    case ValueKind::kFloat:
      return TruncateToInt32(value.AsFloat());
    case ValueKind::kDouble:
      return TruncateToInt32(value.AsDouble());
    default:
      return 0;
  }
}

}  // namespace belvane
