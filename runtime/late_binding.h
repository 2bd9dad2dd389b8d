#pragma once
// Late binding of DLL functions by name. A missing DLL or function is fatal: a "DLL ERROR" box
// ("同目录下无法找到DLL文件:..." / "无法定位DLL文件:...当中的...函数.") and ExitProgram(0).
// Thread safety: safe from any thread; a slot is only ever written with the same address.

#include <windows.h>

#include <atomic>
#include <span>

namespace belvane {

// Binds `function` of `library` and stores the address in *slot (when slot is non-null).
// The library is taken from the process when already loaded, else loaded (LoadLibraryA; a bare
// name gets ".dll") and added to LoadedLibraryList. "#3" binds ordinal 3; a name whose first
// "@" is directly followed by a second "@" is looked up as the part before it. Never returns
// null: failure ends the program.
void* BindLibraryFunction(const char* library, const char* function, void** slot);

// The address of `function` of `library`, or null when either is missing: for a function the
// program can do without (the caller tests it). Loads and lists the library as
// BindLibraryFunction does.
void* FindLibraryFunction(const char* library, const char* function);

// The DLLs that BindLibraryFunction loaded itself, in load order (at most 100). ExitProgram
// releases them; a DLL already in the process when first bound is never listed.
std::span<const HMODULE> LoadedLibraryList();

// A late-bound entry typed by the real prototype, so a wrong signature is a compile error:
//   LateBoundFunction<decltype(BASS_Init)> bass_init{"bass", "BASS_Init"};
//   bass_init()(device, freq, flags, win, clsid);
// The first call binds; later calls go straight to the DLL.
template <class Prototype>
class LateBoundFunction {
 public:
  constexpr LateBoundFunction(const char* library, const char* name)
      : library_(library), name_(name) {}
  LateBoundFunction(const LateBoundFunction&) = delete;
  LateBoundFunction& operator=(const LateBoundFunction&) = delete;

  // The bound function, binding it first when needed (fatal when it cannot be found).
  Prototype* operator()() {
    Prototype* f = entry_.load(std::memory_order_acquire);
    if (f == nullptr) {
      void* address = BindLibraryFunction(library_, name_, nullptr);
      f = reinterpret_cast<Prototype*>(address);
      entry_.store(f, std::memory_order_release);
    }
    return f;
  }
  // True once bound.
  bool IsBound() const { return entry_.load(std::memory_order_acquire) != nullptr; }

 private:
  const char* library_;
  const char* name_;
  std::atomic<Prototype*> entry_{nullptr};
};

}  // namespace belvane
