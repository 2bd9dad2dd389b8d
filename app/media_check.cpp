#include "app/media_check.h"

#include <utility>

#include "ui/ui_task.h"

namespace belvane {

bool MediaFoundationPresent(const LibraryProbe& probe) {
  return probe(L"mfplat.dll") && probe(L"mfreadwrite.dll");
}

bool LoadsAsLibrary(const wchar_t* name) {
  return LoadLibraryW(name) != nullptr;
}

bool StartMediaCheck(WorkerPool& workers, HWND window, LibraryProbe probe,
                     std::function<void()> missing) {
  // Loading the DLLs runs their start-up code, which is no work for the user-interface thread.
  return workers.Run([window, probe = std::move(probe), missing = std::move(missing)] {
    if (!MediaFoundationPresent(probe)) PostUiTask(window, missing);
  });
}

}  // namespace belvane
