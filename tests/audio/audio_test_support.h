#pragma once
// Helpers of the audio tests: temporary folders, whole files, WAV images, the child program
// that runs the provisioning as the program does, and the captured output of the ALSA file
// device. Paths are Windows (GBK) paths.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace belvane::test {

// A new empty folder under the temporary folder (its name holds GBK text on purpose); removed
// with its files when the object goes.
class TempFolder {
 public:
  explicit TempFolder(std::string_view tag);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, no trailing backslash.
  const std::string& Path() const { return path_; }
  // Path of `name` inside it.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// The folder of the running test program (where the build puts every exe and DLL).
std::string ProgramFolder();

// Whole-file read (empty when unreadable) and write.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, std::string_view bytes);
bool CopyFileTo(const std::string& from, const std::string& to);

// A 16-bit PCM WAV file image; the samples are a fixed, non-silent pseudo-random sequence.
std::string MakeWav(int rate, int channels, int frames, std::uint32_t seed = 1);
// The data chunk of a MakeWav image.
std::string WavData(const std::string& wav);

// What a run of the child program left: its exit code and its report lines.
struct ChildRun {
  DWORD exit_code = 0xFFFFFFFF;
  std::string report;
};

// Copies audio_child.exe into `folder` and runs it there with `arguments`, waiting up to
// `timeoutMs`; the report is the child's report.txt. A child that does not end is killed.
ChildRun RunChild(const TempFolder& folder, const std::string& arguments, DWORD timeoutMs = 60000);

// The bytes the ALSA file device captured so far (BELVANE_CAPTURE, a Unix path), and the
// removal of what it holds. Empty when the test runs without capture.
bool HaveCapture();
std::string ReadCapture();
void ClearCapture();

}  // namespace belvane::test
