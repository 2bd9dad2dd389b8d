#pragma once
// When a channel's sound began: the moment the first buffer of its current output run went to a
// running output. A run opened playing is marked at its first buffer; a run opened paused (a
// primed one) when its output is started with buffers queued, not when they were queued, which
// may be seconds earlier. Pausing and resuming a run that has sounded keeps its mark; each new
// run (a Play after Stop, a restart, a seek while playing) is marked afresh, and until it sounds
// there is no mark. The mark of a run stays readable after that run ended.
//
// The times are the caller's (any clock); nothing here reads one.
// Thread policy: plain data, guarded by its channel's lock.

#include <cstdint>
#include <optional>

namespace belvane::bass {

class SoundStart {
 public:
  // A new run's output was opened; `paused`: opened paused, to be started later.
  void RunOpened(bool paused) {
    at_.reset();
    waiting_ = true;
    paused_ = paused;
  }
  // A buffer was handed to the output at `now`.
  void Submitted(uint64_t now) {
    if (waiting_ && !paused_) Mark(now);
  }
  void Paused() { paused_ = true; }
  // The paused output was started at `now` with `queued` buffers waiting in it.
  void Resumed(int queued, uint64_t now) {
    paused_ = false;
    if (waiting_ && queued > 0) Mark(now);
  }
  // When the current or last run began to sound; nothing when it has not.
  std::optional<uint64_t> At() const { return at_; }

 private:
  void Mark(uint64_t now) {
    at_ = now;
    waiting_ = false;
  }

  std::optional<uint64_t> at_;
  bool waiting_ = false;  // a run is open and has not sounded yet
  bool paused_ = false;
};

}  // namespace belvane::bass
