#pragma once
// Owning wrappers for GDI and USER handles that a window object keeps (fonts, brushes,
// bitmaps, icons, cursors). A handle handed to a window object is owned by it from then on and
// released when it is replaced, when the window is destroyed or when the object goes away.

#include <windows.h>

#include <utility>

namespace belvane {

// Releases one kind of handle.
struct GdiDeleter {
  static void Release(HGDIOBJ object) { DeleteObject(object); }
};
struct IconDeleter {
  static void Release(HICON icon) { DestroyIcon(icon); }
};
struct CursorDeleter {
  static void Release(HCURSOR cursor) { DestroyCursor(cursor); }
};

// Unique owner of one handle; not copyable, movable.
template <typename Handle, typename Deleter>
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(Handle handle) : handle_(handle) {}
  ~OwnedHandle() { Reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }

  // The handle, still owned.
  Handle Get() const { return handle_; }
  // Releases the held handle (unless it is the new one) and takes the new one.
  void Reset(Handle handle = nullptr) {
    if (handle_ != nullptr && handle_ != handle) Deleter::Release(handle_);
    handle_ = handle;
  }
  // Gives the handle up without releasing it.
  Handle Release() { return std::exchange(handle_, nullptr); }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  Handle handle_ = nullptr;
};

using OwnedFont = OwnedHandle<HFONT, GdiDeleter>;
using OwnedBrush = OwnedHandle<HBRUSH, GdiDeleter>;
using OwnedBitmap = OwnedHandle<HBITMAP, GdiDeleter>;
using OwnedIcon = OwnedHandle<HICON, IconDeleter>;
using OwnedCursor = OwnedHandle<HCURSOR, CursorDeleter>;

}  // namespace belvane
