#pragma once
// Playback as the program drives it: StartPlayback (shared by the clock and the play button),
// the playback watcher that reports when the file has ended (a task posted to the
// user-interface thread), and the play button's state.
//
// Thread policy: PlaybackControl runs on the user-interface thread only; PlaybackWatcher::Stop
// may also come from an exit that began on another thread. The watcher runs on a thread of its
// own and touches the player only through WatchState (the player locks itself); it never waits
// on a window: its report is a task posted to the user-interface thread (ui/ui_task.h), so that
// thread may wait for a watcher to end without a deadlock. The watcher's one thread lives while
// something plays: a new playback is handed to it, and it ends with the last one's end, so that
// none waits at idle.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "app/bell/bell.h"
#include "app/bell/playback_state.h"
#include "audio/music_player.h"
#include "runtime/text_value.h"
#include "runtime/worker_thread.h"
#include "ui/controls/button_control.h"
#include "ui/controls/list_box_control.h"

namespace belvane {

// Watches the latest playback: every interval asks the player's WatchState and, once it reports
// stopped (0) or no stream (-2: the file could not be opened), calls that playback's `ended`
// routine (on the watcher's thread). One thread does it, started with a playback when none
// runs and ending after it reports an end; a playback started meanwhile is handed to it.
class PlaybackWatcher {
 public:
  explicit PlaybackWatcher(MusicPlayer& player, int interval_ms = 1000);
  // Stops the watcher (bounded wait).
  ~PlaybackWatcher();
  PlaybackWatcher(const PlaybackWatcher&) = delete;
  PlaybackWatcher& operator=(const PlaybackWatcher&) = delete;

  // Watches a new playback in place of any earlier one (whose `ended` is then never called) and
  // calls `ended` once it has ended: the playback is handed to the thread that runs, else a
  // thread is started for it. False when it could be neither.
  bool Start(std::function<void()> ended);
  // Asked (on the watcher's thread) before a stopped player or one with no stream counts as
  // ended: true while the start's file is still being opened elsewhere, so the stop caption
  // stays until the sound starts or the open fails. Set before the first Start.
  void SetOpeningCheck(std::function<bool()> opening) { opening_ = std::move(opening); }
  // Tells the watcher to end and waits up to `timeout_ms`; true when none runs any more. A
  // watcher that outlives the wait ends at its next look without calling `ended`.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  // Whether the watcher's thread has been started and not yet seen to end.
  bool Running();

 private:
  struct Shared;
  static void Watch(Shared& shared);

  MusicPlayer& player_;
  int interval_ms_;
  std::function<bool()> opening_;
  // Start and Stop come from the user-interface thread, and Stop also from an exit that began
  // on another thread.
  std::mutex mutex_;
  WorkerThread thread_;
  // Shared with the thread, so a late thread never reads freed memory.
  std::shared_ptr<Shared> shared_;
};

// StartPlayback and the play button over one player, play button and watcher. The button's
// caption always reads PlayButtonCaption(State()).
class PlaybackControl {
 public:
  // Everything is borrowed and must outlive the control.
  PlaybackControl(MusicPlayer& player, ButtonControl& play_button, PlaybackWatcher& watcher)
      : player_(player), button_(play_button), watcher_(watcher) {}
  PlaybackControl(const PlaybackControl&) = delete;
  PlaybackControl& operator=(const PlaybackControl&) = delete;

  // The window whose thread hears of a playback's end (the main window; its hook runs tasks).
  void SetNotifyWindow(HWND window) { notify_ = window; }
  // Where starts go to have their file opened off this thread (the bell worker), with who hears
  // what the start gave; it answers false when it cannot take the start (leaving `done` as it
  // was), which is then made here as before.
  // `scheduled`: a timetable's bell, not the play button's.
  using Starter = std::function<bool(const TextValue& path, StartDone&& done, bool scheduled)>;
  void SetStarter(Starter starter) { starter_ = std::move(starter); }
  // The same for the play button's stop, so that it is never overtaken by a start handed over
  // before it.
  void SetStopper(std::function<bool()> stopper) { stopper_ = std::move(stopper); }

  // Stop, OpenFile(path), Play (by the starter when one is set), then the watcher takes the new
  // playback (after the start, never on its path), playing. `done` hears what the start gave,
  // from the thread that made it. The button does not wait for that: a file that cannot be
  // opened leaves no stream, and the watcher reports the end at its first look.
  // `scheduled`: a timetable's bell (the bell level applies to it).
  void StartPlayback(const TextValue& path, StartDone done = {}, bool scheduled = false);
  // The play button: with no music chosen nothing happens; when stopped the chosen file of
  // `music_folder` plays (`done` as for StartPlayback); when playing the player stops.
  void TogglePlay(const ListBoxControl& music_list, const TextValue& music_folder,
                  StartDone done = {});
  // A watcher reported the end of playback `generation`: stopped, unless a later playback has
  // started since that watcher's.
  void OnPlaybackEnded(std::uintptr_t generation);

  PlaybackState State() const { return state_.State(); }
  // Generation of the latest StartPlayback; 0 before the first.
  std::uintptr_t Generation() const { return state_.Generation(); }

 private:
  void ShowState();

  MusicPlayer& player_;
  ButtonControl& button_;
  PlaybackWatcher& watcher_;
  HWND notify_ = nullptr;
  Starter starter_;
  std::function<bool()> stopper_;
  PlaybackController state_;
  // A report posted by a watcher finds this control only while it lives.
  std::shared_ptr<PlaybackControl*> self_ = std::make_shared<PlaybackControl*>(this);
};

// The watcher's `ended` routine for playback `generation` of `control`: posts
// control->OnPlaybackEnded(generation) to `window`'s thread, unless the control is gone by then.
// The routine runs on the watcher's thread.
std::function<void()> PlaybackEndedReport(HWND window, std::weak_ptr<PlaybackControl*> control,
                                          std::uintptr_t generation);

}  // namespace belvane
