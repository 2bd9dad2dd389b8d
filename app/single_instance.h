#pragma once
// One copy of the program per folder. The first copy started from a folder holds a named mutex
// in the session's namespace, derived from the folder's file identity, and publishes its main
// window beside it; a second copy from the same folder finds the mutex taken, brings that window
// to the front and ends without a window, a box or a file of its own (only its record line).
// Copies in different folders run side by side.
//
// Names: "Local\Belvane-" + 8 hex digits of the folder's volume serial number, "-" and 16 of its
// file index, which every way to the folder shares (a junction, a symbolic link, a subst drive,
// a mapped drive and its UNC path, an 8.3 name). Where that cannot be read: "Local\Belvane-" +
// 16 hex digits of a 64-bit FNV-1a hash of the folder's UTF-16 path, upper-cased by the system's
// own case table, so Chinese names and paths of any length give a name of fixed length.
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <string>
#include <string_view>

#include "runtime/handles.h"
#include "runtime/text_value.h"

namespace belvane {

// The mutex's name for `folder_wide` (a folder's full path, UTF-16) by its path text; the
// published window's mapping is the same name with "-window" after it. Pure but for the case
// table.
std::wstring FolderInstanceName(std::wstring_view folder_wide);
// The mutex's name for a folder by its file identity. Pure.
std::wstring FolderIdentityName(DWORD volume_serial, DWORD index_high, DWORD index_low);
// The mutex's name for the folder `folder_wide`: by its file identity, by its path text where
// that cannot be read.
std::wstring ProgramFolderInstanceName(std::wstring_view folder_wide);

// Whether CreateMutexW's outcome (`created`: it gave a handle; `error`: GetLastError right
// after) says another copy holds the claim. Access denied is a mutex that exists, made by a copy
// with rights this one lacks (one started as administrator).
bool HeldByAnotherCopy(bool created, DWORD error);

// The claim and the published window, held for the life of the process by the process's objects
// (app/process_objects.h), which are never destroyed: the claim lasts until the process ends.
struct FolderClaim {
  OwnedKernelHandle mutex;
  OwnedKernelHandle window_map;  // one HWND-sized value
  std::wstring name;
};

// Claims the folder `program_dir` (GBK) for this process into `claim`; true when this is the first
// copy (the claim is held until the process ends). False for a second copy, after it has brought
// the first one's window to the front (waiting up to `wait_ms` for the first copy to show one)
// and written its record line.
bool ClaimProgramFolder(FolderClaim& claim, const TextValue& program_dir, int wait_ms = 5000);

// The first copy's main window, for a second copy to bring to the front.
void PublishMainWindow(FolderClaim& claim, HWND window);

}  // namespace belvane
