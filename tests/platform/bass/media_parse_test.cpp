// The platform-free readers against hostile files: every size read from a file is checked, and
// every walk over a file's boxes, objects, tags or chunks ends after a bounded number of reads.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/bass/bass_errors.h"
#include "platform/bass/media_sniff.h"
#include "platform/bass/wav_decoder.h"

namespace belvane::bass {
namespace {

using Bytes = std::vector<uint8_t>;

// Memory that counts its reads and gives nothing after `limit` of them, so that a walk that
// would never end shows as a read count at the limit instead of a hung test.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(Bytes bytes, size_t limit = 100000)
      : bytes_(std::move(bytes)), limit_(limit) {}
  uint64_t Size() const override { return bytes_.size(); }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override {
    if (++reads_ > limit_) return 0;
    return MemoryByteSource(bytes_.data(), bytes_.size()).ReadAt(pos, out, n);
  }
  size_t reads() const { return reads_; }

 private:
  Bytes bytes_;
  size_t limit_;
  size_t reads_ = 0;
};

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}
Bytes Be(uint64_t v, int n) {
  Bytes b(n);
  for (int i = n - 1; i >= 0; --i, v >>= 8) b[i] = static_cast<uint8_t>(v);
  return b;
}
Bytes Le(uint64_t v, int n) {
  Bytes b(n);
  for (int i = 0; i < n; ++i, v >>= 8) b[i] = static_cast<uint8_t>(v);
  return b;
}
Bytes Text(const char* s) {
  return Bytes(s, s + std::char_traits<char>::length(s));
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) Append(out, p);
  return out;
}
// An MPEG-4 box with a 32-bit size around `body`.
Bytes Box(const char* type, const Bytes& body) {
  return Cat({Be(8 + body.size(), 4), Text(type), body});
}
// A box header alone: 64-bit size `size` (size field 1).
Bytes LargeBoxHeader(const char* type, uint64_t size) {
  return Cat({Be(1, 4), Text(type), Be(size, 8)});
}

const Bytes kFtyp = Box("ftyp", Cat({Text("M4A "), Be(0, 4)}));
const Bytes kMoov = Box("moov", Cat({Box("mvhd", Bytes(100, 0)), Box("trak", Bytes(40, 0))}));

TEST(Mp4Boxes, ImpossibleSizesAreRefusedAndEveryWalkEnds) {
  struct Case {
    const char* what;
    Bytes bytes;
    bool has_movie;
  } cases[] = {
      {"whole", Cat({kFtyp, kMoov, Box("mdat", Bytes(64, 1))}), true},
      {"movie last, size 0 = to the end",
       Cat({kFtyp, Be(0, 4), Text("moov"), Bytes(kMoov.begin() + 8, kMoov.end())}), true},
      {"64-bit movie size",
       Cat({kFtyp, LargeBoxHeader("moov", kMoov.size() + 8),
            Bytes(kMoov.begin() + 8, kMoov.end())}),
       true},
      // A 64-bit size that wraps the position back to the start: the walk looped for ever.
      {"wrapping box",
       Cat({Box("ftyp", Bytes(8, 0)), LargeBoxHeader("free", 0xFFFFFFFFFFFFFFF0), kMoov}), false},
      {"wrapping movie", Cat({kFtyp, LargeBoxHeader("moov", 0xFFFFFFFFFFFFFFF8), Bytes(64, 0)}),
       false},
      {"movie cut short", Cat({kFtyp, Bytes(kMoov.begin(), kMoov.end() - 1)}), false},
      {"64-bit size below its header", Cat({kFtyp, LargeBoxHeader("free", 12), kMoov}), false},
      {"size below a header", Cat({kFtyp, Be(4, 4), Text("free"), kMoov}), false},
      {"media data running past the end first", Cat({kFtyp, Be(1000, 4), Text("mdat"), kMoov}),
       false},
      {"movie whose child runs past it",
       Cat({kFtyp, Box("moov", Cat({Be(500, 4), Text("trak"), Bytes(16, 0)}))}), false},
      {"no movie", Cat({kFtyp, Box("mdat", Bytes(64, 1))}), false},
  };
  for (const Case& c : cases) {
    CountingSource source(c.bytes);
    EXPECT_EQ(Mp4HasMovie(source), c.has_movie) << c.what;
    EXPECT_LT(source.reads(), 100u) << c.what;
  }
  // Millions of empty boxes before the movie: the walk gives up instead of reading them all.
  Bytes many = kFtyp;
  for (int i = 0; i < 20000; ++i) Append(many, Box("free", {}));
  Append(many, kMoov);
  CountingSource source(many);
  EXPECT_FALSE(Mp4HasMovie(source));
  EXPECT_LT(source.reads(), 10000u);
}

