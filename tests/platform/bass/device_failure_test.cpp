// A device that fails under a playing stream, through sinks that stand in for it: the stream ends
// as stopped (its thread does not hang on), and the next Play opens the output afresh. Also when
// a stream's sound began, as the sinks see their first buffer.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "platform/bass/bass_api.h"
#include "platform/bass/byte_source.h"
#include "platform/bass/channel.h"
#include "platform/bass/wav_decoder.h"
#include "tests/platform/bass/bass_test_support.h"

namespace belvane::bass {
namespace {

using test::WaitFor;

// A device that takes `accepted` buffers (-1: all), then refuses the next; it finishes each
// buffer at once unless `stalled`, when it finishes none; `gone`: it will not start once paused.
class FakeSink final : public OutputSink {
 public:
  FakeSink(size_t bytes, int accepted, bool stalled, bool gone = false)
      : buffer_(bytes), accepted_(accepted), stalled_(stalled), gone_(gone) {}
  uint8_t* FreeBuffer(size_t* capacity) override {
    if (queued_.size() == kBuffers) return nullptr;
    *capacity = buffer_.size();
    return buffer_.data();
  }
  bool Submit(size_t n) override {
    if (accepted_ == 0) return false;
    if (accepted_ > 0) --accepted_;
    queued_.push_back(n);
    return true;
  }
  uint64_t Reap() override {
    if (stalled_) return 0;
    uint64_t bytes = 0;
    for (size_t n : queued_) bytes += n;
    queued_.clear();
    return bytes;
  }
  int Queued() const override { return static_cast<int>(queued_.size()); }
  void Pause() override {}
  bool Resume() override { return !gone_; }
  DWORD WaitHintMs() const override { return 20; }

 private:
  std::vector<uint8_t> buffer_;
  std::vector<size_t> queued_;
  int accepted_;
  bool stalled_;
  bool gone_;
};

class DeviceFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WavLayout layout;
    wav_ = test::WavFile(layout, test::NoiseSamples(layout, 44100 * 3));
    int error = 0;
    auto decoder =
        WavDecoder::Open(std::make_unique<MemoryByteSource>(wav_.data(), wav_.size()), &error);
    ASSERT_TRUE(decoder);
    channel_ = std::make_unique<Channel>(
        std::move(decoder), kDeviceDefault,
        [this](const PcmFormat& format, HANDLE, int*) -> std::unique_ptr<OutputSink> {
          ++opened_;
          return std::make_unique<FakeSink>(BufferBytes(format), accepted_, stalled_, gone_);
        });
  }

  std::vector<uint8_t> wav_;
  std::atomic<int> opened_{0};
  int accepted_ = -1;
  bool stalled_ = false;
  bool gone_ = false;
  std::unique_ptr<Channel> channel_;
};

TEST_F(DeviceFailure, ADeviceThatStopsFinishingBuffersEndsTheStreamAsStopped) {
  stalled_ = true;
  int error = 0;
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(channel_->Play(false, &error));
  EXPECT_EQ(channel_->State(), kActivePlaying);
  ASSERT_TRUE(WaitFor([&] { return channel_->State() == kActiveStopped; },
                      static_cast<DWORD>(OutputSink::kStallMs) + 3000));
  EXPECT_GE(GetTickCount64() - start, OutputSink::kStallMs);
  // Told apart from a stream that played to its end, so the loss is known as it happens.
  int why = kErrorOk;
  EXPECT_EQ(channel_->State(&why), kActiveStopped);
  EXPECT_EQ(why, kErrorDriver);
  uint64_t heard = 1;
  ASSERT_TRUE(channel_->Position(&heard, &error));
  EXPECT_EQ(heard, 0u);

  // The next Play opens the output again; a working one plays the stream to its end.
  stalled_ = false;
  ASSERT_TRUE(channel_->Play(false, &error));
  EXPECT_EQ(opened_, 2);
  EXPECT_EQ(channel_->State(&why), kActivePlaying);
  EXPECT_EQ(why, kErrorOk);
  ASSERT_TRUE(WaitFor([&] { return channel_->State() == kActiveStopped; }, 10000));
  EXPECT_EQ(channel_->State(&why), kActiveStopped);
  EXPECT_EQ(why, kErrorOk) << "a stream played to its end told as a failed device";
  uint64_t length = 0;
  ASSERT_TRUE(channel_->Length(&length, &error));
  ASSERT_TRUE(channel_->Position(&heard, &error));
  EXPECT_EQ(heard, length);
  const ULONGLONG shutdown = GetTickCount64();
  channel_->Shutdown();
  EXPECT_LT(GetTickCount64() - shutdown, 1000u);
}

