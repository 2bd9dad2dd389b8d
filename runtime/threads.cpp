#include "runtime/threads.h"

#include "runtime/process_frame.h"

namespace belvane {

namespace {

struct ThreadStart {
  ThreadRoutine routine;
  std::intptr_t parameter;
};

DWORD WINAPI ThreadTrampoline(void* context) {
  const ThreadStart start = *static_cast<ThreadStart*>(context);
  delete static_cast<ThreadStart*>(context);
  TrimThreadStack();
  try {
    start.routine(start.parameter);
    // Wine frees an ended thread's stack only once another thread ends.
    TrimThreadStack();
  } catch (...) {
    // Nothing may leave a thread start routine; an escaped exception is a program fault.
    ExitProgram(0);  // on a worker this ends the process directly
  }
  return 0;
}

}  // namespace

OwnedKernelHandle StartOwnedThread(ThreadRoutine routine, std::intptr_t parameter) {
  if (routine == nullptr) return OwnedKernelHandle();
  auto* start = new ThreadStart{routine, parameter};
  OwnedKernelHandle thread(CreateThread(nullptr, 0, &ThreadTrampoline, start, 0, nullptr));
  if (!thread) delete start;
  return thread;
}

bool StartThread(ThreadRoutine routine, std::intptr_t parameter, HANDLE* handle) {
  OwnedKernelHandle thread = StartOwnedThread(routine, parameter);
  if (!thread) return false;
  // The command's caller asked for the raw handle and closes it itself.
  if (handle != nullptr) *handle = thread.Release();
  return true;
}

bool CloseThreadHandle(HANDLE handle) {
  return CloseHandle(handle) != FALSE;
}

void TrimThreadStack() {
  // What the caller's frame and the calls it makes next may still need is kept.
  constexpr std::uintptr_t kKeep = 16 * 1024;
  constexpr std::uintptr_t kPage = 4096;
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(&info, &info, sizeof info) == 0) return;
  const auto here = reinterpret_cast<std::uintptr_t>(&info);
  // The stack's committed part begins above its guard pages: the first plain read-write region
  // from the bottom of its reservation.
  auto low = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
  while (low < here) {
    if (VirtualQuery(reinterpret_cast<void*>(low), &info, sizeof info) == 0) return;
    if (info.State == MEM_COMMIT && info.Protect == PAGE_READWRITE) break;
    low = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  if (here < low + kKeep + kPage) return;
  const std::uintptr_t high = (here - kKeep) & ~(kPage - 1);
  // MEM_RESET keeps the pages committed and the guard page where it is.
  VirtualAlloc(reinterpret_cast<void*>(low), high - low, MEM_RESET, PAGE_READWRITE);
}

bool EndOneThread(int timeout_ms) {
  const OwnedKernelHandle thread = StartOwnedThread([](std::intptr_t) {});
  return thread && WaitForHandle(thread.Ref(), timeout_ms);
}

void Delay(int milliseconds) {
  Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

void StartThreadCommand(ValueSlot* result, int count, const ValueSlot* args) {
  *result = ValueSlot{};
  const auto routine = count >= 1 ? reinterpret_cast<ThreadRoutine>(args[0].bits) : nullptr;
  const std::intptr_t parameter = count >= 2 && args[1].IsGiven() ? args[1].AsInt32() : 0;
  HANDLE* handle =
      count >= 3 && args[2].IsGiven() ? reinterpret_cast<HANDLE*>(args[2].bits) : nullptr;
  *result = ValueSlot::Logical(StartThread(routine, parameter, handle));
}

void CloseThreadHandleCommand(ValueSlot* result, int count, const ValueSlot* args) {
  *result = ValueSlot{};
  HANDLE handle = count >= 1 ? reinterpret_cast<HANDLE>(args[0].bits) : nullptr;
  *result = ValueSlot::Logical(CloseThreadHandle(handle));
}

}  // namespace belvane
