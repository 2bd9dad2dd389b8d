#include "app/bell/bell_worker.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <optional>

#include "runtime/gbk.h"
#include "runtime/handles.h"

namespace belvane {

FileStamp StampOfFile(const TextValue& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const std::wstring wide = WideFromGbk(path.View());
  if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FileStamp{};
  }
  return FileStamp{true, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                   (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                       data.ftLastWriteTime.dwLowDateTime};
}

FileStamp PlayerBellPort::Stamp(const TextValue& path) {
  return StampOfFile(path);
}

bool PlayerBellPort::BeginOpen(OpenTicket ticket, const TextValue& path) {
  // The body holds copies of all it uses but the player, which outlives every open.
  return opens_.Run([player = &player_, deliver = deliver_, ticket, path] {
    // Compressed files are decoded through Media Foundation on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    BellStream stream = 0;
    int error = 0;
    try {
      stream = player->OpenPrimed(path);
      if (stream == 0) error = player->LastErrorIfBound();
      deliver(ticket, stream, error);
    } catch (...) {
      // Nothing may leave a thread; a stream whose delivery failed is not wanted.
      if (stream != 0) player->FreeUnheld(stream);
    }
    if (SUCCEEDED(com)) CoUninitialize();
  });
}

void PlayerBellPort::Free(BellStream stream) {
  player_.FreeUnheld(stream);
}

bool PlayerBellPort::StartPrepared(BellStream stream, const TextValue& path) {
  DWORD replaced = 0;
  const bool started = player_.StartPrimed(stream, path, &replaced) != FALSE;
  if (replaced != 0) {
    try {
      replaced_.push_back(replaced);
    } catch (...) {
      player_.FreeUnheld(replaced);  // no room to keep it: free it now
    }
  }
  return started;
}

void PlayerBellPort::FreeReplaced() {
  for (const BellStream stream : replaced_) player_.FreeUnheld(stream);
  replaced_.clear();
}

void PlayerBellPort::StopPlaying() {
  player_.Stop();
}

void PlayerBellPort::ClearPlaying() {
  player_.CloseStream();
}

// What the callers hand the thread; the thread holds its own reference.
struct BellWorker::Queue {
  MusicPlayer* player;
  WorkerPool* opens;
  const SharedTimetable* timetable;
  TextValue music_folder;
  TextValue settings_dir;
  BellVolume::Notes volume_notes;
  BellWorker::VolumeMaker make_volume;
  std::function<void(const OutputNote&)> output_notes;
  OwnedKernelHandle wake = NewManualResetEvent();
  std::mutex mutex;               // guards what follows
  std::deque<BellJob> starts;     // in the order they came
  std::optional<int> look_ahead;  // only the latest second counts
  bool recheck = false;           // a resume: the prepared bell is made again
  bool quit = false;
  ULONGLONG quit_by = 0;  // quit: until when a start still waits for its file
  bool ended = false;     // the worker has left: opens that come back free their streams
  std::atomic<bool> start_waiting{false};  // written by the worker only
};

BellWorker::BellWorker(MusicPlayer& player, const SharedTimetable& timetable)
    : player_(player), timetable_(timetable) {}

BellWorker::~BellWorker() {
  Stop();
}

// The worker's loop as one state with named transitions: the start that waits for its file,
// the quiet after a start, the latest second to prepare ahead from, and the way to the end.
class BellWorker::Loop {
 public:
  Loop(Queue& queue, PlayerBellPort& port, BellPreparer& preparer, BellVolume* volume)
      : queue_(queue), port_(port), preparer_(preparer), volume_(volume) {
    ReadSettings();
  }

  // How long to wait for the next job: a start's file is waited for until it is given up, a
  // second to prepare from (or a replaced stream to free) waits out the quiet after a start.
  int WaitMs() const {
    int timeout = -1;
    if (preparer_.StartWaiting()) timeout = LeftUntil(give_up_at_);
    if (quitting_) {
      if (timeout < 0) timeout = 0;
    } else if (look_ahead_ || port_.HoldsReplaced()) {
      const int quiet = LeftUntil(quiet_until_);
      timeout = timeout < 0 ? quiet : std::min(timeout, quiet);
    }
    if (volume_ && volume_->Active())
      timeout = timeout < 0 ? kVolumeWatchMs : std::min(timeout, kVolumeWatchMs);
    return timeout;
  }

