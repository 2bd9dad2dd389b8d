#pragma once
// ByteBlock: a counted byte set, stored as one image {uint32 1, uint32 n, n bytes}. This is the
// form of the carried default timetable and audio library (constant images in the program) and
// what WriteWholeFile writes. An owning block holds its image on the heap; a block built over a
// constant image borrows it and never frees it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace belvane {

class ByteBlock {
 public:
  // The empty byte set (no image).
  ByteBlock() = default;
  // An owning copy of `bytes`; empty input gives the empty byte set.
  explicit ByteBlock(std::span<const std::uint8_t> bytes);
  explicit ByteBlock(std::string_view bytes);
  // Borrows a constant {1, n, bytes} image (null = empty); the image must outlive the block.
  static ByteBlock OverImage(const void* image);

  // Copies own their image (copying a borrowed block borrows the same image).
  ByteBlock(const ByteBlock& other);
  ByteBlock& operator=(const ByteBlock& other);
  ByteBlock(ByteBlock&& other) noexcept;
  ByteBlock& operator=(ByteBlock&& other) noexcept;
  ~ByteBlock() = default;

  // The n bytes after the header.
  std::span<const std::uint8_t> Bytes() const;
  std::string_view View() const;
  std::size_t Size() const;
  bool IsEmpty() const { return Size() == 0; }
  // Address of the {1, n} header, null for the empty byte set (what a byte-set slot carries).
  const void* Image() const { return image_; }
  // True when the block borrows a constant image.
  bool IsBorrowed() const { return image_ != nullptr && owned_.empty(); }

  friend bool operator==(const ByteBlock& a, const ByteBlock& b) { return a.View() == b.View(); }

 private:
  void AdoptOwned();

  std::vector<std::uint8_t> owned_;  // header + bytes when owning
  const std::uint8_t* image_ = nullptr;
};

// The header of a {1, n, bytes} image; the n bytes follow it directly.
struct ByteImageHeader {
  std::uint32_t one;     // always 1
  std::uint32_t length;  // n
};

}  // namespace belvane
