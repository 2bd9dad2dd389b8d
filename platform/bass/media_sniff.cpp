#include "platform/bass/media_sniff.h"

#include <cstring>

namespace belvane::bass {
namespace {

// Real files have a handful of top-level boxes, header objects or tags; a file with thousands is
// damaged or hostile, and walking it would cost a read each on the caller's thread.
constexpr int kMaxItems = 1024;
constexpr int kMaxId3Tags = 16;

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
uint64_t Le64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

struct Mp4Box {
  uint64_t size;  // header included, never beyond the enclosing extent
  uint32_t header;
  uint8_t type[4];
};

// The box at pos inside [pos, end): false when its header is cut short or its size is smaller
// than its header or runs past `end`.
bool ReadBox(ByteSource& source, uint64_t pos, uint64_t end, Mp4Box* box) {
  uint8_t head[16];
  if (end - pos < 8 || source.ReadAt(pos, head, 8) != 8) return false;
  std::memcpy(box->type, head + 4, 4);
  box->header = 8;
  box->size = Be32(head);
  if (box->size == 1) {  // 64-bit size follows the type
    if (end - pos < 16 || source.ReadAt(pos + 8, head + 8, 8) != 8) return false;
    box->header = 16;
    box->size = (static_cast<uint64_t>(Be32(head + 8)) << 32) | Be32(head + 12);
  } else if (box->size == 0) {
    box->size = end - pos;  // to the end of the enclosing extent
  }
  return box->size >= box->header && box->size <= end - pos;
}

// The boxes inside [begin, end) each fit in it, up to a tail too short for a box.
bool ChildrenFit(ByteSource& source, uint64_t begin, uint64_t end) {
  uint64_t pos = begin;
  for (int n = 0; end - pos >= 8; ++n) {
    Mp4Box box;
    if (n == kMaxItems || !ReadBox(source, pos, end, &box)) return false;
    pos += box.size;
  }
  return true;
}

// ADTS frame header: 12-bit sync, layer 0, a defined sampling rate and a frame length that at
// least covers the header itself (7 bytes, 9 with a CRC).
bool AdtsHeaderValid(const uint8_t* h) {
  if (h[0] != 0xFF || (h[1] & 0xF6) != 0xF0) return false;
  const int rate_index = (h[2] >> 2) & 0x0F;
  const uint32_t length = ((h[3] & 0x03u) << 11) | (h[4] << 3) | (h[5] >> 5);
  const uint32_t header = (h[1] & 0x01) ? 7 : 9;
  return rate_index < 13 && length >= header;
}

}  // namespace

uint64_t SkipId3Tags(ByteSource& source) {
  const uint64_t size = source.Size();
  uint64_t pos = 0;
  for (int n = 0; n < kMaxId3Tags && size - pos >= 10; ++n) {
    uint8_t h[10];
    if (source.ReadAt(pos, h, sizeof h) != sizeof h || std::memcmp(h, "ID3", 3) != 0) break;
    // Version bytes are never 0xFF, and the size is synchsafe: seven bits a byte.
    if (h[3] == 0xFF || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80)) break;
    uint64_t tag = 10 + ((static_cast<uint64_t>(h[6]) << 21) | (h[7] << 14) | (h[8] << 7) | h[9]);
    if (h[3] >= 4 && (h[5] & 0x10)) tag += 10;  // a footer repeats the header at the end
    if (tag >= size - pos) return size;
    pos += tag;
  }
  return pos;
}

MediaKind SniffMedia(ByteSource& source) {
  uint8_t h[16] = {};
  source.ReadAt(0, h, sizeof h);
  static const uint8_t kAsf[8] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
  if (std::memcmp(h, kAsf, 8) == 0) return MediaKind::kAsf;
  if (std::memcmp(h + 4, "ftyp", 4) == 0) return MediaKind::kMp4;
  if (std::memcmp(h, "ID3", 3) == 0) {
    // Tags go in front of AAC in ADTS too; anything else behind them is taken as mp3.
    uint8_t after[7] = {};
    const uint64_t at = SkipId3Tags(source);
    if (source.ReadAt(at, after, sizeof after) == sizeof after && AdtsHeaderValid(after)) {
      return MediaKind::kAdts;
    }
    return MediaKind::kMp3;
  }
  if (h[0] == 0xFF && (h[1] & 0xF6) == 0xF0) return MediaKind::kAdts;
  if (h[0] == 0xFF && (h[1] & 0xE0) == 0xE0) return MediaKind::kMp3;
  return MediaKind::kUnknown;
}

bool Mp4HasMovie(ByteSource& source) {
  const uint64_t size = source.Size();
  uint64_t pos = 0;
  for (int n = 0; n < kMaxItems && size - pos >= 8; ++n) {
    Mp4Box box;
    if (!ReadBox(source, pos, size, &box)) return false;
    if (std::memcmp(box.type, "moov", 4) == 0) {
      return ChildrenFit(source, pos + box.header, pos + box.size);
    }
    pos += box.size;
  }
  return false;
}

bool AsfHeaderComplete(ByteSource& source) {
  constexpr uint64_t kFixed = 30;       // id, size, object count, two reserved bytes
  constexpr uint64_t kObjectHead = 24;  // id and size
  uint8_t head[kFixed];
  if (source.ReadAt(0, head, sizeof head) != sizeof head) return false;
  const uint64_t size = Le64(head + 16);
  if (size < kFixed || size > source.Size()) return false;
  // The header's objects each fit in it.
  uint64_t pos = kFixed;
  for (int n = 0; pos < size; ++n) {
    uint8_t object[kObjectHead];
    if (n == kMaxItems || size - pos < kObjectHead ||
        source.ReadAt(pos, object, sizeof object) != sizeof object) {
      return false;
    }
    const uint64_t object_size = Le64(object + 16);
    if (object_size < kObjectHead || object_size > size - pos) return false;
    pos += object_size;
  }
  return true;
}

bool ContainerUsable(MediaKind kind, ByteSource& source) {
  switch (kind) {
    case MediaKind::kMp4:
      return Mp4HasMovie(source);
    case MediaKind::kAsf:
      return AsfHeaderComplete(source);
    case MediaKind::kAdts: {
      uint8_t h[7];
      const uint64_t at = SkipId3Tags(source);
      return source.ReadAt(at, h, sizeof h) == sizeof h && AdtsHeaderValid(h);
    }
    default:
      return true;
  }
}

}  // namespace belvane::bass
