// Owned kernel handles, the worker-thread owner and the pool of them.

#include "runtime/handles.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>

#include <gtest/gtest.h>

#include "runtime/worker_pool.h"
#include "runtime/worker_thread.h"

namespace belvane {
namespace {

bool IsOpenHandle(RawHandle handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(OwnedHandleTest, ClosesWhatItOwnsOnceAndOnlyThat) {
  RawHandle raw = nullptr;
  {
    OwnedKernelHandle event = NewManualResetEvent();
    ASSERT_TRUE(event);
    raw = event.Get();
    EXPECT_TRUE(IsOpenHandle(raw));
    OwnedKernelHandle moved = std::move(event);
    EXPECT_FALSE(event) << "a moved-from handle holds nothing";
    EXPECT_EQ(moved.Get(), raw);
    EXPECT_TRUE(IsOpenHandle(raw)) << "a move must not close";
    OwnedKernelHandle other = NewManualResetEvent();
    const RawHandle other_raw = other.Get();
    moved = std::move(other);  // closes the first, takes the second
    EXPECT_FALSE(IsOpenHandle(raw));
    raw = other_raw;
  }
  EXPECT_FALSE(IsOpenHandle(raw)) << "the owner's end closes its handle";

  // Failure values of the platform hold nothing and are never closed.
  EXPECT_FALSE(OwnedKernelHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(OwnedKernelHandle(nullptr));
  OwnedKernelHandle kept = NewManualResetEvent();
  const RawHandle released = kept.Release();
  EXPECT_FALSE(kept);
  EXPECT_TRUE(IsOpenHandle(released)) << "Release gives the handle up unclosed";
  CloseHandle(released);
}

TEST(OwnedHandleTest, EventsSignalAndWaitThroughBorrowedViews) {
  OwnedKernelHandle event = NewManualResetEvent();
  const KernelHandleRef view = event.Ref();
  EXPECT_FALSE(WaitForHandle(view, 0));
  EXPECT_TRUE(SignalEvent(view));
  EXPECT_TRUE(WaitForHandle(view, 0));
  EXPECT_TRUE(WaitForHandle(view, 0)) << "manual reset: stays signalled";
  EXPECT_FALSE(SignalEvent(KernelHandleRef()));
  EXPECT_FALSE(WaitForHandle(KernelHandleRef(), 0));
}

TEST(WorkerThreadTest, StartsOnceStopsWithABoundedWaitAndReportsItsEnd) {
  WorkerThread worker;
  auto release = std::make_shared<OwnedKernelHandle>(NewManualResetEvent());
  std::atomic<bool> ran{false};
  ASSERT_TRUE(worker.Start([release, &ran] {
    ran = true;
    WaitForHandle(release->Ref(), -1);
  }));
  EXPECT_FALSE(worker.Start([] {})) << "one thread at a time";
  EXPECT_TRUE(worker.Running());

  // Still blocked: the wait is bounded, and the thread is let go of.
  const ULONGLONG before = GetTickCount64();
  EXPECT_FALSE(worker.Stop(50));
  EXPECT_LT(GetTickCount64() - before, 1000u);
  EXPECT_FALSE(worker.Running());
  EXPECT_TRUE(ran.load());
  SignalEvent(release->Ref());  // the let-go thread still owns its share of the event

  ASSERT_TRUE(worker.Start([] {}));
  EXPECT_TRUE(worker.Stop(kThreadStopTimeoutMs));
  EXPECT_TRUE(worker.Stop(kThreadStopTimeoutMs)) << "stopping twice is harmless";
  EXPECT_FALSE(worker.Start(nullptr));
}

TEST(WorkerThreadTest, RefusesToWaitForItself) {
  WorkerThread worker;
  std::atomic<int> answer{-1};
  std::atomic<bool> current{false};
  auto done = std::make_shared<OwnedKernelHandle>(NewManualResetEvent());
  ASSERT_TRUE(worker.Start([&worker, &answer, &current, done] {
    current = worker.IsCurrent();
    answer = worker.Stop(60'000) ? 1 : 0;  // would hang (the test times out) if it waited
    SignalEvent(done->Ref());
  }));
  ASSERT_TRUE(WaitForHandle(done->Ref(), 10'000));
  EXPECT_TRUE(current.load());
  EXPECT_EQ(answer.load(), 0);
  EXPECT_FALSE(worker.IsCurrent());
  EXPECT_FALSE(worker.Running());
}

TEST(WorkerPoolTest, RunsEachJobOnItsOwnThreadHoldsHungOnesAndStopsWithOneBoundedWait) {
  WorkerPool pool;
  auto release = std::make_shared<OwnedKernelHandle>(NewManualResetEvent());
  auto quick = std::make_shared<OwnedKernelHandle>(NewManualResetEvent());
  std::atomic<int> started{0};
  // Four jobs that hang and one that ends when told: all run at once, none waits for a slot.
  for (const auto& gate : {release, release, release, release, quick}) {
    ASSERT_TRUE(pool.Run([gate, &started] {
      ++started;
      WaitForHandle(gate->Ref(), -1);
    }));
  }
  const ULONGLONG end = GetTickCount64() + 10'000;
  while (started < 5 && GetTickCount64() < end) Sleep(5);
  EXPECT_EQ(started.load(), 5);
  EXPECT_EQ(pool.Running(), 5);
  SignalEvent(quick->Ref());
  while (pool.Running() > 4 && GetTickCount64() < end) Sleep(5);
  EXPECT_EQ(pool.Running(), 4) << "an ended job is let go; the hung ones stay held";
  EXPECT_FALSE(pool.Run(nullptr));

  // One deadline for all the hung jobs, not one wait each; then they are let go.
  const ULONGLONG before = GetTickCount64();
  EXPECT_FALSE(pool.Stop(300));
  const ULONGLONG took = GetTickCount64() - before;
  EXPECT_GE(took, 250u);
  EXPECT_LT(took, 1000u);
  EXPECT_EQ(pool.Running(), 0);
  SignalEvent(release->Ref());  // the let-go threads still own their share of the event

  ASSERT_TRUE(pool.Run([] {})) << "a stopped pool runs again";
  EXPECT_TRUE(pool.Stop(kThreadStopTimeoutMs));
}

}  // namespace
}  // namespace belvane
