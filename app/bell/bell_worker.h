#pragma once
// The bell worker: the thread that has every file the program plays opened, so that neither the
// user-interface thread nor the clock thread ever waits on a disk or a decoder.
//
// Ahead of a bell the clock tells it the second now current (LookAhead); it finds the next bell
// within a few seconds in the published timetable snapshot and has its file opened and primed
// (app/schedule/bell_preparation.h). At the second the user-interface thread hands it the due
// row's file (StartBell), after making the row current and showing the stop caption; it stops
// what plays and starts the prepared stream, or has the file opened then when the prepared one
// does not fit. Manual play goes the same way. Opens run on threads of their own, so a file that
// takes long to open, or never does, holds up neither the starts after it nor the look-ahead.
//
// Thread policy: LookAhead from the clock thread, StartBell from the user-interface thread,
// StopBell, Start and Stop from the user-interface thread (Stop also from an exit begun
// elsewhere); each only queues and signals. Starts and stops are run before preparation, in the
// order they came; a start or stop overtakes a start still waiting for its file. The worker and
// the open threads touch no window.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/bell/bell.h"
#include "app/bell/bell_output.h"
#include "app/bell/bell_volume.h"
#include "app/bell/sound_settings.h"
#include "app/schedule/bell_preparation.h"
#include "app/schedule/timetable_snapshot.h"
#include "audio/music_player.h"
#include "runtime/text_value.h"
#include "runtime/worker_pool.h"
#include "runtime/worker_thread.h"

namespace belvane {

// The file system and the program's player as the preparer's port. Opens run on threads of
// their own from `opens`, each handing its stream to `deliver` (on that thread) when it is done;
// how many may be under way is the preparer's rule, so the pool refuses none for its count.
class PlayerBellPort final : public BellPort {
 public:
  using Deliver = std::function<void(OpenTicket ticket, BellStream stream, int error)>;
  // Both borrowed: the player must outlive every open, the pool this port.
  PlayerBellPort(MusicPlayer& player, WorkerPool& opens, Deliver deliver)
      : player_(player), opens_(opens), deliver_(std::move(deliver)) {}
  FileStamp Stamp(const TextValue& path) override;
  bool BeginOpen(OpenTicket ticket, const TextValue& path) override;
  void Free(BellStream stream) override;
  bool StartPrepared(BellStream stream, const TextValue& path) override;
  void StopPlaying() override;
  void ClearPlaying() override;
  std::uint64_t DeviceGeneration() override { return player_.DeviceGeneration(); }

  // A start keeps the stream it replaced, stopped, until this frees it: freeing a stream (its
  // output, its decoder) right after the start would compete with the new sound's first
  // moments. The destructor frees what is left.
  void FreeReplaced();
  bool HoldsReplaced() const { return !replaced_.empty(); }
  ~PlayerBellPort() override { FreeReplaced(); }
  PlayerBellPort(const PlayerBellPort&) = delete;
  PlayerBellPort& operator=(const PlayerBellPort&) = delete;

 private:
  MusicPlayer& player_;
  WorkerPool& opens_;
  Deliver deliver_;
  std::vector<BellStream> replaced_;
};

// Size and last-write time of a file (GBK path); not existing when it cannot be looked at.
FileStamp StampOfFile(const TextValue& path);

// One entry of the worker's queue: a start (path, and what to tell its outcome), a stop (none of
// the others), or an open that came back (ticket).
struct BellJob {
  std::optional<TextValue> path;
  StartDone done;
  OpenTicket ticket = 0;
  BellStream stream = 0;
  int error = 0;                 // the library's error on the thread that failed to open
  bool scheduled = false;        // a start of a scheduled bell (the bell level applies)
  bool reload_settings = false;  // not a start: read the sound settings again
  std::optional<SoundSettings> trial = std::nullopt;  // a start of "试听", with these settings
};

// While a bell level's change waits to be put back, how often the worker looks whether the bell
// has ended.
inline constexpr int kVolumeWatchMs = 250;

// How long a start waits for its file to open before it is given up (the library gives up on a
// stuck decoder after 15 s); what was queued behind it then runs.
inline constexpr int kStartOpenWaitMs = 20000;

// After a start, the moments that carry its first sound to the device are left to it: opens
// ahead of the next bell, and freeing the stream the start replaced, wait this long.
inline constexpr int kQuietAfterStartMs = 250;

class BellWorker {
 public:
  // Both borrowed; they must outlive every worker thread (the process's are never destroyed).
  BellWorker(MusicPlayer& player, const SharedTimetable& timetable);
  ~BellWorker();
  BellWorker(const BellWorker&) = delete;
  BellWorker& operator=(const BellWorker&) = delete;

