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
  try {
    start.routine(start.parameter);
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
