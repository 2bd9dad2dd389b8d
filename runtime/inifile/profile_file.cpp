// The platform side of ProfileDocument: reading the file, saving it, and the text conversions.
#include <windows.h>

#include <cstdio>

#include "runtime/gbk.h"
#include "runtime/handles.h"
#include "runtime/inifile/profile_document.h"

namespace belvane {
namespace {

ProfileDocument::ReplaceStep g_replace_step = nullptr;
bool g_temporary_files_refused = false;

std::string CodecUtf8FromGbk(std::string_view gbk) {
  return Utf8FromWide(WideFromGbk(gbk));
}

std::string CodecGbkFromUtf8(std::string_view utf8) {
  return GbkFromWide(WideFromUtf8(utf8)).Bytes();
}

bool ReadWholeFile(const char* path, std::string& bytes, DWORD& error) {
  const OwnedKernelHandle owned(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const HANDLE file = owned.Get();
  if (!owned) {
    error = GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(bytes.size() - done);
      ok = ReadFile(file, bytes.data() + done, want, &got, nullptr) != 0 && got > 0;
      done += got;
    }
  }
  error = ok ? 0 : GetLastError();
  return ok;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

// The folder part of a path with its separator ("" for a bare name). GBK-aware: a trail byte
// may be 0x5C.
std::string FolderOf(std::string_view path) {
  std::size_t cut = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && c <= 0xFE) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      cut = i + 1;
    }
  }
  return std::string(path.substr(0, cut));
}

// How many names the file has; 1 when it cannot be asked.
DWORD LinkCount(const char* path) {
  const OwnedKernelHandle file(CreateFileA(path, 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return 1;
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file.Get(), &info) ? info.nNumberOfLinks : 1;
}

// A new file of a short name beside the target ("~bv" and four hex digits), so that a target
// whose path is near the length limit still has room for it; a leftover from a crash is never
// mistaken for the target. Holds nothing when none can be made.
OwnedKernelHandle CreateTemporaryBeside(const TextValue& path, std::string& temp) {
  if (g_temporary_files_refused) return {};
  const std::string folder = FolderOf(path.View());
  static volatile LONG counter = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const unsigned tag = (GetCurrentProcessId() * 2654435761u +
                          static_cast<unsigned>(InterlockedIncrement(&counter)) * 40503u) &
                         0xFFFFu;
    char name[16];
    std::snprintf(name, sizeof name, "~bv%04x.tmp", tag);
    temp = folder + name;
    OwnedKernelHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return {};
}

// Gives the temporary file what the user set on the target: its attributes (hidden, system,
// archive) and its access rights.
void TakeOverSettings(const char* target, DWORD attributes, const char* temp) {
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD kept = attributes & kKept;
  SetFileAttributesA(temp, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  DWORD needed = 0;
  GetFileSecurityA(target, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return;
  std::string descriptor(needed, '\0');
  if (GetFileSecurityA(target, DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) {
    SetFileSecurityA(temp, DACL_SECURITY_INFORMATION, descriptor.data());
  }
}

// Writes the bytes over the file itself (creating it if missing): its name, links, attributes
// and rights stay as they are. Not crash-safe, so only where a replace cannot be made.
bool RewriteInPlace(const char* path, std::string_view bytes) {
  const OwnedKernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  return WriteAll(file.Get(), bytes) && SetEndOfFile(file.Get()) != 0 &&
         FlushFileBuffers(file.Get()) != 0;
}

}  // namespace

const ProfileTextCodec& PlatformProfileTextCodec() {
  static const ProfileTextCodec codec{&CodecUtf8FromGbk, &CodecGbkFromUtf8, &ExactGbkFromUtf8};
  return codec;
}

ProfileDocument ProfileDocument::Load(const TextValue& path) {
  std::string bytes;
  DWORD error = 0;
  if (!ReadWholeFile(path.CStr(), bytes, error)) {
    ProfileDocument doc;
    doc.loaded_path_ = path.Bytes();
    // A missing file reads as empty and is created by the first write; any other failure (a
    // missing folder, a locked file) fails every read and write, as the platform's calls do.
    doc.readable_ = error == ERROR_FILE_NOT_FOUND;
    return doc;
  }
  ProfileDocument doc = FromBytes(bytes);
  doc.loaded_path_ = path.Bytes();
  return doc;
}

bool ProfileDocument::SaveAtomically(const TextValue& path) const {
  // Writes that changed nothing leave the file alone, as the per-value calls do.
  if (!changed_ && path.Bytes() == loaded_path_) return true;
  // Converted before any byte is written: a character GBK lacks leaves the file as it was.
  const std::optional<std::string> bytes = Serialize();
  return bytes && ReplaceWholeFile(path, *bytes);
}

bool ReplaceWholeFile(const TextValue& path, std::string_view bytes) {
  // A read-only target refuses the profile functions' writes; a rename may still replace it
  // (Wine's does), so refuse here.
  const DWORD attributes = GetFileAttributesA(path.CStr());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;

  // Other names of the same file would keep the old text after a replace.
  if (exists && LinkCount(path.CStr()) > 1) return RewriteInPlace(path.CStr(), bytes);
  std::string temp;
  OwnedKernelHandle file = CreateTemporaryBeside(path, temp);
  if (!file) return RewriteInPlace(path.CStr(), bytes);

  const bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get()) != 0;
  file.Reset();  // closed before the replace
  if (written && exists) TakeOverSettings(path.CStr(), attributes, temp.c_str());
  const ProfileDocument::ReplaceStep replace = g_replace_step ? g_replace_step : &MoveFileExA;
  if (!written ||
      !replace(temp.c_str(), path.CStr(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> ReadFileBytes(const TextValue& path) {
  std::string bytes;
  DWORD error = 0;
  if (!ReadWholeFile(path.CStr(), bytes, error)) return std::nullopt;
  return bytes;
}

void ProfileDocument::SetReplaceStepForTesting(ReplaceStep step) {
  g_replace_step = step;
}

void ProfileDocument::SetTemporaryFilesRefusedForTesting(bool refused) {
  g_temporary_files_refused = refused;
}

}  // namespace belvane
