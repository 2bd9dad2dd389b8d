#include "runtime/late_binding.h"

#include <string>

#include "runtime/frame_internal.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace belvane {

namespace {

constexpr std::size_t kMaxLoadedLibraries = 100;

// Loading and listing happen under one lock so two threads binding at once list a DLL once.
SRWLOCK g_library_lock = SRWLOCK_INIT;
HMODULE g_loaded[kMaxLoadedLibraries] = {};
std::size_t g_loaded_count = 0;

void ReleaseLoadedLibraries() {
  AcquireSRWLockExclusive(&g_library_lock);
  for (std::size_t i = 0; i < kMaxLoadedLibraries && g_loaded[i] != nullptr; ++i) {
    FreeLibrary(g_loaded[i]);
    g_loaded[i] = nullptr;
  }
  g_loaded_count = 0;
  ReleaseSRWLockExclusive(&g_library_lock);
}

[[noreturn]] void FailBinding(const TextValue& message) {
  ShowFatalBox(message, "DLL ERROR");
  ExitProgram(0);
}

HMODULE LibraryHandle(const char* library) {
  AcquireSRWLockExclusive(&g_library_lock);
  HMODULE module = GetModuleHandleA(library);
  if (module == nullptr) {
    module = LoadLibraryA(library);
    if (module != nullptr && g_loaded_count < kMaxLoadedLibraries) {
      g_loaded[g_loaded_count++] = module;
      if (g_loaded_count == 1) SetFinalHook(&ReleaseLoadedLibraries);
    }
  }
  ReleaseSRWLockExclusive(&g_library_lock);
  return module;
}

// The name GetProcAddress is given: a name whose first "@" is directly followed by a second
// one ("x@@YAHH@Z") is cut at that first "@"; any other name is used unchanged.
std::string LookupName(std::string_view function) {
  const std::size_t at = function.find('@');
  if (at != std::string_view::npos && at + 1 < function.size() && function[at + 1] == '@') {
    return std::string(function.substr(0, at));
  }
  return std::string(function);
}

}  // namespace

void* BindLibraryFunction(const char* library, const char* function, void** slot) {
  const char* lib = library ? library : "";
  const char* name = function ? function : "";
  HMODULE module = LibraryHandle(lib);
  if (module == nullptr) {
    FailBinding(ConcatTexts("同目录下无法找到DLL文件:\"", lib, "\".请与作者联系."));
  }
  FARPROC address;
  if (name[0] == '#') {
    // Ordinals are 16-bit: any other number names no function (never a truncated one).
    const std::int32_t ordinal = ParseDecimal(name + 1);
    address = ordinal < 1 || ordinal > 0xFFFF
                  ? nullptr
                  : GetProcAddress(module, MAKEINTRESOURCEA(static_cast<WORD>(ordinal)));
  } else {
    address = GetProcAddress(module, LookupName(name).c_str());
  }
  if (address == nullptr) {
    FailBinding(ConcatTexts("无法定位DLL文件:\"", lib, "\"当中的\"", name, "\"函数."));
  }
  void* result = reinterpret_cast<void*>(address);
  if (slot != nullptr) *slot = result;
  return result;
}

void* FindLibraryFunction(const char* library, const char* function) {
  if (library == nullptr || function == nullptr) return nullptr;
  const HMODULE module = LibraryHandle(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(module, LookupName(function).c_str()));
}

std::span<const HMODULE> LoadedLibraryList() {
  AcquireSRWLockShared(&g_library_lock);
  const std::size_t count = g_loaded_count;
  ReleaseSRWLockShared(&g_library_lock);
  return {g_loaded, count};
}

}  // namespace belvane