// An ASF header object of `objects` (each a 16-byte id, a 64-bit size and its body), with
// `size_delta` added to the header's own size field.
Bytes AsfFile(const std::vector<Bytes>& objects, int64_t size_delta = 0) {
  Bytes body;
  for (const Bytes& o : objects) Append(body, o);
  const Bytes guid = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  return Cat({guid,
              Le(30 + body.size() + size_delta, 8),
              Le(objects.size(), 4),
              {1, 2},
              body,
              Bytes(100, 0)});
}
Bytes AsfObject(uint64_t size_field, size_t body) {
  return Cat({Bytes(16, 0x11), Le(size_field, 8), Bytes(body, 0)});
}

TEST(AsfHeader, SizesMustFitTheFile) {
  const Bytes empty = AsfFile({});
  EXPECT_TRUE(AsfHeaderComplete(
      *std::make_unique<CountingSource>(AsfFile({AsfObject(24 + 80, 80), AsfObject(24, 0)}))));
  struct Case {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"header beyond the file", AsfFile({AsfObject(24, 0)}, 1000)},
      {"header size wrapping", AsfFile({AsfObject(24, 0)}, -1000)},
      {"object below its header", AsfFile({AsfObject(8, 0)})},
      {"object beyond the header", AsfFile({AsfObject(24 + 200, 80)})},
      {"object size wrapping", AsfFile({AsfObject(0xFFFFFFFFFFFFFFF0, 80)})},
      {"cut inside the fixed header", Bytes(empty.begin(), empty.begin() + 20)},
  };
  for (const Case& c : cases) {
    CountingSource source(c.bytes);
    EXPECT_FALSE(AsfHeaderComplete(source)) << c.what;
    EXPECT_LT(source.reads(), 100u) << c.what;
  }
}

// An ID3v2 tag: its 10-byte header with `size` as a synchsafe number, then that many bytes.
Bytes Id3(uint32_t size, uint8_t flags = 0, uint8_t major = 4) {
  Bytes tag = {'I',
               'D',
               '3',
               major,
               0,
               flags,
               static_cast<uint8_t>((size >> 21) & 0x7F),
               static_cast<uint8_t>((size >> 14) & 0x7F),
               static_cast<uint8_t>((size >> 7) & 0x7F),
               static_cast<uint8_t>(size & 0x7F)};
  tag.resize(10 + size, 0);
  return tag;
}
const Bytes kAdtsFrame = [] {
  // 44.1 kHz (index 4), stereo, no CRC, 32-byte frame.
  Bytes f = {0xFF, 0xF1, 0x50, 0x80, 0x04, 0x1F, 0xFC};
  f.resize(32, 0);
  return f;
}();
const Bytes kMp3Frame = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0};

TEST(Id3AndAdts, TagSizesAreCheckedAndWhatFollowsDecidesTheKind) {
  EXPECT_EQ(SkipId3Tags(*std::make_unique<CountingSource>(kMp3Frame)), 0u);
  EXPECT_EQ(SkipId3Tags(*std::make_unique<CountingSource>(Cat({Id3(300), kMp3Frame}))), 310u);
  // Two tags in a row, the second with a footer (ten more bytes).
  EXPECT_EQ(SkipId3Tags(*std::make_unique<CountingSource>(
                Cat({Id3(20), Id3(30, 0x10), Bytes(10, 0), kMp3Frame}))),
            80u);
  // A byte with its top bit set is not a synchsafe size: not a tag.
  Bytes bad = Cat({Id3(20), kMp3Frame});
  bad[6] = 0x80;
  EXPECT_EQ(SkipId3Tags(*std::make_unique<CountingSource>(bad)), 0u);
  // The largest size a tag can claim, on a short file: the walk stops at the end.
  Bytes huge = Cat({Id3(0), kMp3Frame});
  for (int i = 6; i < 10; ++i) huge[i] = 0x7F;
  EXPECT_EQ(SkipId3Tags(*std::make_unique<CountingSource>(huge)), huge.size());
  // Thousands of empty tags: bounded.
  Bytes many;
  for (int i = 0; i < 5000; ++i) Append(many, Id3(0));
  CountingSource many_source(many);
  SkipId3Tags(many_source);
  EXPECT_LT(many_source.reads(), 100u);

  auto kind = [](const Bytes& b) { return SniffMedia(*std::make_unique<CountingSource>(b)); };
  EXPECT_EQ(kind(Cat({Id3(300), kAdtsFrame})), MediaKind::kAdts);
  EXPECT_EQ(kind(Cat({Id3(300), kMp3Frame})), MediaKind::kMp3);
  EXPECT_EQ(kind(huge), MediaKind::kMp3);
  EXPECT_EQ(kind(kAdtsFrame), MediaKind::kAdts);
  EXPECT_EQ(kind(kMp3Frame), MediaKind::kMp3);
  EXPECT_EQ(kind(Cat({kFtyp, kMoov})), MediaKind::kMp4);
  EXPECT_EQ(kind(Text("hello world, not audio")), MediaKind::kUnknown);

  // An ADTS frame length shorter than its own header, or a reserved rate, is damage.
  EXPECT_TRUE(ContainerUsable(MediaKind::kAdts, *std::make_unique<CountingSource>(kAdtsFrame)));
  Bytes short_frame = kAdtsFrame;
  short_frame[3] = 0x80, short_frame[4] = 0x00, short_frame[5] = 0x1F;  // length 0
  EXPECT_FALSE(ContainerUsable(MediaKind::kAdts, *std::make_unique<CountingSource>(short_frame)));
  Bytes reserved_rate = kAdtsFrame;
  reserved_rate[2] = 0x7C;  // rate index 15
  EXPECT_FALSE(ContainerUsable(MediaKind::kAdts, *std::make_unique<CountingSource>(reserved_rate)));
}

