#pragma once
// A bell as one value, from the clock's finding to its record line: the timetable row it rings
// for, its second, the file it plays and, once started, what the start gave.
//
// Thread policy: plain values; the clock thread makes a Bell, the user-interface thread fills in
// its row and file, the thread that makes the start its outcome.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/bell/bell_record.h"
#include "audio/music_player.h"
#include "runtime/text_value.h"

namespace belvane {

// What a start gave, made by the code that made it, right after the start call.
struct StartOutcome {
  PlayFacts facts;
  // When the first sound went out (a FILETIME value of the system's time), where the audio
  // library tells it.
  std::optional<std::uint64_t> sounded_at;
  // The stream that was started (0: none), so that whether its device took it can be asked.
  std::uint32_t stream = 0;
  // It plays on a muted output: the bell level could not unmute it.
  bool muted = false;
  // A scheduled bell's output and volume as it rang ("扬声器", "60%（原 12%，静音）"); empty where
  // not known (no output listed yet, a platform without the volume interface, the play button).
  std::string output;
  std::string volume;
};

// Called once with a start's outcome, on the thread that made the start. Must only hand work on.
using StartDone = std::function<void(const StartOutcome& outcome)>;

// The facts of a start that has just returned: whether it had a stream (`opened`), whether the
// library accepted the start (`playing`) and, when it did not, the library's error. The disk is
// asked about `path` only when no stream was opened.
PlayFacts FactsOfStart(bool opened, bool playing, int library_error, const TextValue& path);

// The outcome of a start `player` has just made on this thread for `path`: its facts, the
// library's error of this thread's start call unless `open_error` (that of an open that failed
// on a thread of its own) is given, and when it sounded, where the library tells it.
StartOutcome OutcomeOfStart(MusicPlayer& player, const TextValue& path, bool opened, bool playing,
                            int open_error = 0);

struct Bell {
  int row = -1;            // the timetable row (0-based); -1: no row holds the time any more
  std::string start_time;  // the row's start time as the clock found it, "HH:MM:SS"
  int second = -1;         // that time's second of the day
  TextValue music_name;    // the row's music name when it was started
  TextValue path;          // MusicFilePath of the music folder and that name
  std::string timetable;   // the name of the timetable the row is of
  StartOutcome outcome;    // once started
};

}  // namespace belvane