  // The bell level: its settings are read from `program_dir` on the worker's thread (at its start
  // and at ReloadSoundSettings), the volume reached through what `system` makes there (on that
  // thread, COM initialised), and `notes` told what it did. Before Start; without it the volume
  // is never touched.
  using VolumeMaker = std::function<std::unique_ptr<SystemVolume>()>;
  void SetBellLevel(const TextValue& program_dir, BellVolume::Notes notes,
                    VolumeMaker system = &MakePlatformVolume);
  // Ahead of each bell the output it rings on is looked at (bell_output.h); `notes` hears a
  // change or a named output that is missing, on the worker. Before Start.
  void SetOutputNotes(std::function<void(const OutputNote&)> notes) {
    output_notes_ = std::move(notes);
  }
  // The settings file was saved: read it again (on the worker). False when no worker runs.
  bool ReloadSoundSettings();
  // Starts the thread; bells are looked for in `music_folder`. False when it runs already or
  // no thread could be started.
  bool Start(const TextValue& music_folder);
  // The clock checked `current_second`: have the next bell ready.
  void LookAhead(int current_second);
  // Stop what plays and start `path`'s file, prepared or opened now; `done` then hears what the
  // start gave, on the worker (once the file has opened, or the start is given up). False when
  // no worker runs to do it (the caller then does it itself; `done` is left as it was).
  // `scheduled`: a bell of the timetable (the bell level applies), not the play button's.
  bool StartBell(const TextValue& path, StartDone&& done = {}, bool scheduled = false);
  // "试听": the first file of today's timetable, as a scheduled bell with `settings` (the
  // level, the output), recorded nowhere; the volume is put back when it ends and the output at
  // the next bell. False when there is no such file or no worker runs.
  bool TryBell(const SoundSettings& settings);
  // The computer has resumed: the prepared bell is let go and prepared again at the next look
  // ahead, on the output as it is now. Any thread.
  void CheckAfterResume();
  // Stop what plays, after every start handed over before it (a stop clicked while a slow file
  // is still opening must not be overtaken by its start). False as StartBell.
  bool StopBell();
  // Ends the thread (bounded wait); the prepared stream is freed on its way out. What was handed
  // over before still runs first, in order; a start whose file still opens is given up after
  // half the wait, so that the tasks behind it run within it. Opens still under way are waited
  // for within what is left of the wait (at most kThreadStopTimeoutMs), then let go: they free
  // their streams when they end.
  // True when the thread has ended.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  bool Running() { return thread_.Running(); }
  // Whether a start waits for its file to open; any thread.
  bool StartWaiting();

 private:
  struct Queue;
  class Loop;
  static void Run(const std::shared_ptr<Queue>& queue);
  std::shared_ptr<Queue> CurrentQueue();

  MusicPlayer& player_;
  const SharedTimetable& timetable_;
  std::mutex queue_mutex_;  // guards queue_
  std::shared_ptr<Queue> queue_;
  TextValue settings_dir_;  // empty: no bell level
  BellVolume::Notes volume_notes_;
  VolumeMaker make_volume_;
  std::function<void(const OutputNote&)> output_notes_;
  WorkerThread thread_;
  WorkerPool opens_;  // the opens' threads: they outlive the worker's run that began them
};

}  // namespace belvane
