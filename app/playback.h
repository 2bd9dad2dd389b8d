#pragma once
// Playback as the program drives it: StartPlayback (shared by the clock and the play button),
// the playback watcher that puts the play button's caption back when the file has ended, and
// TogglePlay, the play button's handler.
//
// Thread policy: PlaybackControl runs on the user-interface thread only; PlaybackWatcher::Stop
// may also come from an exit that began on another thread. The watcher runs on a
// thread of its own and touches the player only through State (the player locks itself); it
// never waits on a window: it posts its "ended" message, so the user-interface thread may wait
// for a watcher to end without a deadlock. At most one watcher polls at a time.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>

#include "audio/music_player.h"
#include "runtime/text_value.h"
#include "ui/controls/button_control.h"
#include "ui/controls/list_box_control.h"

namespace belvane {

// The play button's two captions: it plays in the first, stops in the second.
inline constexpr const char* kPlayCaption = "播放音乐";
inline constexpr const char* kStopCaption = "停止播放";
// Posted by a watcher to its window: wParam = the playback's generation.
inline constexpr UINT kPlaybackEndedMessage = WM_APP + 0x103;
// How long the user-interface thread waits for a watcher or the clock to end.
inline constexpr int kThreadStopTimeoutMs = 2000;

// Watches one playback: every interval asks the player's State and, once it reports stopped (0)
// or no stream (-2: the file could not be opened), posts (message, generation) and ends.
class PlaybackWatcher {
 public:
  explicit PlaybackWatcher(MusicPlayer& player, int interval_ms = 1000);
  // Stops the watcher (bounded wait).
  ~PlaybackWatcher();
  PlaybackWatcher(const PlaybackWatcher&) = delete;
  PlaybackWatcher& operator=(const PlaybackWatcher&) = delete;

  // Ends the watcher that runs, if any, then starts one for `generation`; false when no thread
  // could be started.
  bool Start(HWND window, UINT message, std::uintptr_t generation);
  // Tells the watcher to end and waits up to `timeout_ms`; true when none runs any more. A
  // watcher that outlives the wait ends at its next look without posting anything that counts.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  // Whether a watcher thread has been started and not yet seen to end.
  bool Running();

 private:
  struct Run;
  static void ThreadMain(std::intptr_t parameter);
  bool StopLocked(int timeout_ms);

  MusicPlayer& player_;
  int interval_ms_;
  // Start and Stop come from the user-interface thread, and Stop also from an exit that began
  // on another thread.
  std::mutex mutex_;
  HANDLE thread_ = nullptr;  // the running watcher's thread; null = none
  DWORD thread_id_ = 0;
  std::shared_ptr<Run> run_;  // shared with that thread, so a late thread never reads freed memory
};

// StartPlayback and TogglePlay over one player, play button and watcher.
class PlaybackControl {
 public:
  // Everything is borrowed and must outlive the control.
  PlaybackControl(MusicPlayer& player, ButtonControl& play_button, PlaybackWatcher& watcher)
      : player_(player), button_(play_button), watcher_(watcher) {}
  PlaybackControl(const PlaybackControl&) = delete;
  PlaybackControl& operator=(const PlaybackControl&) = delete;

  // The window the watcher posts kPlaybackEndedMessage to (the main window).
  void SetNotifyWindow(HWND window) { notify_ = window; }

  // Stop, OpenFile(path), Play, a new watcher, caption "停止播放". The results are not examined:
  // a file that cannot be opened leaves no stream, and its watcher puts the caption back.
  void StartPlayback(const TextValue& path);
  // The play button: with no music chosen nothing happens; with the caption "播放音乐" the
  // chosen file of `music_folder` plays; with any other caption the player stops and the
  // caption reads "播放音乐".
  void TogglePlay(const ListBoxControl& music_list, const TextValue& music_folder);
  // A watcher's kPlaybackEndedMessage: the caption reads "播放音乐" again, unless a later
  // playback has started since that watcher's (its generation is then stale).
  void OnPlaybackEnded(std::uintptr_t generation);

  // Generation of the latest StartPlayback; 0 before the first.
  std::uintptr_t Generation() const { return generation_; }

 private:
  MusicPlayer& player_;
  ButtonControl& button_;
  PlaybackWatcher& watcher_;
  HWND notify_ = nullptr;
  std::uintptr_t generation_ = 0;
};

// The process's one watcher over ProcessMusicPlayer(); never destroyed, so a watcher that
// outlived its bounded wait at exit still finds it.
PlaybackWatcher& ProcessPlaybackWatcher();

}  // namespace belvane
