#pragma once
// Helpers for the audio library's tests: WAV files written in every layout the reader takes, a
// temporary folder, the captured output of the ALSA file device, and polling with a deadline.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace belvane::bass::test {

// How a test WAV file is laid out.
struct WavLayout {
  uint16_t tag = 1;      // 1 PCM, 3 float, 0xFFFE extensible
  uint16_t sub_tag = 1;  // for extensible: the real format
  uint16_t channels = 2;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  bool odd_chunk_first = false;  // an odd-sized chunk (with its pad byte) before "fmt "
  uint32_t cut_data = 0;         // bytes of the data chunk missing at the end of the file
};

// Deterministic noise samples: `frames` frames of the layout's sample format, never silent.
std::vector<uint8_t> NoiseSamples(const WavLayout& layout, size_t frames, uint32_t seed = 1);
// A whole WAV file around `samples`.
std::vector<uint8_t> WavFile(const WavLayout& layout, const std::vector<uint8_t>& samples);
// What the library outputs for those samples: 16-bit (8-bit stays 8-bit) at full volume.
std::vector<uint8_t> ExpectedOutput(const WavLayout& layout, const std::vector<uint8_t>& samples);

// A fresh folder under the temp folder, removed with its files at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // Full path (GBK) of a file in the folder.
  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  // Writes bytes to a file in the folder and returns its path.
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::string dir_;
};

// The file the ALSA file device appends to (BELVANE_CAPTURE, a Unix path), seen from Windows.
std::string CapturePath();
// Empties the capture file once the writer of an earlier run (a pipe to `cat`) has finished.
void ClearCapture();
// The captured bytes once the file holds at least `min_bytes` and has stopped growing for
// `quiet_ms`.
std::vector<uint8_t> SettledCapture(size_t min_bytes = 0, DWORD quiet_ms = 400,
                                    DWORD timeout_ms = 20000);

// How many device runs' writers have started and ended so far.
struct CaptureWriters {
  size_t started = 0;
  size_t ended = 0;
};
CaptureWriters ReadCaptureWriters();
// The captured bytes once a writer has ended since `before` and none is left writing: the whole
// of a run whose device has closed, however long a loaded machine keeps its writer waiting.
std::vector<uint8_t> FinishedCapture(const CaptureWriters& before, DWORD timeout_ms = 20000);

// Polls `done` until it holds or `timeout_ms` passes; returns its last value.
bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms);

// Bytes of a fixture made by the build (bin/bass_fixtures/).
std::string FixturePath(const std::string& name);
// A whole file's bytes (empty when it cannot be read).
std::vector<uint8_t> ReadAll(const std::string& path);

}  // namespace belvane::bass::test