  // Takes what the callers handed over into `starts`; false once the worker is to end (asked to,
  // and nothing is left to do).
  bool Collect(std::deque<BellJob>& starts) {
    std::lock_guard lock(queue_.mutex);
    if (queue_.quit && !quitting_) BeginQuitting(queue_.quit_by);
    if (quitting_ && queue_.starts.empty() && !preparer_.StartWaiting()) {
      queue_.ended = true;
      return false;
    }
    ResetEvent(queue_.wake.Get());
    starts.swap(queue_.starts);
    if (queue_.look_ahead) look_ahead_ = std::exchange(queue_.look_ahead, std::nullopt);
    recheck_ = recheck_ || std::exchange(queue_.recheck, false);
    return true;
  }

  void GiveUpIfOverdue() {
    if (preparer_.StartWaiting() && GetTickCount64() >= give_up_at_) GiveUpWaitingStart();
  }

  void Handle(BellJob& job) {
    if (job.ticket != 0) {
      Opened(job);
    } else if (job.reload_settings) {
      ReadSettings();
    } else if (job.path) {
      Start(*job.path, job.done, job.scheduled, job.trial);
    } else {
      // A stop overtakes a start still waiting for its file.
      GiveUpWaitingStart();
      preparer_.Stop();
      if (volume_) volume_->Ended();
    }
  }

  // A bell whose volume was changed has ended: what it set is put back.
  void WatchVolume() {
    if (!volume_ || !volume_->Active() || preparer_.StartWaiting()) return;
    const int state = queue_.player->State();
    if (state == 0 || state == -2) volume_->Ended();
  }

  // After a round of jobs: outside the quiet after a start, replaced streams are freed and the
  // next bell prepared from the latest second.
  void PrepareWhenQuiet() {
    queue_.start_waiting.store(preparer_.StartWaiting());
    if (quitting_ || LeftUntil(quiet_until_) > 0) return;
    port_.FreeReplaced();
    // Made before the computer slept, the prepared stream may be on an output that is gone:
    // the next look ahead opens it again, on the output as it is now.
    if (std::exchange(recheck_, false)) preparer_.Release();
    if (look_ahead_) {
      const BellTarget target =
          NextBell(*queue_.timetable->Current(), *look_ahead_, queue_.music_folder);
      if (!target.IsNone()) LookAtOutput();
      preparer_.Prepare(target, *look_ahead_);
      // The volume is read once per bell, ahead of it: its second only sets it.
      if (volume_ && !target.IsNone() && target.second != volume_read_for_) {
        volume_read_for_ = target.second;
        volume_->Prepared(settings_);
      }
      look_ahead_.reset();
    }
  }

 private:
  static int LeftUntil(ULONGLONG at) {
    const ULONGLONG now = GetTickCount64();
    return now >= at ? 0 : static_cast<int>(at - now);
  }

  // Asked to end: what was handed over still runs, and a start's file is waited for until
  // `by`, then the worker ends.
  void BeginQuitting(ULONGLONG by) {
    quitting_ = true;
    quit_by_ = by;
    give_up_at_ = std::min(give_up_at_, quit_by_);
  }

  void ReadSettings() {
    if (queue_.settings_dir.IsEmpty()) return;
    settings_ = ReadSoundSettings(queue_.settings_dir);
    volume_read_for_ = -1;
  }

  // Ahead of a bell: the output it is to ring on, as the system lists them now. A bell readied
  // on an output that is no longer the one is readied again by the Prepare that follows.
  void LookAtOutput() {
    MusicPlayer& player = *queue_.player;
    const OutputStep step = output_.Look(player.Outputs(), settings_.output_device);
    if (step.moved) player.OutputMoved();
    // Changing the initialised output frees every stream: never under a bell that plays.
    if (step.device != player.OutputDevice()) {
      const int state = player.State();
      if (state == 0 || state == -2) player.UseOutput(step.device);
    }
    if (!queue_.output_notes) return;
    for (const OutputNote& note : step.notes) {
      try {
        queue_.output_notes(note);
      } catch (...) {
        // A line not recorded must never cost the bell.
      }
    }
  }

  void Opened(const BellJob& job) {
    const OpenedResult opened = preparer_.Opened(job.ticket, job.stream);
    if (opened.sounding) StartedNow();
    if (opened.was_start)
      Tell(waiting_done_, waiting_path_, job.stream != 0, opened.sounding, job.error,
           waiting_sound_);
  }

