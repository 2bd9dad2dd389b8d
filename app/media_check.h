#pragma once
// Media Foundation decodes mp3, m4a and wma for the audio library. Windows 7's N and KN editions
// and trimmed system images lack it, and then only WAV files play. Start-up looks for it once,
// off the user-interface thread, so that the record and the window say so before the first bell
// instead of a bell failing later with only "无法播放" in the record.
//
// Thread policy: StartMediaCheck from any thread; `missing` runs on the window's thread.

#include <windows.h>

#include <functional>

#include "runtime/worker_pool.h"

namespace belvane {

// Whether the system DLL `name` can be loaded.
using LibraryProbe = std::function<bool(const wchar_t* name)>;

// What the line below the list says while it is missing.
inline constexpr char kMediaMissingNotice[] =
    "缺少媒体功能：mp3/m4a/wma 无法播放，请安装媒体功能包";

// True when both DLLs the audio library decodes with load: mfplat.dll and mfreadwrite.dll.
bool MediaFoundationPresent(const LibraryProbe& probe);

// The program's probe: LoadLibraryW, as the audio library loads them. A DLL that loads stays
// loaded: the library loads it anyway at its first compressed file.
bool LoadsAsLibrary(const wchar_t* name);

// Looks on one of `workers`; when Media Foundation is missing, posts `missing` to `window`.
// False when no thread could be started (nothing is then told).
bool StartMediaCheck(WorkerPool& workers, HWND window, LibraryProbe probe,
                     std::function<void()> missing);

}  // namespace belvane
