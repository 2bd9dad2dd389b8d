#pragma once
// Whether the program is playing, as the play button shows it: one explicit state, changed only
// here, and the button's caption derived from it. Each playback started gets a new generation,
// so news of an older playback's end (which arrives late, from its watcher) changes nothing.
//
// Thread policy: user-interface thread only. Pure: no window, no player.

#include <cstdint>

namespace belvane {

enum class PlaybackState { kStopped, kPlaying };

// The play button's two captions: it plays in the first, stops in the second.
inline constexpr const char* kPlayCaption = "播放音乐";
inline constexpr const char* kStopCaption = "停止播放";

// The caption the play button shows in `state`.
constexpr const char* PlayButtonCaption(PlaybackState state) {
  return state == PlaybackState::kPlaying ? kStopCaption : kPlayCaption;
}

class PlaybackController {
 public:
  PlaybackState State() const { return state_; }
  // Generation of the latest playback started; 0 before the first.
  std::uintptr_t Generation() const { return generation_; }

  // A playback started (by the clock or the button): playing, under a new generation, which is
  // returned.
  std::uintptr_t Started() {
    state_ = PlaybackState::kPlaying;
    return ++generation_;
  }
  // The user stopped the playback.
  void Stopped() { state_ = PlaybackState::kStopped; }
  // The watcher of `generation` saw its playback end: stopped, unless a later playback has
  // started since. Returns whether `generation` was the latest.
  bool Ended(std::uintptr_t generation) {
    if (generation != generation_) return false;
    state_ = PlaybackState::kStopped;
    return true;
  }

 private:
  PlaybackState state_ = PlaybackState::kStopped;
  std::uintptr_t generation_ = 0;
};

}  // namespace belvane
