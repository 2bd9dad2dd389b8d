#pragma once
// Preparing the next bell ahead of its second, as plain decisions over an injected port, so that
// every rule can be tested without a window, a sound device or waiting.
//
// A few seconds before a row is due its file is opened, decoded and primed (the first buffers
// ready at the output), so that at the second only a start remains. The prepared stream is tied
// to the file, not to the row: it is used at the second only when the row due then plays the
// same path and the file still has the size and last-write time it had when it was opened.
// Anything else (the row edited or deleted, the file replaced, restored or removed, a clock set
// back or forward so that another row is due) makes the start open the due file at the second
// instead, and frees the prepared stream. At most one prepared stream is held; whatever is not
// used is freed; a started stream is handed over and never started twice.
//
// Opening never holds up the thread that starts bells: opens are begun through the port and
// their streams come back later (Opened), so a file that takes long to open, or never does,
// delays no other bell.
//
// Thread policy: NextBell is pure and safe from any thread. A BellPreparer belongs to one thread
// (the preparation worker) and calls its port on that thread only.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/schedule/timetable_snapshot.h"
#include "runtime/text_value.h"

namespace belvane {

// How many seconds ahead of its second a bell's file is made ready: enough for a slow open, few
// enough that a prepared stream rarely waits long.
inline constexpr int kPrepareLeadSeconds = 3;

// What the file system says of a file: enough to tell a replaced, restored or removed file from
// the one that was opened.
struct FileStamp {
  bool exists = false;
  std::uint64_t size = 0;
  std::uint64_t write_time = 0;  // last-write time, in the platform's ticks
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The file a row plays: `music_folder` + "\" + `music_name`. The one place a bell's path is made.
TextValue MusicFilePath(const TextValue& music_folder, const TextValue& music_name);

// A bell to have ready: the row due at `second` and the file it plays.
struct BellTarget {
  int second = -1;       // second of the day; -1 = no bell
  TextValue start_time;  // the row's start-time text
  TextValue path;        // MusicFilePath of the row's music name
  bool IsNone() const { return second < 0; }
  friend bool operator==(const BellTarget&, const BellTarget&) = default;
};

// The first second after `now` and at most `lead` seconds on (across midnight) that has a row,
// with that second's first row's file in `music_folder`; none when no such second.
BellTarget NextBell(const TimetableSnapshot& rows, int now, const TextValue& music_folder,
                    int lead = kPrepareLeadSeconds);

// Streams as the preparer sees them: the library's stream handle, 0 = none.
using BellStream = std::uint32_t;
// Names one open begun by the preparer; 0 = none.
using OpenTicket = std::uint64_t;

// How many opens may be under way at once for files made ready ahead. An open that never returns
// (a decoder stuck on a damaged file, a folder on a network that went away) keeps its slot, so
// this bounds what such files can hold; while it is reached, nothing more is opened ahead, and
// bells open their files at the second.
inline constexpr int kMaxOpensUnderWay = 4;

// What the preparer asks of the file system and the audio library.
class BellPort {
 public:
  virtual ~BellPort() = default;
  // Looks at the file (no open).
  virtual FileStamp Stamp(const TextValue& path) = 0;
  // Begins opening and decoding the file and priming the output without a sound, elsewhere:
  // it must not wait for the open. Its stream (0 when the open failed) comes back through
  // BellPreparer::Opened with `ticket`. False when it could not be begun.
  virtual bool BeginOpen(OpenTicket ticket, const TextValue& path) = 0;
  virtual void Free(BellStream stream) = 0;
  // Stops what plays now, then starts `stream` (opened from `path`), which the player owns from
  // then on, started or not.
  virtual bool StartPrepared(BellStream stream, const TextValue& path) = 0;
  // Stops what plays now (a bell whose file cannot play still ends the one before it).
  virtual void StopPlaying() = 0;
  // Lets go of the stopped stream the player holds: while a start's file opens the player holds
  // none, as an open at the second always left it.
  virtual void ClearPlaying() = 0;
  // Counts the times the output was initialised afresh: every stream opened before died with
  // the output it was opened on. A cheap read, asked at the second.
  virtual std::uint64_t DeviceGeneration() { return 0; }
};

// The prepared stream and the file it was opened from.
struct PreparedBell {
  TextValue path;
  FileStamp stamp;        // the file when it was opened
  BellStream stream = 0;  // 0: the open failed, and is not tried again ahead while the stamp holds
  int second = -1;        // the second it was made ready for
  std::uint64_t generation = 0;  // the output's (BellPort::DeviceGeneration) when it was begun
};

// How a start at the second was made.
enum class BellStartKind {
  kPrepared,  // the prepared stream started
  kOpening,   // the file is being opened; it starts when its stream comes back, unless a later
              // start or stop came first
  kFailed,    // no open could be begun (no thread); what played was stopped
};

struct BellStartResult {
  BellStartKind kind = BellStartKind::kFailed;
  bool sounding = false;  // kPrepared: the library accepted the start
};

// What became of a stream that came back.
struct OpenedResult {
  bool was_start = false;  // it was the open of the start still waiting
  bool sounding = false;   // was_start: it started and the library accepted the start
};

class BellPreparer {
 public:
  explicit BellPreparer(BellPort& port) : port_(port) {}
  // Frees the prepared stream. Opens still under way free their streams when they come back.
  ~BellPreparer();
  BellPreparer(const BellPreparer&) = delete;
  BellPreparer& operator=(const BellPreparer&) = delete;

