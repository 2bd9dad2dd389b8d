// Opens the caller gives up on: the helpers left behind are bounded, and the caller's memory and
// file are let go of as soon as the open has failed. A read that blocks under a playing stream
// holds up neither its stop and free nor another stream.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/bass/bass_api.h"
#include "platform/bass/bass_errors.h"
#include "platform/bass/bounded_call.h"
#include "platform/bass/channel.h"
#include "platform/bass/file_byte_source.h"
#include "platform/bass/mf_decoder.h"
#include "platform/bass/scoped_handle.h"
#include "platform/bass/wav_decoder.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass {
namespace {

using test::WaitFor;

// Calls expected to finish are waited for until they do: a loaded machine may hold a new thread
// back for seconds, and only their outcome is under test. The bound only turns a helper that
// never runs into a failure rather than a hung suite.
constexpr uint32_t kUntilDone = 60000;

// A result that owns something, so the test sees when it is let go.
struct Owned {
  std::shared_ptr<int> thing;
};

// Work that blocks until the test opens the gate.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    // Looks again now and then: a wake lost by the thread library under load (seen once, the
    // helpers then waited out the whole test) must not hold the gate shut.
    while (!opened_.wait_for(lock, std::chrono::milliseconds(20), [&] { return open_; })) {
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

TEST(BoundedCall, HelpersGivenUpOnAreBoundedPerKeyAndInAll) {
  AbandonedHelpers helpers(2);
  Owned out;
  EXPECT_EQ(RunBounded(
                helpers, "a", kUntilDone, [] { return Owned{std::make_shared<int>(7)}; }, &out),
            CallOutcome::kDone);
  ASSERT_TRUE(out.thing);
  EXPECT_EQ(*out.thing, 7);

  auto gate = std::make_shared<Gate>();
  std::weak_ptr<int> stuck_result;
  std::mutex result_mutex;
  auto stuck = [&, gate] {
    gate->Wait();
    auto thing = std::make_shared<int>(1);
    std::lock_guard lock(result_mutex);
    stuck_result = thing;
    return Owned{thing};
  };
  EXPECT_EQ(RunBounded(helpers, "file1", 50, stuck, &out), CallOutcome::kTimedOut);
  EXPECT_EQ(helpers.Count(), 1u);
  // The same file again: refused at once, no second thread.
  std::atomic<bool> ran{false};
  auto flagged = [&] {
    ran = true;
    return Owned{};
  };
  EXPECT_EQ(RunBounded(helpers, "file1", 5000, flagged, &out), CallOutcome::kRefused);
  EXPECT_EQ(RunBounded(helpers, "file2", 50, stuck, &out), CallOutcome::kTimedOut);
  // The bound in all: other files and memory are refused too while both still run.
  EXPECT_EQ(RunBounded(helpers, "file3", 5000, flagged, &out), CallOutcome::kRefused);
  EXPECT_EQ(RunBounded(helpers, "", 5000, flagged, &out), CallOutcome::kRefused);
  EXPECT_FALSE(ran);
  EXPECT_EQ(helpers.Count(), 2u);

  // Once the helpers end they let go of their results, and the file can be tried again.
  gate->Open();
  EXPECT_TRUE(WaitFor([&] { return helpers.Count() == 0; }, kUntilDone));
  {
    std::lock_guard lock(result_mutex);
    EXPECT_TRUE(stuck_result.expired());
  }
  EXPECT_EQ(RunBounded(helpers, "file1", kUntilDone, flagged, &out), CallOutcome::kDone);
  EXPECT_TRUE(ran);
}

// A file on a slow drive: every read takes 200 ms. Counts the reads that arrive after the caller
// was told the open failed.
class SlowSource final : public ByteSource {
 public:
  SlowSource(std::unique_ptr<ByteSource> inner, std::atomic<bool>* caller_gone,
             std::atomic<int>* late_reads)
      : inner_(std::move(inner)), caller_gone_(caller_gone), late_reads_(late_reads) {}
  uint64_t Size() const override { return inner_->Size(); }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override {
    Sleep(200);
    if (*caller_gone_) ++*late_reads_;
    return inner_->ReadAt(pos, out, n);
  }

 private:
  std::unique_ptr<ByteSource> inner_;
  std::atomic<bool>* caller_gone_;
  std::atomic<int>* late_reads_;
};

TEST(AbandonedOpen, LetsGoOfTheCallersBytesAndFileAtOnce) {
  test::TempDir dir;
  const std::string path = dir.Path("slow.mp3");
  ASSERT_TRUE(CopyFileA(test::FixturePath("tone.mp3").c_str(), path.c_str(), FALSE));
  int error = kErrorOk;
  auto file = FileByteSource::Open(std::wstring(path.begin(), path.end()), 0, 0, &error);
  ASSERT_TRUE(file);
  const std::string identity = file->Identity();
  EXPECT_FALSE(identity.empty());

  std::atomic<bool> caller_gone{false};
  std::atomic<int> late_reads{0};
  const ULONGLONG start = GetTickCount64();
  auto decoder =
      MfDecoder::Open(std::make_unique<SlowSource>(std::move(file), &caller_gone, &late_reads),
                      std::wstring(), false, identity, &error, 300);
  caller_gone = true;
  EXPECT_FALSE(decoder);
  EXPECT_EQ(error, kErrorFileForm);
  EXPECT_LT(GetTickCount64() - start, 5000u);
  // The file is closed already (it can be replaced), and nothing reads the source any more,
  // though the helper may still be inside the platform's reader.
  EXPECT_TRUE(DeleteFileA(path.c_str())) << GetLastError();
  Sleep(1000);
  EXPECT_EQ(late_reads, 0);
  EXPECT_TRUE(WaitFor([] { return MfDecoder::AbandonedOpens() == 0; }, 20000));
}

// A drive that stalls: once `state` is 1 each read waits for `resume` (4 s at most, so that a
// fault shows as a slow step rather than a hung test). 2: in a stalled read; 3: let go of.
struct Stall {
  ScopedHandle resume{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> state{0};
};
class StallingSource final : public ByteSource {
 public:
  StallingSource(const std::vector<uint8_t>& bytes, std::shared_ptr<Stall> stall)
      : inner_(bytes.data(), bytes.size()), stall_(std::move(stall)) {}
  ~StallingSource() override { stall_->state = 3; }
  uint64_t Size() const override { return inner_.Size(); }
  size_t ReadAt(uint64_t pos, void* out, size_t n) override {
    if (stall_->state >= 1) {
      stall_->state = 2;
      WaitForSingleObject(stall_->resume.Get(), 4000);
    }
    return inner_.ReadAt(pos, out, n);
  }

 private:
  MemoryByteSource inner_;
  std::shared_ptr<Stall> stall_;
};

TEST(StalledRead, HoldsUpNeitherTheStopAndFreeNorTheNextStream) {
  test::WavLayout layout;
  const std::vector<uint8_t> wav = test::WavFile(layout, test::NoiseSamples(layout, 44100 * 4));
  auto stall = std::make_shared<Stall>();
  int error = kErrorOk;
  auto stalled = std::make_unique<Channel>(
      WavDecoder::Open(std::make_unique<StallingSource>(wav, stall), &error), kDeviceNoSound);
  Channel next(WavDecoder::Open(std::make_unique<MemoryByteSource>(wav.data(), wav.size()), &error),
               kDeviceNoSound);
  ASSERT_TRUE(stalled->Play(false, &error));
  stall->state = 1;
  ASSERT_TRUE(WaitFor([&] { return stall->state == 2; }, 5000));
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(stalled->Stop(&error));
  EXPECT_TRUE(next.Play(false, &error));
  stalled.reset();  // the free
  EXPECT_LT(GetTickCount64() - start, 1000u);
  // The decoder and its file go once the read returns, on the feeding thread.
  EXPECT_EQ(stall->state, 2);
  SetEvent(stall->resume.Get());
  EXPECT_TRUE(WaitFor([&] { return stall->state == 3; }, 5000));
}

}  // namespace
}  // namespace belvane::bass
