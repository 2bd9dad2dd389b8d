#include "tests/audio/audio_test_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/file_tree.h"

namespace belvane::test {

namespace {

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// BELVANE_CAPTURE as a Windows path (Wine shows the Unix root as drive Z:).
std::string CapturePath() {
  const char* unix_path = std::getenv("BELVANE_CAPTURE");
  if (unix_path == nullptr || *unix_path == 0) return {};
  std::string path = std::string("Z:") + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace

TempFolder::TempFolder(std::string_view tag) {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static int counter = 0;
  for (;;) {
    std::ostringstream name;
    name << base << "音频" << tag << '_' << GetCurrentProcessId() << '_' << ++counter;
    path_ = name.str();
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

TempFolder::~TempFolder() {
  testing::RemoveTree(path_);
}

std::string TempFolder::File(std::string_view name) const {
  return path_ + "\\" + std::string(name);
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.rfind('\\'));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::string MakeWav(int rate, int channels, int frames, std::uint32_t seed) {
  const std::uint32_t block = static_cast<std::uint32_t>(channels) * 2;
  const std::uint32_t data_size = block * static_cast<std::uint32_t>(frames);
  std::string wav = "RIFF";
  PutLe(wav, 36 + data_size, 4);
  wav += "WAVEfmt ";
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);  // PCM
  PutLe(wav, static_cast<std::uint32_t>(channels), 2);
  PutLe(wav, static_cast<std::uint32_t>(rate), 4);
  PutLe(wav, static_cast<std::uint32_t>(rate) * block, 4);
  PutLe(wav, block, 2);
  PutLe(wav, 16, 2);
  wav += "data";
  PutLe(wav, data_size, 4);
  std::uint32_t x = seed;
  for (std::uint32_t i = 0; i < data_size / 2; ++i) {
    x = x * 1664525u + 1013904223u;
    // Keep away from 0 so the captured data cannot be mistaken for silence padding.
    PutLe(wav, (x >> 16) | 0x0101u, 2);
  }
  return wav;
}

std::string WavData(const std::string& wav) {
  return wav.substr(44);
}

ChildRun RunChild(const TempFolder& folder, const std::string& arguments, DWORD timeoutMs) {
  ChildRun run;
  const std::string exe = folder.File("audio_child.exe");
  if (!CopyFileTo(ProgramFolder() + "\\audio_child.exe", exe)) return run;
  std::string command = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.Path().c_str(), &startup, &process)) {
    return run;
  }
  if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, 10000);
  }
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.report = ReadFileBytes(folder.File("report.txt"));
  return run;
}

bool HaveCapture() {
  return !CapturePath().empty();
}

std::string ReadCapture() {
  const std::string path = CapturePath();
  return path.empty() ? std::string() : ReadFileBytes(path);
}

void ClearCapture() {
  const std::string path = CapturePath();
  if (!path.empty()) WriteFileBytes(path, {});
}

}  // namespace belvane::test