TEST_F(DeviceFailure, ADeviceThatRefusesABufferEndsTheStreamAtWhatWasHeard) {
  accepted_ = 20;
  int error = 0;
  ASSERT_TRUE(channel_->Play(false, &error));
  ASSERT_TRUE(WaitFor([&] { return channel_->State() == kActiveStopped; }, 5000));
  uint64_t heard = 0;
  ASSERT_TRUE(channel_->Position(&heard, &error));
  EXPECT_EQ(heard, 20 * BufferBytes(channel_->Format()));
  int why = kErrorOk;
  EXPECT_EQ(channel_->State(&why), kActiveStopped);
  EXPECT_EQ(why, kErrorDriver);
  // A paused stream is not a stalled one: nothing is due to finish while it waits.
  accepted_ = -1;
  stalled_ = true;
  ASSERT_TRUE(channel_->Play(false, &error));
  ASSERT_TRUE(channel_->Pause(&error));
  Sleep(static_cast<DWORD>(OutputSink::kStallMs) + 500);
  EXPECT_EQ(channel_->State(&why), kActivePaused);
  EXPECT_EQ(why, kErrorOk);
  // Stopped by the caller is no failed device either.
  ASSERT_TRUE(channel_->Stop(&error));
  EXPECT_EQ(channel_->State(&why), kActiveStopped);
  EXPECT_EQ(why, kErrorOk);

  // Readied on a device that is gone by the second: the start fails for the device, not
  // "played" in silence.
  gone_ = true;
  ASSERT_TRUE(channel_->Prime(&error));
  EXPECT_FALSE(channel_->Play(false, &error));
  EXPECT_EQ(error, kErrorDriver);
  EXPECT_EQ(channel_->State(&why), kActiveStopped);
  EXPECT_EQ(why, kErrorDriver);
}

// The system's time as the library stamps it (the coarse clock never runs ahead of the fine one).
uint64_t SystemNow() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

// A readied stream sounds at Play, not when its buffers were queued; a pause keeps the start,
// a new run takes a new one, and the last stays readable once stopped.
TEST_F(DeviceFailure, TheStartTimeIsWhenTheFirstBufferReachedARunningOutput) {
  stalled_ = true;  // nothing finishes: the run stays where the test puts it
  constexpr uint64_t kCoarseSlack = 20 * 10000;  // 20 ms in FILETIME units
  int error = 0;
  uint64_t at = 0;
  EXPECT_FALSE(channel_->StartTime(&at, &error));
  EXPECT_EQ(error, kErrorStart);
  ASSERT_TRUE(channel_->Prime(&error));
  EXPECT_FALSE(channel_->StartTime(&at, &error)) << "readied, not heard";
  Sleep(200);
  const uint64_t before_play = SystemNow();
  ASSERT_TRUE(channel_->Play(false, &error));
  const uint64_t after_play = SystemNow();
  ASSERT_TRUE(channel_->StartTime(&at, &error));
  EXPECT_GE(at, before_play) << "marked when readied";
  EXPECT_LE(at, after_play + kCoarseSlack);

  ASSERT_TRUE(channel_->Pause(&error));
  Sleep(50);
  ASSERT_TRUE(channel_->Play(false, &error));
  uint64_t later = 0;
  ASSERT_TRUE(channel_->StartTime(&later, &error));
  EXPECT_EQ(later, at);

  ASSERT_TRUE(channel_->Stop(&error));
  ASSERT_TRUE(channel_->StartTime(&later, &error));
  EXPECT_EQ(later, at);
  Sleep(50);
  const uint64_t before_again = SystemNow();
  ASSERT_TRUE(channel_->Play(false, &error));
  ASSERT_TRUE(channel_->StartTime(&later, &error));
  EXPECT_GE(later, before_again);
  EXPECT_EQ(opened_, 2);
}

}  // namespace
}  // namespace belvane::bass
