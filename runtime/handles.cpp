#include "runtime/handles.h"

#include <windows.h>

namespace belvane {

static_assert(sizeof(RawHandle) == sizeof(HANDLE), "RawHandle is the platform's HANDLE");

void KernelHandleTraits::Close(RawHandle handle) {
  CloseHandle(handle);
}

void FindHandleTraits::Close(RawHandle handle) {
  FindClose(handle);
}

void ChangeNotificationTraits::Close(RawHandle handle) {
  FindCloseChangeNotification(handle);
}

OwnedKernelHandle NewManualResetEvent() {
  return OwnedKernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

OwnedKernelHandle NewAutoResetEvent() {
  return OwnedKernelHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

bool SignalEvent(KernelHandleRef event) {
  return event && SetEvent(event.Get()) != FALSE;
}

bool WaitForHandle(KernelHandleRef handle, int timeout_ms) {
  if (!handle) return false;
  const DWORD timeout = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
  return WaitForSingleObject(handle.Get(), timeout) == WAIT_OBJECT_0;
}

}  // namespace belvane
