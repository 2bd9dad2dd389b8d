#pragma once
// Value kinds, the generic value slot, and the operations on texts that the program's logic calls:
// concatenation, comparison, number/text conversion, splitting, right end, blanks.
// All lengths, positions and comparisons are in bytes of GBK text.
// Thread safety: every function here is safe from any thread (no shared state).

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "runtime/text_array.h"
#include "runtime/text_convert.h"
#include "runtime/text_value.h"

namespace belvane {

// How a value slot is to be read. Codes are fixed: support libraries see them.
enum class ValueKind : std::uint32_t {
  kAbsent = 0,  // an argument the caller left out
  kByte = 0x80000101,
  kShort = 0x80000201,
  kInteger = 0x80000301,
  kLong = 0x80000401,
  kFloat = 0x80000501,
  kDouble = 0x80000601,
  kLogical = 0x80000002,
  kDateTime = 0x80000003,
  kText = 0x80000004,
  kByteSet = 0x80000005,
  kRoutine = 0x80000006,
};

// True for the kinds whose value sits in the slot's own 64 bits (numbers, logical, date-time,
// routine); false for texts, byte sets, arrays and an absent slot.
constexpr bool IsScalarKind(ValueKind kind) {
  switch (kind) {
    case ValueKind::kByte:
    case ValueKind::kShort:
    case ValueKind::kInteger:
    case ValueKind::kLong:
    case ValueKind::kFloat:
    case ValueKind::kDouble:
    case ValueKind::kLogical:
    case ValueKind::kDateTime:
    case ValueKind::kRoutine:
      return true;
    default:
      return false;
  }
}

// Set in a kind to mark an array of that kind.
inline constexpr std::uint32_t kArrayKindFlag = 0x20000000;

// The array kind whose members have kind `member`.
constexpr ValueKind ArrayOf(ValueKind member) {
  return static_cast<ValueKind>(static_cast<std::uint32_t>(member) | kArrayKindFlag);
}

// One argument or result: 64 bits of value and the kind that says how to read them.
// Text and byte-set slots borrow: they hold the address of NUL-terminated GBK bytes / of a
// {1, n, bytes} image (0 = empty). Array slots hold the address of an array image
// {uint32 d, uint32 dims[d], members}. The layout is shared with support libraries.
struct ValueSlot {
  std::uint64_t bits = 0;
  ValueKind kind = ValueKind::kAbsent;

  static ValueSlot Absent() { return {}; }
  static ValueSlot Byte(std::uint8_t v) { return {v, ValueKind::kByte}; }
  static ValueSlot Short(std::int16_t v);
  static ValueSlot Integer(std::int32_t v);
  static ValueSlot Long(std::int64_t v) {
    return {static_cast<std::uint64_t>(v), ValueKind::kLong};
  }
  static ValueSlot Float(float v);
  static ValueSlot Double(double v);
  static ValueSlot Logical(bool v) { return {v ? 1u : 0u, ValueKind::kLogical}; }
  static ValueSlot DateTime(double v);
  // Borrows `text`: the slot is valid while the text lives and is unchanged.
  static ValueSlot Text(const TextValue& text);
  // Borrows NUL-terminated bytes (null = empty text).
  static ValueSlot Text(const char* text);
  // Borrows a {1, n, bytes} image (null = empty byte set).
  static ValueSlot ByteSet(const void* image);
  // Borrows an array image whose members have kind `member`.
  static ValueSlot Array(ValueKind member, const void* image);
  static ValueSlot Routine(std::intptr_t address);

  bool IsGiven() const { return kind != ValueKind::kAbsent; }
  std::int32_t AsInt32() const { return static_cast<std::int32_t>(bits); }
  double AsDouble() const;
  float AsFloat() const;
  const void* AsAddress() const { return reinterpret_cast<const void*>(bits); }
};

// The members of an array image {uint32 d, uint32 dims[d], members}: where they start and how
// many there are (the product of the dimensions; 0 when d is 0).
struct ArrayMembers {
  const void* first;
  std::size_t count;
};
ArrayMembers MembersOf(const void* image);

// Bytes before the NUL; 0 for null.
std::size_t TextLength(const char* text);

namespace text_detail {
inline std::string_view ViewOf(const TextValue& t) {
  return t.View();
}
inline std::string_view ViewOf(std::string_view t) {
  return t;
}
inline std::string_view ViewOf(const char* t) {
  return t ? std::string_view(t) : std::string_view();
}
TextValue Concat(std::initializer_list<std::string_view> parts);
int Compare(std::string_view a, std::string_view b);
}  // namespace text_detail

// Compares unsigned bytes: -1, 0 or 1 (operands: TextValue, string_view or const char*).
// Null and empty texts are equal. No case or width folding.
template <class A, class B>
int CompareTexts(const A& a, const B& b) {
  return text_detail::Compare(text_detail::ViewOf(a), text_detail::ViewOf(b));
}

// All operands' bytes in order (operands: TextValue, string_view or const char*; null = empty).
// Measures first and allocates once.
template <class... Parts>
TextValue ConcatTexts(const Parts&... parts) {
  return text_detail::Concat({text_detail::ViewOf(parts)...});
}

// The last n bytes of t (all of t when n >= its length); empty when t is empty or n <= 0.
// Cuts by bytes: may split a double-byte character.
TextValue RightText(const TextValue& t, int n);

// n blanks (0x20); empty when n < 1.
TextValue SpaceText(int n);

// Splits t at `delimiter` (default ","), never inside a double-byte character. max_parts left
// out = no limit; a negative limit counts as 0. Empty delimiter = one member, a copy of t.
TextArray SplitText(const TextValue& t, const TextValue& delimiter = ",",
                    std::optional<int> max_parts = std::nullopt);

// Cuts trailing zeros of a "%f" form: 12.500000 -> 12.5, 3.000000 -> 3, -0.000000 -> -0.
TextValue TrimFraction(std::string_view fixed_point);

// The text of a value of any kind (integers "%d", doubles trimmed, logical 真/假, date-time as
// DateText, text copied, byte sets/numeric arrays up to the first zero byte); empty for others.
TextValue ToText(const ValueSlot& value);

// The 32-bit integer of a value: texts parsed (full-width mapped), numbers truncated toward
// zero, long cut to its low 32 bits, other kinds 0.
std::int32_t ToInteger(const ValueSlot& value);

// Convenience: the decimal text of an integer ("%d").
TextValue IntegerText(std::int32_t v);

}  // namespace belvane
