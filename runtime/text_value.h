#pragma once
// The program's text value: owning 8-bit GBK (code page 936) bytes. Null and the zero-length
// text are the same text; lengths and comparisons are in bytes. This is the only text type the
// application logic sees; wide text exists only inside the conversion module (runtime/gbk.h).

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

namespace belvane {

class TextValue {
 public:
  TextValue() = default;
  // A null pointer is the empty text.
  TextValue(const char* text) : bytes_(text ? text : "") {}     // NOLINT: implicit by design
  TextValue(std::string_view bytes) : bytes_(bytes) {}          // NOLINT
  TextValue(std::string&& bytes) : bytes_(std::move(bytes)) {}  // NOLINT
  TextValue(const std::string& bytes) : bytes_(bytes) {}        // NOLINT

  // NUL-terminated bytes; never null (the empty text gives "").
  const char* CStr() const { return bytes_.c_str(); }
  std::string_view View() const { return bytes_; }
  const std::string& Bytes() const { return bytes_; }
  std::string& MutableBytes() { return bytes_; }
  std::size_t Length() const { return bytes_.size(); }
  bool IsEmpty() const { return bytes_.empty(); }

  // Byte-wise, unsigned: no folding of case or width.
  friend bool operator==(const TextValue& a, const TextValue& b) { return a.bytes_ == b.bytes_; }
  friend std::strong_ordering operator<=>(const TextValue& a, const TextValue& b) {
    return a.bytes_.compare(b.bytes_) <=> 0;  // std::string compares as unsigned char
  }

 private:
  std::string bytes_;
};

}  // namespace belvane