  void Start(TextValue& path, StartDone& done, bool scheduled,
             const std::optional<SoundSettings>& trial = std::nullopt) {
    // A later start overtakes a start still waiting for its file.
    GiveUpWaitingStart();
    const SoundSettings& settings = trial ? *trial : settings_;
    if (trial) {
      // On the output chosen in the window; the next bell's look puts the saved one back.
      const int device = ChooseOutput(queue_.player->Outputs(), trial->output_device).device;
      if (device != queue_.player->OutputDevice()) {
        const int state = queue_.player->State();
        if (state == 0 || state == -2) queue_.player->UseOutput(device);
      }
    }
    Sound sound;
    if (volume_) {
      // What the bell before set is put back first; the play button's starts stop there.
      volume_->Ended();
      if (scheduled) sound.muted = volume_->BeforeStart(settings, FileNameOf(path.View()));
      volume_read_for_ = -1;
    }
    const BellStartResult start = preparer_.Start(path);
    if (start.sounding) StartedNow();
    // For the report, after the start: nothing is copied on the way to the sound.
    if (scheduled) {
      if (volume_) sound.volume = volume_->Shown();
      sound.output = output_.Current();
    }
    // What the start gave is told after it, off the path to the sound.
    if (start.kind == BellStartKind::kOpening) {
      waiting_path_ = std::move(path);
      waiting_done_ = std::move(done);
      waiting_sound_ = std::move(sound);
    } else {
      Tell(done, path, start.kind == BellStartKind::kPrepared, start.sounding, 0, sound);
    }
    give_up_at_ = GetTickCount64() + kStartOpenWaitMs;
    if (quitting_) give_up_at_ = std::min(give_up_at_, quit_by_);
  }

  void GiveUpWaitingStart() {
    if (!preparer_.StartWaiting()) return;
    preparer_.AbandonStart();
    Tell(waiting_done_, waiting_path_, false, false, 0, waiting_sound_);
  }

  void StartedNow() { quiet_until_ = GetTickCount64() + kQuietAfterStartMs; }

  // What a start rang with, as the bell level and the output's look left it.
  struct Sound {
    bool muted = false;  // plays muted
    std::string output;
    std::string volume;
  };

  void Tell(StartDone& done, const TextValue& path, bool opened, bool sounding, int open_error,
            const Sound& sound) {
    if (!done) return;
    const StartDone told = std::move(done);
    done = nullptr;
    StartOutcome outcome = OutcomeOfStart(*queue_.player, path, opened, sounding, open_error);
    outcome.muted = sound.muted && sounding;
    outcome.output = sound.output;
    outcome.volume = sound.volume;
    told(outcome);
  }

  static std::string_view FileNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
  }

  Queue& queue_;
  PlayerBellPort& port_;
  BellPreparer& preparer_;
  TextValue waiting_path_;  // the start that waits for its file
  StartDone waiting_done_;  // and who hears what it gave
  Sound waiting_sound_;     // and what it rings with
  BellVolume* volume_;      // null: no bell level
  SoundSettings settings_;
  BellOutput output_;
  int volume_read_for_ = -1;  // the second of the bell whose volume was read ahead
  ULONGLONG give_up_at_ = 0;
  ULONGLONG quiet_until_ = 0;      // kQuietAfterStartMs after the last start
  std::optional<int> look_ahead_;  // waits out the quiet; only the latest second counts
  bool recheck_ = false;           // CheckAfterResume was asked: waits out the quiet too
  bool quitting_ = false;
  ULONGLONG quit_by_ = 0;
};

void BellWorker::Run(const std::shared_ptr<Queue>& queue) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    // Opens come back as jobs, so every decision stays on this thread.
    const std::weak_ptr<Queue> weak = queue;
    MusicPlayer* const player = queue->player;
    PlayerBellPort port(*player, *queue->opens,
                        [weak, player](OpenTicket ticket, BellStream stream, int error) {
                          const std::shared_ptr<Queue> q = weak.lock();
                          if (q) {
                            std::lock_guard lock(q->mutex);
                            if (!q->ended) {
                              q->starts.push_back(BellJob{std::nullopt, {}, ticket, stream, error});
                              SignalEvent(q->wake.Ref());
                              return;
                            }
                          }
                          if (stream != 0) player->FreeUnheld(stream);  // the worker has ended
                        });
    BellPreparer preparer(port);
    // The volume's objects are this thread's (COM is initialised here).
    std::unique_ptr<SystemVolume> system;
    std::optional<BellVolume> volume;
    if (!queue->settings_dir.IsEmpty() && queue->make_volume) {
      system = queue->make_volume();
      if (system) volume.emplace(*system, queue->volume_notes);
    }
    Loop loop(*queue, port, preparer, volume ? &*volume : nullptr);
    for (;;) {
      WaitForHandle(queue->wake.Ref(), loop.WaitMs());
      std::deque<BellJob> starts;
      if (!loop.Collect(starts)) break;
      loop.GiveUpIfOverdue();
      for (BellJob& job : starts) loop.Handle(job);
      loop.WatchVolume();
      loop.PrepareWhenQuiet();
    }
    if (volume) volume->Ended();
  }  // the prepared stream is freed here; opens still under way free theirs when they end
  if (SUCCEEDED(com)) CoUninitialize();
}

