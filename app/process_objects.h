#pragma once
// The process's objects that a thread may still touch after its bounded wait at exit: the
// timetable snapshot the clock reads, the clock thread over the system clock, the bell worker,
// the playback watcher and the bell record; and this copy's claim on its folder, which
// must last until the process ends. Made once, here, and never destroyed; the start-up hands
// them to what uses them.
//
// Thread policy: each object states its own; this file only makes them.

#include <atomic>

#include "app/bell/bell_worker.h"
#include "app/bell/clock_thread.h"
#include "app/bell/playback.h"
#include "app/bell/record_events.h"
#include "app/calendar/wake_timer.h"
#include "app/schedule/clock_correction.h"
#include "app/schedule/clock_loop.h"
#include "app/schedule/timetable_snapshot.h"
#include "app/single_instance.h"
#include "audio/music_player.h"

namespace belvane {

struct ProcessObjects {
  SharedTimetable published_timetable;  // today's timetable, for the clock (app/calendar/today.h)
  SharedTimetable shown_timetable;      // the model's latest snapshot, for the music watch
  SystemClock clock;
  // What the followed folder's server says of the time; the clock rings by it (app/campus).
  ClockCorrection clock_correction;
  CorrectedClock corrected_clock{clock, clock_correction};
  ClockThread clock_thread{corrected_clock, published_timetable};
  BellWorker bell_worker{ProcessMusicPlayer(), published_timetable};
  PlaybackWatcher playback_watcher{ProcessMusicPlayer()};
  BellRecord bell_record;
  WakeTimer wake_timer;      // wakes the computer for the next bell; armed by today's work
  FolderClaim folder_claim;  // this copy's claim on the program's folder
};

// The objects, made at the first call.
ProcessObjects& TheProcessObjects();

// Stops the clock thread, the bell worker and the playback watcher, each with a bounded wait;
// safe to call twice and from the clock thread itself.
void StopClockAndWatcher(ProcessObjects& objects);

}  // namespace belvane
