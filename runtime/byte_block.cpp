#include "runtime/byte_block.h"

#include <cstring>

namespace belvane {

namespace {

std::uint32_t ImageLength(const std::uint8_t* image) {
  ByteImageHeader header;
  std::memcpy(&header, image, sizeof header);
  return header.length;
}

}  // namespace

ByteBlock::ByteBlock(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  const ByteImageHeader header{1, static_cast<std::uint32_t>(bytes.size())};
  owned_.resize(sizeof header + bytes.size());
  std::memcpy(owned_.data(), &header, sizeof header);
  std::memcpy(owned_.data() + sizeof header, bytes.data(), bytes.size());
  image_ = owned_.data();
}

ByteBlock::ByteBlock(std::string_view bytes)
    : ByteBlock(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              bytes.size())) {}

ByteBlock ByteBlock::OverImage(const void* image) {
  ByteBlock block;
  block.image_ = static_cast<const std::uint8_t*>(image);
  return block;
}

ByteBlock::ByteBlock(const ByteBlock& other) : owned_(other.owned_), image_(other.image_) {
  AdoptOwned();
}

ByteBlock& ByteBlock::operator=(const ByteBlock& other) {
  if (this != &other) {
    owned_ = other.owned_;
    image_ = other.image_;
    AdoptOwned();
  }
  return *this;
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : owned_(std::move(other.owned_)), image_(other.image_) {
  AdoptOwned();
  other.owned_.clear();
  other.image_ = nullptr;
}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
  if (this != &other) {
    owned_ = std::move(other.owned_);
    image_ = other.image_;
    AdoptOwned();
    other.owned_.clear();
    other.image_ = nullptr;
  }
  return *this;
}

// An owning block's image is its own storage, never the source's.
void ByteBlock::AdoptOwned() {
  if (!owned_.empty()) image_ = owned_.data();
}

std::span<const std::uint8_t> ByteBlock::Bytes() const {
  if (image_ == nullptr) return {};
  return {image_ + sizeof(ByteImageHeader), ImageLength(image_)};
}

std::string_view ByteBlock::View() const {
  const auto bytes = Bytes();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::size_t ByteBlock::Size() const {
  return image_ == nullptr ? 0 : ImageLength(image_);
}

}  // namespace belvane
