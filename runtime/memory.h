#pragma once
// Raw blocks from the process heap, for support libraries (dispatcher numbers 2023 to 2026) and
// the few places that need a heap block by address. Program text lives in TextValue instead.
// Heap exhaustion never returns null: it shows "内存不足" and ends the program.
// Thread safety: safe from any thread (the process heap serialises itself).

#include <cstddef>

namespace belvane {

// Fetches the process heap once and installs the out-of-memory handler for C++ allocations.
void InitializeHeap();

// A zero-filled heap block of `size` bytes; never null (exhaustion ends the program).
void* AllocateBlock(std::size_t size);

// Resizes `block` (null acts as AllocateBlock), moving it when needed; added bytes are not
// cleared. Never null: a resize the heap cannot satisfy ends the program like exhaustion.
void* ResizeBlock(void* block, std::size_t size);

// Frees a heap block. Ignores addresses up to 0xFFFF, addresses inside the program's own image,
// unreadable addresses and anything that is not a block of the process heap.
void ReleaseBlock(const void* block);

// True when `address` lies inside the program's loaded image (its constant data).
bool IsInProgramImage(const void* address);

// Shows "内存不足" and ends the program; never returns. Safe from any thread.
[[noreturn]] void FailOutOfMemory();

}  // namespace belvane