  // Ahead of the second: has `target`'s file opened. A held stream of another path, or of a
  // file that changed since it was opened, is freed first; one of the same unchanged file is
  // kept. An open of the same unchanged file that is still under way is waited for, never begun
  // again; one that failed is tried again only once the file's stamp changes, so a damaged or
  // stalling file is not opened over and over ahead. No target: whatever is held is freed. `now`
  // is the second the clock has just checked: a stream made ready for that very second is kept,
  // since its start is on its way (the clock looks ahead in the same cycle that hands the start
  // on).
  void Prepare(const BellTarget& target, int now = -1);
  // At the second: starts `path`'s file, from the prepared stream when it is still that file.
  // Else what plays stops now and the file's stream starts when it comes back: from an open of
  // the same unchanged file already under way, or from one begun now (also when the open failed
  // ahead: the device or the file may be back, and a bell is never dropped on an earlier
  // failure). Never waits for an open. A start still waiting is given up: its stream is freed
  // when it comes.
  BellStartResult Start(const TextValue& path);
  // Stops what plays, and gives up a start still waiting for its open.
  void Stop();
  // Gives up a start still waiting for its open (it took too long); nothing else changes.
  void AbandonStart() { start_ticket_ = 0; }
  // Open `ticket` came back with `stream` (0: it failed): started when it is the waiting
  // start's, held when it is the file wanted ahead, else freed.
  OpenedResult Opened(OpenTicket ticket, BellStream stream);
  // Frees the prepared stream, if any.
  void Release();

  const std::optional<PreparedBell>& Held() const { return held_; }
  // Whether a start waits for its open.
  bool StartWaiting() const { return start_ticket_ != 0; }
  int OpensUnderWay() const { return static_cast<int>(under_way_.size()); }

 private:
  struct UnderWay {
    OpenTicket ticket = 0;
    TextValue path;
    FileStamp stamp;
    int second = -1;
    std::uint64_t generation = 0;
  };
  // Whether what was begun under `generation` still has the output it was opened on.
  bool OnCurrentDevice(std::uint64_t generation) { return generation == port_.DeviceGeneration(); }
  // The open under way of `path` as it is now; null when none.
  const UnderWay* FindUnderWay(const TextValue& path, const FileStamp& stamp) const;
  // Begins an open; 0 when none could be begun (`bounded`: also while kMaxOpensUnderWay are).
  OpenTicket Begin(const TextValue& path, const FileStamp& stamp, int second, bool bounded);

  BellPort& port_;
  std::optional<PreparedBell> held_;
  std::vector<UnderWay> under_way_;
  OpenTicket wanted_ahead_ = 0;  // the open whose stream is to be held ahead
  OpenTicket start_ticket_ = 0;  // the open whose stream is to start when it comes
  OpenTicket last_ticket_ = 0;
};

}  // namespace belvane
