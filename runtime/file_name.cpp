#include "runtime/file_name.h"

#include <cstddef>

namespace belvane {
namespace {

bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

unsigned char FoldAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Full-width capitals (GBK A3 C1..DA) as their small letters (A3 E1..FA).
unsigned char FoldFullWidthTrail(unsigned char lead, unsigned char trail) {
  if (lead == 0xA3 && trail >= 0xC1 && trail <= 0xDA)
    return static_cast<unsigned char>(trail + 0x20);
  return trail;
}

}  // namespace

bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x) && i + 1 < a.size()) {
      if (x != y) return false;
      const auto tx = static_cast<unsigned char>(a[i + 1]);
      const auto ty = static_cast<unsigned char>(b[i + 1]);
      if (FoldFullWidthTrail(x, tx) != FoldFullWidthTrail(y, ty)) return false;
      ++i;
      continue;
    }
    if (FoldAscii(x) != FoldAscii(y)) return false;
  }
  return true;
}

}  // namespace belvane
