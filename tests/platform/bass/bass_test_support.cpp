#include "tests/platform/bass/bass_test_support.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tests/support/file_tree.h"

namespace belvane::bass::test {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
// resize + memcpy rather than insert: GCC 12 warns falsely about insert into an empty vector.
void Append(std::vector<uint8_t>& out, const void* bytes, size_t n) {
  const size_t at = out.size();
  out.resize(at + n);
  if (n) std::memcpy(out.data() + at, bytes, n);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
  Append(out, tag, 4);
}

uint16_t Bits(const WavLayout& l) {
  return l.bits;
}
bool IsFloat(const WavLayout& l) {
  return l.tag == 3 || (l.tag == 0xFFFE && l.sub_tag == 3);
}

}  // namespace

std::vector<uint8_t> NoiseSamples(const WavLayout& layout, size_t frames, uint32_t seed) {
  const size_t samples = frames * layout.channels;
  const size_t width = Bits(layout) / 8;
  std::vector<uint8_t> out(samples * width);
  uint32_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < samples; ++i) {
    x = x * 1664525u + 1013904223u;
    uint8_t* p = out.data() + i * width;
    if (IsFloat(layout)) {
      // Mostly in range, with some values past full scale to exercise clipping.
      const double v = (static_cast<int32_t>(x) / 2147483648.0) * 1.2;
      if (width == 4) {
        const float f = static_cast<float>(v);
        std::memcpy(p, &f, 4);
      } else {
        std::memcpy(p, &v, 8);
      }
    } else {
      uint32_t v = x | 0x01010101u;  // no zero bytes: silence is never mistaken for data
      std::memcpy(p, &v, width);
    }
  }
  return out;
}

std::vector<uint8_t> WavFile(const WavLayout& layout, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> body;
  PutTag(body, "WAVE");
  if (layout.odd_chunk_first) {
    PutTag(body, "LIST");
    Put32(body, 5);
    Append(body, "INFOx", 6);  // 5 bytes and the pad byte
  }
  const uint16_t block = static_cast<uint16_t>(layout.channels * layout.bits / 8);
  PutTag(body, "fmt ");
  Put32(body, layout.tag == 0xFFFE ? 40 : 16);
  Put16(body, layout.tag);
  Put16(body, layout.channels);
  Put32(body, layout.rate);
  Put32(body, layout.rate * block);
  Put16(body, block);
  Put16(body, layout.bits);
  if (layout.tag == 0xFFFE) {
    Put16(body, 22);
    Put16(body, layout.bits);
    Put32(body, layout.channels == 2 ? 3 : 0);
    Put16(body, layout.sub_tag);
    const uint8_t rest[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    Append(body, rest, 14);
  }
  PutTag(body, "data");
  Put32(body, static_cast<uint32_t>(samples.size()));
  Append(body, samples.data(), samples.size() - layout.cut_data);
  std::vector<uint8_t> file;
  PutTag(file, "RIFF");
  Put32(file, static_cast<uint32_t>(body.size()));
  Append(file, body.data(), body.size());
  return file;
}

std::vector<uint8_t> ExpectedOutput(const WavLayout& layout, const std::vector<uint8_t>& samples) {
  if (!IsFloat(layout) && (layout.bits == 8 || layout.bits == 16)) return samples;
  const size_t width = layout.bits / 8;
  std::vector<uint8_t> out;
  for (size_t i = 0; i + width <= samples.size(); i += width) {
    int v;
    if (IsFloat(layout)) {
      double f;
      if (width == 4) {
        float g;
        std::memcpy(&g, &samples[i], 4);
        f = g;
      } else {
        std::memcpy(&f, &samples[i], 8);
      }
      const double s = std::nearbyint(f * 32768.0);
      v = s >= 32767 ? 32767 : s <= -32768 ? -32768 : static_cast<int>(s);
    } else {
      v = static_cast<int16_t>(samples[i + width - 2] | (samples[i + width - 1] << 8));
    }
    Put16(out, static_cast<uint16_t>(v));
  }
  return out;
}

TempDir::TempDir() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static LONG counter = 0;
  dir_ = std::string(base) + "bass-test-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(InterlockedIncrement(&counter));
  CreateDirectoryA(dir_.c_str(), nullptr);
}

TempDir::~TempDir() {
  belvane::testing::RemoveTree(dir_);
}

std::string TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  const std::string path = Path(name);
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (f != INVALID_HANDLE_VALUE) {
    if (!bytes.empty()) WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, 0);
    CloseHandle(f);
  }
  return path;
}

std::string CapturePath() {
  const char* unix_path = std::getenv("BELVANE_CAPTURE");
  return unix_path ? std::string("Z:") + unix_path : std::string();
}

static std::vector<uint8_t> ReadCapture() {
  std::vector<uint8_t> bytes;
  HANDLE f = CreateFileA(CapturePath().c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  GetFileSizeEx(f, &size);
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  CloseHandle(f);
  return bytes;
}

std::vector<uint8_t> SettledCapture(size_t min_bytes, DWORD quiet_ms, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  std::vector<uint8_t> last = ReadCapture();
  ULONGLONG changed = GetTickCount64();
  while (GetTickCount64() < end) {
    Sleep(50);
    std::vector<uint8_t> now = ReadCapture();
    if (now.size() != last.size()) {
      last = std::move(now);
      changed = GetTickCount64();
    } else if (last.size() >= min_bytes && GetTickCount64() - changed >= quiet_ms) {
      break;
    }
  }
  return last;
}

void ClearCapture() {
  // A pipe closed by the last run may still be writing: let it finish first.
  SettledCapture(0, 200, 5000);
  HANDLE f = CreateFileA(CapturePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

CaptureWriters ReadCaptureWriters() {
  CaptureWriters writers;
  for (const uint8_t mark : ReadAll(CapturePath() + ".writers")) {
    ++(mark == 's' ? writers.started : writers.ended);
  }
  return writers;
}

std::vector<uint8_t> FinishedCapture(const CaptureWriters& before, DWORD timeout_ms) {
  WaitFor(
      [&] {
        const CaptureWriters now = ReadCaptureWriters();
        return now.ended > before.ended && now.ended == now.started;
      },
      timeout_ms);
  return ReadCapture();
}

bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() >= end) return done();
    Sleep(10);
  }
  return true;
}

std::string FixturePath(const std::string& name) {
  return "bass_fixtures\\" + name;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE f =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD got = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  bytes.resize(got);
  return bytes;
}

}  // namespace belvane::bass::test
