#include "app/bell/playback.h"

#include "app/schedule/bell_preparation.h"
#include "runtime/handles.h"
#include "runtime/text.h"
#include "ui/ui_task.h"

namespace belvane {

// What the watcher's thread shares with the watcher; the thread holds its own reference.
struct PlaybackWatcher::Shared {
  Shared(MusicPlayer& watched, int interval, std::function<bool()> opening_check)
      : player(&watched), interval_ms(interval), opening(std::move(opening_check)) {}

  MusicPlayer* player;
  int interval_ms;
  std::function<bool()> opening;
  OwnedKernelHandle wake = NewAutoResetEvent();  // a playback handed over, or the stop
  std::mutex mutex;                              // guards what follows
  std::function<void()> ended;                   // the latest playback's
  std::uint64_t playback = 0;                    // counts the playbacks handed over
  bool stop = false;
  bool watching = true;  // false once the thread has reported its last playback's end
};

PlaybackWatcher::PlaybackWatcher(MusicPlayer& player, int interval_ms)
    : player_(player), interval_ms_(interval_ms) {}

PlaybackWatcher::~PlaybackWatcher() {
  Stop();
}

void PlaybackWatcher::Watch(Shared& shared) {
  std::uint64_t playback = 0;
  for (;;) {
    const bool woken = WaitForHandle(shared.wake.Ref(), shared.interval_ms);
    {
      std::lock_guard lock(shared.mutex);
      if (shared.stop) {
        shared.watching = false;
        return;
      }
      // A playback handed over: its first look is an interval away, as a new start's was.
      if (woken || shared.playback != playback) {
        playback = shared.playback;
        continue;
      }
    }
    // Also tells the record of a device that failed under the stream, as it happens.
    const int state = shared.player->WatchState();
    // -2: no stream (the file could not be opened), so nothing will ever play to an end.
    if ((state == 0 || state == -2) && !(shared.opening && shared.opening())) {
      std::function<void()> ended;
      {
        std::lock_guard lock(shared.mutex);
        // Another playback came meanwhile (or the stop): this end is not its.
        if (shared.stop || shared.playback != playback) continue;
        // From here a new playback starts a thread of its own.
        shared.watching = false;
        ended = std::move(shared.ended);
      }
      if (ended) ended();
      return;
    }
  }
}

bool PlaybackWatcher::Start(std::function<void()> ended) {
  std::lock_guard lock(mutex_);
  if (shared_) {
    std::lock_guard watch_lock(shared_->mutex);
    if (shared_->watching && !shared_->stop) {
      shared_->ended = std::move(ended);
      ++shared_->playback;
      return SignalEvent(shared_->wake.Ref());
    }
  }
  // None watches: the last one, if any, has reported its end and is returning.
  thread_.Stop();
  shared_.reset();
  auto shared = std::make_shared<Shared>(player_, interval_ms_, opening_);
  if (!shared->wake) return false;
  shared->ended = std::move(ended);
  if (!thread_.Start([shared] { Watch(*shared); })) return false;
  shared_ = std::move(shared);
  return true;
}

bool PlaybackWatcher::Stop(int timeout_ms) {
  std::lock_guard lock(mutex_);
  if (shared_) {
    {
      std::lock_guard watch_lock(shared_->mutex);
      shared_->stop = true;
    }
    SignalEvent(shared_->wake.Ref());
  }
  // A thread still running keeps its own reference to what it shares; this object lets go.
  const bool ended = thread_.Stop(timeout_ms);
  shared_.reset();
  return ended;
}

bool PlaybackWatcher::Running() {
  std::lock_guard lock(mutex_);
  if (thread_.Running()) return true;
  shared_.reset();
  return false;
}

void PlaybackControl::ShowState() {
  button_.Caption(PlayButtonCaption(state_.State()));
}

void PlaybackControl::StartPlayback(const TextValue& path, StartDone done, bool scheduled) {
  if (starter_) player_.BindStartFunctions();
  if (!starter_ || !starter_(path, std::move(done), scheduled)) {
    player_.Stop();
    const bool opened = player_.OpenFile(path) != 0;
    const bool played = player_.Play() != FALSE;
    if (done) done(OutcomeOfStart(player_, path, opened, played));
  }
  const std::uintptr_t generation = state_.Started();
  watcher_.Start(PlaybackEndedReport(notify_, self_, generation));
  ShowState();
}

void PlaybackControl::TogglePlay(const ListBoxControl& music_list, const TextValue& music_folder,
                                 StartDone done) {
  const int chosen = music_list.CurrentSelection();
  if (chosen == -1) return;
  if (state_.State() == PlaybackState::kStopped) {
    StartPlayback(MusicFilePath(music_folder, music_list.ItemText(chosen)), std::move(done));
  } else {
    if (!stopper_ || !stopper_()) player_.Stop();
    state_.Stopped();
    ShowState();
  }
}

void PlaybackControl::OnPlaybackEnded(std::uintptr_t generation) {
  if (state_.Ended(generation)) ShowState();
}

std::function<void()> PlaybackEndedReport(HWND window, std::weak_ptr<PlaybackControl*> control,
                                          std::uintptr_t generation) {
  return [window, control = std::move(control), generation] {
    PostUiTask(window, [control, generation] {
      if (const std::shared_ptr<PlaybackControl*> live = control.lock())
        (*live)->OnPlaybackEnded(generation);
    });
  };
}

}  // namespace belvane
