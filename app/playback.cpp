#include "app/playback.h"

#include "runtime/text.h"
#include "runtime/threads.h"

namespace belvane {

// What one watcher thread needs; the thread holds its own reference.
struct PlaybackWatcher::Run {
  Run(MusicPlayer* player, int interval_ms, HWND window, UINT message, std::uintptr_t generation)
      : player(player),
        interval_ms(interval_ms),
        window(window),
        message(message),
        generation(generation),
        stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Run() {
    if (stop) CloseHandle(stop);
  }
  // Owns its event: never copied, or a copy's end would close the event under the thread.
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  MusicPlayer* player;
  int interval_ms;
  HWND window;
  UINT message;
  std::uintptr_t generation;
  HANDLE stop;  // manual-reset event: set = end now
};

PlaybackWatcher::PlaybackWatcher(MusicPlayer& player, int interval_ms)
    : player_(player), interval_ms_(interval_ms) {}

PlaybackWatcher::~PlaybackWatcher() {
  Stop();
}

void PlaybackWatcher::ThreadMain(std::intptr_t parameter) {
  // Take over the reference StartThread was given.
  std::unique_ptr<std::shared_ptr<Run>> owned(reinterpret_cast<std::shared_ptr<Run>*>(parameter));
  const std::shared_ptr<Run> run = *owned;
  owned.reset();
  for (;;) {
    if (WaitForSingleObject(run->stop, static_cast<DWORD>(run->interval_ms)) != WAIT_TIMEOUT)
      return;
    const int state = run->player->State();
    // -2: no stream (the file could not be opened), so nothing will ever play to an end.
    if (state == 0 || state == -2) {
      PostMessageA(run->window, run->message, static_cast<WPARAM>(run->generation), 0);
      return;
    }
  }
}

bool PlaybackWatcher::Start(HWND window, UINT message, std::uintptr_t generation) {
  std::lock_guard lock(mutex_);
  StopLocked(kThreadStopTimeoutMs);
  auto run = std::make_shared<Run>(&player_, interval_ms_, window, message, generation);
  if (run->stop == nullptr) return false;
  auto* parameter = new std::shared_ptr<Run>(run);
  HANDLE thread = nullptr;
  if (!StartThread(&ThreadMain, reinterpret_cast<std::intptr_t>(parameter), &thread)) {
    delete parameter;
    return false;
  }
  thread_ = thread;
  thread_id_ = GetThreadId(thread);
  run_ = std::move(run);
  return true;
}

bool PlaybackWatcher::Stop(int timeout_ms) {
  std::lock_guard lock(mutex_);
  return StopLocked(timeout_ms);
}

bool PlaybackWatcher::StopLocked(int timeout_ms) {
  if (thread_ == nullptr) return true;
  SetEvent(run_->stop);
  // A watcher never waits for itself (an exit that began on its thread).
  const bool ended = GetCurrentThreadId() != thread_id_ &&
                     WaitForSingleObject(thread_, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
  // A thread still running keeps its own reference to its Run; this object lets go of both.
  CloseThreadHandle(thread_);
  thread_ = nullptr;
  thread_id_ = 0;
  run_.reset();
  return ended;
}

bool PlaybackWatcher::Running() {
  std::lock_guard lock(mutex_);
  if (thread_ == nullptr) return false;
  if (WaitForSingleObject(thread_, 0) != WAIT_OBJECT_0) return true;
  CloseThreadHandle(thread_);
  thread_ = nullptr;
  thread_id_ = 0;
  run_.reset();
  return false;
}

void PlaybackControl::StartPlayback(const TextValue& path) {
  player_.Stop();
  player_.OpenFile(path);
  player_.Play();
  ++generation_;
  watcher_.Start(notify_, kPlaybackEndedMessage, generation_);
  button_.Caption(kStopCaption);
}

void PlaybackControl::TogglePlay(const ListBoxControl& music_list, const TextValue& music_folder) {
  const int chosen = music_list.CurrentSelection();
  if (chosen == -1) return;
  if (button_.Caption().View() == kPlayCaption) {
    StartPlayback(ConcatTexts(music_folder, "\\", music_list.ItemText(chosen)));
  } else {
    player_.Stop();
    button_.Caption(kPlayCaption);
  }
}

void PlaybackControl::OnPlaybackEnded(std::uintptr_t generation) {
  if (generation == generation_) button_.Caption(kPlayCaption);
}

PlaybackWatcher& ProcessPlaybackWatcher() {
  // Leaked on purpose, like the player it watches: a watcher may outlive its wait at exit.
  static PlaybackWatcher* const watcher = new PlaybackWatcher(ProcessMusicPlayer());
  return *watcher;
}

}  // namespace belvane
