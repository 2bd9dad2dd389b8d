#include "runtime/memory.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "runtime/frame_internal.h"
#include "runtime/message_box.h"

namespace belvane {

namespace {

std::atomic<HANDLE> g_heap{nullptr};

HANDLE Heap() {
  HANDLE heap = g_heap.load(std::memory_order_acquire);
  if (heap == nullptr) {
    heap = GetProcessHeap();
    g_heap.store(heap, std::memory_order_release);
  }
  return heap;
}

void OnNewFailure() {
  FailOutOfMemory();
}

bool IsReadable(const void* address, std::size_t size) {
  MEMORY_BASIC_INFORMATION info;
  const auto* p = static_cast<const char*>(address);
  const auto* end = p + size;
  while (p < end) {
    if (VirtualQuery(p, &info, sizeof info) == 0 || info.State != MEM_COMMIT) return false;
    if (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
    p = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

}  // namespace

void InitializeHeap() {
  Heap();
  std::set_new_handler(&OnNewFailure);
}

void* AllocateBlock(std::size_t size) {
  void* block = HeapAlloc(Heap(), HEAP_ZERO_MEMORY, size);
  if (block == nullptr) FailOutOfMemory();
  return block;
}

void* ResizeBlock(void* block, std::size_t size) {
  if (block == nullptr) return AllocateBlock(size);
  void* resized = HeapReAlloc(Heap(), 0, block, size);
  if (resized == nullptr) FailOutOfMemory();  // callers expect a valid block back
  return resized;
}

bool IsInProgramImage(const void* address) {
  const auto* base = reinterpret_cast<const char*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto* p = static_cast<const char*>(address);
  return p >= base && p <= base + nt->OptionalHeader.SizeOfImage;
}

void ReleaseBlock(const void* block) {
  if (reinterpret_cast<std::uintptr_t>(block) <= 0xFFFF) return;
  if (IsInProgramImage(block)) return;
  if (!IsReadable(block, 8)) return;
  // Freeing anything that is not a block of this heap would corrupt it: check first.
  void* p = const_cast<void*>(block);
  if (!HeapValidate(Heap(), 0, p)) return;
  HeapFree(Heap(), 0, p);
}

void FailOutOfMemory() {
  // Both texts fit the small-string buffer: showing them needs no heap.
  ShowFatalBox("内存不足", "error");
  ExitProgramDirectly(0);
}

}  // namespace belvane