bool BellWorker::Start(const TextValue& music_folder) {
  if (thread_.Running()) return false;
  auto queue = std::make_shared<Queue>();
  queue->player = &player_;
  queue->opens = &opens_;
  queue->timetable = &timetable_;
  queue->music_folder = music_folder;
  queue->settings_dir = settings_dir_;
  queue->volume_notes = volume_notes_;
  queue->make_volume = make_volume_;
  queue->output_notes = output_notes_;
  if (!queue->wake) return false;
  {
    std::lock_guard lock(queue_mutex_);
    queue_ = queue;
  }
  return thread_.Start([queue] { Run(queue); });
}

std::shared_ptr<BellWorker::Queue> BellWorker::CurrentQueue() {
  std::lock_guard lock(queue_mutex_);
  return queue_;
}

void BellWorker::LookAhead(int current_second) {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue) return;
  std::lock_guard lock(queue->mutex);
  queue->look_ahead = current_second;
  SignalEvent(queue->wake.Ref());
}

bool BellWorker::StartWaiting() {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  return queue && thread_.Running() && queue->start_waiting.load();
}

void BellWorker::SetBellLevel(const TextValue& program_dir, BellVolume::Notes notes,
                              VolumeMaker system) {
  settings_dir_ = program_dir;
  volume_notes_ = std::move(notes);
  make_volume_ = std::move(system);
}

bool BellWorker::ReloadSoundSettings() {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue || !thread_.Running()) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->quit) return false;
  BellJob job;
  job.reload_settings = true;
  queue->starts.push_back(std::move(job));
  SignalEvent(queue->wake.Ref());
  return true;
}

bool BellWorker::StartBell(const TextValue& path, StartDone&& done, bool scheduled) {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue || !thread_.Running()) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->quit) return false;
  BellJob job{path, std::move(done)};
  job.scheduled = scheduled;
  queue->starts.push_back(std::move(job));
  SignalEvent(queue->wake.Ref());
  return true;
}

bool BellWorker::StopBell() {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue || !thread_.Running()) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->quit) return false;
  queue->starts.push_back(BellJob{});
  SignalEvent(queue->wake.Ref());
  return true;
}

bool BellWorker::TryBell(const SoundSettings& settings) {
  const std::shared_ptr<const TimetableSnapshot> rows = timetable_.Current();
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue || !thread_.Running() || !rows) return false;
  int first = 0;
  while (first < rows->RowCount() && rows->Row(first).music_name.IsEmpty()) ++first;
  if (first == rows->RowCount()) return false;
  std::lock_guard lock(queue->mutex);
  if (queue->quit) return false;
  BellJob job{MusicFilePath(queue->music_folder, rows->Row(first).music_name), {}};
  job.scheduled = true;
  job.trial = settings;
  queue->starts.push_back(std::move(job));
  SignalEvent(queue->wake.Ref());
  return true;
}

void BellWorker::CheckAfterResume() {
  const std::shared_ptr<Queue> queue = CurrentQueue();
  if (!queue) return;
  std::lock_guard lock(queue->mutex);
  queue->recheck = true;
  SignalEvent(queue->wake.Ref());
}

bool BellWorker::Stop(int timeout_ms) {
  const ULONGLONG stop_by = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
  if (const std::shared_ptr<Queue> queue = CurrentQueue()) {
    std::lock_guard lock(queue->mutex);
    if (!queue->quit) {
      queue->quit = true;
      // Half the wait for a start's file; the rest for what was queued behind it.
      queue->quit_by = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0) / 2);
    }
    SignalEvent(queue->wake.Ref());
  }
  const bool ended = thread_.Stop(timeout_ms);
  // Opens still under way get what is left of the wait, at most the usual one (a long wait is
  // given for the starts handed over, not for opens nobody wants any more); one that hangs is
  // let go then.
  const ULONGLONG now = GetTickCount64();
  const int left = now >= stop_by ? 0 : static_cast<int>(stop_by - now);
  opens_.Stop(std::min(left, kThreadStopTimeoutMs));
  return ended;
}

}  // namespace belvane
