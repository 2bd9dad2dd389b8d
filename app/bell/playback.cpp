#include "app/bell/playback.h"

#include "app/schedule/bell_preparation.h"
#include "runtime/handles.h"
#include "runtime/text.h"
#include "ui/ui_task.h"

namespace belvane {

// What one watcher thread needs; the thread holds its own reference.
struct PlaybackWatcher::Run {
  MusicPlayer* player;
  int interval_ms;
  std::function<void()> ended;
  std::function<bool()> opening;
  OwnedKernelHandle stop = NewManualResetEvent();  // manual-reset: set = end now
};

PlaybackWatcher::PlaybackWatcher(MusicPlayer& player, int interval_ms)
    : player_(player), interval_ms_(interval_ms) {}

PlaybackWatcher::~PlaybackWatcher() {
  Stop();
}

void PlaybackWatcher::Watch(const Run& run) {
  for (;;) {
    // Signalled, or a failed wait: end without a report.
    if (WaitForHandle(run.stop.Ref(), run.interval_ms)) return;
    // Also tells the record of a device that failed under the stream, as it happens.
    const int state = run.player->WatchState();
    // -2: no stream (the file could not be opened), so nothing will ever play to an end.
    if ((state == 0 || state == -2) && !(run.opening && run.opening())) {
      run.ended();
      return;
    }
  }
}

bool PlaybackWatcher::Start(std::function<void()> ended) {
  std::lock_guard lock(mutex_);
  SignalEvent(run_ ? run_->stop.Ref() : KernelHandleRef());
  thread_.Stop();
  run_.reset();
  auto run = std::make_shared<Run>(Run{&player_, interval_ms_, std::move(ended), opening_});
  if (!run->stop) return false;
  if (!thread_.Start([run] { Watch(*run); })) return false;
  run_ = std::move(run);
  return true;
}

bool PlaybackWatcher::Stop(int timeout_ms) {
  std::lock_guard lock(mutex_);
  if (run_) SignalEvent(run_->stop.Ref());
  // A thread still running keeps its own reference to its Run; this object lets go of both.
  const bool ended = thread_.Stop(timeout_ms);
  run_.reset();
  return ended;
}

bool PlaybackWatcher::Running() {
  std::lock_guard lock(mutex_);
  if (thread_.Running()) return true;
  run_.reset();
  return false;
}

void PlaybackControl::ShowState() {
  button_.Caption(PlayButtonCaption(state_.State()));
}

void PlaybackControl::StartPlayback(const TextValue& path, StartDone done) {
  if (starter_) player_.BindStartFunctions();
  if (!starter_ || !starter_(path, std::move(done))) {
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
