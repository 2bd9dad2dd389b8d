#pragma once
// Kernel handles with their ownership in the type. An owning handle closes what it holds when
// it goes; a KernelHandleRef only uses a handle someone else owns. Null and INVALID_HANDLE_VALUE
// (-1) both mean "no handle", since the platform answers failure with either, depending on the
// call.
//
// Free of <windows.h> on purpose: headers of pure code (the clock loop) can hold one.
// Thread policy: a handle object is used by one thread at a time; the handle it holds may be
// waited on or signalled from any thread.

#include <cstdint>
#include <utility>

namespace belvane {

// The platform's HANDLE.
using RawHandle = void*;

// True for null and INVALID_HANDLE_VALUE.
inline bool IsNoHandle(RawHandle handle) {
  return handle == nullptr || handle == reinterpret_cast<RawHandle>(~std::uintptr_t{0});
}

// A handle borrowed from its owner, who keeps it open while this is used.
class KernelHandleRef {
 public:
  KernelHandleRef() = default;
  explicit KernelHandleRef(RawHandle handle) : handle_(handle) {}
  RawHandle Get() const { return handle_; }
  explicit operator bool() const { return !IsNoHandle(handle_); }

 private:
  RawHandle handle_ = nullptr;
};

// Owns one handle and closes it with Traits::Close. Move-only.
template <class Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  // Takes ownership of `handle` (null or INVALID_HANDLE_VALUE: holds nothing).
  explicit UniqueHandle(RawHandle handle) : handle_(IsNoHandle(handle) ? nullptr : handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  // The handle, still owned here; null when none.
  RawHandle Get() const { return handle_; }
  KernelHandleRef Ref() const { return KernelHandleRef(handle_); }
  explicit operator bool() const { return handle_ != nullptr; }
  // Closes the handle held, then holds `handle`.
  void Reset(RawHandle handle = nullptr) {
    RawHandle old = std::exchange(handle_, IsNoHandle(handle) ? nullptr : handle);
    if (old != nullptr) Traits::Close(old);
  }
  // Gives the handle up without closing it.
  RawHandle Release() { return std::exchange(handle_, nullptr); }

 private:
  RawHandle handle_ = nullptr;
};

// CloseHandle: threads, events, files, processes.
struct KernelHandleTraits {
  static void Close(RawHandle handle);
};
// FindClose: a folder search.
struct FindHandleTraits {
  static void Close(RawHandle handle);
};

// FindCloseChangeNotification: a folder's change notification.
struct ChangeNotificationTraits {
  static void Close(RawHandle handle);
};

using OwnedKernelHandle = UniqueHandle<KernelHandleTraits>;
using OwnedFindHandle = UniqueHandle<FindHandleTraits>;
using OwnedChangeNotification = UniqueHandle<ChangeNotificationTraits>;

// A manual-reset event, not signalled; holds nothing when it could not be created.
OwnedKernelHandle NewManualResetEvent();
// An auto-reset event (one wait takes each signal), not signalled; as NewManualResetEvent.
OwnedKernelHandle NewAutoResetEvent();
// SetEvent; false for no handle or a failure.
bool SignalEvent(KernelHandleRef event);
// Waits up to `timeout_ms` (negative: forever) for the handle; true when it was signalled, false
// on a timeout, a failure or no handle.
bool WaitForHandle(KernelHandleRef handle, int timeout_ms);

}  // namespace belvane