// RIFF WAVE around chunks.
Bytes Riff(std::initializer_list<Bytes> chunks) {
  Bytes body = Text("WAVE");
  for (const Bytes& c : chunks) Append(body, c);
  return Cat({Text("RIFF"), Le(body.size(), 4), body});
}
Bytes Chunk(const char* id, const Bytes& body, int64_t size_delta = 0) {
  Bytes c = Cat({Text(id), Le(body.size() + size_delta, 4), body});
  if (body.size() & 1) c.push_back(0);  // the pad byte
  return c;
}
Bytes Fmt(uint16_t channels = 2, uint16_t bits = 16, uint32_t rate = 44100) {
  const uint16_t block = channels * bits / 8;
  return Chunk("fmt ", Cat({Le(1, 2), Le(channels, 2), Le(rate, 4), Le(rate * block, 4),
                            Le(block, 2), Le(bits, 2)}));
}

// Opens a WAV from memory; the length in output bytes, or -error.
int64_t WavLength(const Bytes& bytes, size_t* reads = nullptr) {
  auto source = std::make_unique<CountingSource>(bytes);
  CountingSource* counted = source.get();
  int error = kErrorOk;
  auto d = WavDecoder::Open(std::move(source), &error);
  if (reads) *reads = counted->reads();
  return d ? static_cast<int64_t>(d->Length()) : -error;
}

TEST(WavChunks, SizesAreCheckedAgainstTheFile) {
  const Bytes data(4000, 0x11);
  EXPECT_EQ(WavLength(Riff({Fmt(), Chunk("data", data)})), 4000);
  // An odd chunk and its pad byte before the format; the data after it is found.
  EXPECT_EQ(WavLength(Riff({Chunk("LIST", Bytes(7, 'x')), Fmt(), Chunk("data", data)})), 4000);
  // Streaming writers leave 0xFFFFFFFF when the length is unknown: play what is there.
  EXPECT_EQ(WavLength(Riff({Fmt(), Chunk("data", data, 0xFFFFFFFFll - 4000)})), 4000);
  // A data chunk that runs past the end plays as far as the file goes (whole frames).
  EXPECT_EQ(WavLength(Riff({Fmt(), Chunk("data", Bytes(4002, 1), 1000)})), 4000);
  // A format chunk cut by the end of the file, or a chunk running past the end before either
  // chunk was seen, is a damaged file.
  const Bytes fmt = Fmt();
  EXPECT_EQ(WavLength(Riff({Chunk("data", data), Bytes(fmt.begin(), fmt.begin() + 20)})),
            -kErrorFileForm);
  EXPECT_EQ(WavLength(Riff({Chunk("LIST", Bytes(8, 0), 0xFFFFFF00), Fmt(), Chunk("data", data)})),
            -kErrorFileForm);
  EXPECT_EQ(WavLength(Riff({Fmt(2, 16, 0), Chunk("data", data)})), -kErrorFormat);
  // Many small chunks before the data: bounded, then refused.
  Bytes junk;
  for (int i = 0; i < 20000; ++i) Append(junk, Chunk("junk", {}));
  size_t reads = 0;
  EXPECT_EQ(WavLength(Riff({Fmt(), junk, Chunk("data", data)}), &reads), -kErrorFileForm);
  EXPECT_LT(reads, 10000u);
}

}  // namespace
}  // namespace belvane::bass
