#pragma once
// What a compressed file is, told from its first bytes, and whether its container is whole
// enough to hand to the platform's decoder (which hangs or crashes on some damaged ones).
// Platform-free: every size and offset read from the file is checked before it is used.

#include <cstdint>

#include "platform/bass/byte_source.h"

namespace belvane::bass {

enum class MediaKind { kUnknown, kAsf, kMp4, kMp3, kAdts };

MediaKind SniffMedia(ByteSource& source);

// An MPEG-4 file plays only with its whole "moov" box.
bool Mp4HasMovie(ByteSource& source);
// An ASF (wma) file needs its whole header object, which describes every stream.
bool AsfHeaderComplete(ByteSource& source);
// Where the bytes after the ID3v2 tags at the start begin (0 without tags). A tag that claims
// more bytes than the source has ends the walk there.
uint64_t SkipId3Tags(ByteSource& source);

// False when the container of that kind is damaged in a way the platform's decoder cannot take.
bool ContainerUsable(MediaKind kind, ByteSource& source);

}  // namespace belvane::bass
