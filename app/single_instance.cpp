#include "app/single_instance.h"

#include <cstdint>
#include <cstdio>

#include "app/bell/record_events.h"
#include "runtime/gbk.h"
#include "runtime/handles.h"
#include "runtime/path_text.h"

namespace belvane {

namespace {

// Reads the window the first copy published; null when none (yet).
HWND PublishedWindow(const std::wstring& name) {
  const OwnedKernelHandle map(OpenFileMappingW(FILE_MAP_READ, FALSE, (name + L"-window").c_str()));
  if (!map) return nullptr;
  void* const view = MapViewOfFile(map.Get(), FILE_MAP_READ, 0, 0, sizeof(HWND));
  if (view == nullptr) return nullptr;
  const HWND window = *static_cast<const volatile HWND*>(view);
  UnmapViewOfFile(view);
  return window;
}

void BringToFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

}  // namespace

std::wstring FolderInstanceName(std::wstring_view folder_wide) {
  const std::wstring upper = PathIdentity(folder_wide);
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : upper) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  wchar_t name[48];
  std::swprintf(name, 48, L"Local\\Belvane-%016llX", static_cast<unsigned long long>(hash));
  return name;
}

std::wstring FolderIdentityName(DWORD volume_serial, DWORD index_high, DWORD index_low) {
  wchar_t name[48];
  std::swprintf(name, 48, L"Local\\Belvane-%08lX-%08lX%08lX",
                static_cast<unsigned long>(volume_serial), static_cast<unsigned long>(index_high),
                static_cast<unsigned long>(index_low));
  return name;
}

std::wstring ProgramFolderInstanceName(std::wstring_view folder_wide) {
  // No access asked for: the identity is readable wherever the folder can be listed at all.
  const OwnedKernelHandle folder(CreateFileW(
      std::wstring(folder_wide).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (folder && GetFileInformationByHandle(folder.Get(), &info)) {
    return FolderIdentityName(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  }
  return FolderInstanceName(folder_wide);
}

bool HeldByAnotherCopy(bool created, DWORD error) {
  return created ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

bool ClaimProgramFolder(FolderClaim& claim, const TextValue& program_dir, int wait_ms) {
  if (claim.mutex) return true;
  claim.name = ProgramFolderInstanceName(WideFromGbk(program_dir.View()));
  OwnedKernelHandle mutex(CreateMutexW(nullptr, FALSE, claim.name.c_str()));
  // Any other failure is no mutex at all: better two copies than none.
  if (!HeldByAnotherCopy(static_cast<bool>(mutex), GetLastError())) {
    claim.mutex = std::move(mutex);
    return true;
  }
  // The first copy may still be starting: give it a moment to show its window.
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(wait_ms > 0 ? wait_ms : 0);
  HWND window = PublishedWindow(claim.name);
  while ((window == nullptr || !IsWindow(window)) && GetTickCount64() < until) {
    Sleep(50);
    window = PublishedWindow(claim.name);
  }
  if (window != nullptr && IsWindow(window)) BringToFront(window);
  RecordSecondCopy(program_dir);
  return false;
}

void PublishMainWindow(FolderClaim& claim, HWND window) {
  if (!claim.mutex || claim.window_map) return;
  claim.window_map.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(HWND), (claim.name + L"-window").c_str()));
  if (!claim.window_map) return;
  void* const view = MapViewOfFile(claim.window_map.Get(), FILE_MAP_WRITE, 0, 0, sizeof(HWND));
  if (view == nullptr) return;
  *static_cast<volatile HWND*>(view) = window;
  UnmapViewOfFile(view);
}

}  // namespace belvane
