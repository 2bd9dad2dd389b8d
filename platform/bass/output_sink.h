#pragma once
// Where a playing channel's buffers go: a waveOut device, or nowhere at real-time pace (device
// 0, "no sound"). A sink holds kBuffers buffers of about kBufferMs each; the channel fills free
// ones in order and learns from Reap() how many bytes have finished playing. A sink lives for
// one continuous run of playback (a seek or a stop ends it). Used under the channel's lock.
// 400 ms queued keeps a loaded machine from starving the device mid-bell; Stop and Pause act on
// the device at once, so the depth costs no responsiveness.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/bass/decoder.h"

namespace belvane::bass {

class OutputSink {
 public:
  static constexpr int kBuffers = 8;
  static constexpr uint32_t kBufferMs = 50;
  // A device that finishes no buffer for this long while some are queued has failed (unplugged,
  // its service gone): a working one finishes one every kBufferMs, even on a loaded machine.
  static constexpr uint64_t kStallMs = 5000;

  virtual ~OutputSink() = default;
  // A free buffer to fill and its capacity (a multiple of the block align), or null when all
  // are queued.
  virtual uint8_t* FreeBuffer(size_t* capacity) = 0;
  // Queues the first n bytes of the buffer FreeBuffer gave; false on a device error.
  virtual bool Submit(size_t n) = 0;
  // Takes back finished buffers; returns the bytes they held.
  virtual uint64_t Reap() = 0;
  // Buffers queued and not finished.
  virtual int Queued() const = 0;
  virtual void Pause() = 0;
  // Starts a paused output; false when the device would not start (it has gone since).
  virtual bool Resume() = 0;
  // Milliseconds until the sink next needs a look without being signalled.
  virtual DWORD WaitHintMs() const = 0;
};

// Opens waveOut device `device` (WAVE_MAPPER for the default) for `format`; completions signal
// `wake`, an event the sink borrows. Null and *error = kErrorDriver (or kErrorFormat) on failure.
std::unique_ptr<OutputSink> OpenWaveOutSink(UINT device, const PcmFormat& format, HANDLE wake,
                                            int* error);
// A sink that plays nothing and finishes each buffer after its real duration.
std::unique_ptr<OutputSink> OpenNullSink(const PcmFormat& format);

// Bytes of one buffer for `format`.
size_t BufferBytes(const PcmFormat& format);

}  // namespace belvane::bass
