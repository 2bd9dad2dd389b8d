#pragma once
// An append-only record file written by a thread of its own, so that whoever records an event
// (the clock, the user-interface thread) only hands a line over and never waits on the disk.
//
// Each line is written as soon as the writer takes it, with the file's own line end added, and
// flushed at once: a crash loses at most the lines being written (those taken together go in
// one write of up to 64 KB). The file is opened for appending with every kind of sharing, so
// another process (a second copy of the program) may append its own line meanwhile. Before
// each write the writer checks that the file it holds is still the one at the record's name,
// and opens the name anew if not (the record was deleted or renamed). Lines the file cannot take
// (another program holds it without sharing) are kept, up to kRecordUnsentLines, and written in
// order with the next line or at the next retry; past the bound the oldest are dropped, and lines
// still kept when the writer stops are dropped. Nobody is told either way.
//
// Rotation: before a line that would take the file at the record's name past the size limit,
// that file is renamed to the old-file name (replacing an older one) and a new file begins. A
// file another copy has rotated meanwhile is left alone.
//
// Thread policy: every method is safe from any thread. The jobs and the tick run on the
// writer's thread; they may be slow (they may touch the disk), never touch a window.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/handles.h"
#include "runtime/text_value.h"
#include "runtime/worker_thread.h"

namespace belvane {

// A record file passes this size only by a single line longer than it.
inline constexpr std::uint64_t kRecordLimitBytes = 1024 * 1024;
// Lines kept while the file cannot take them, and how often the writer tries it again.
inline constexpr std::size_t kRecordUnsentLines = 1000;
inline constexpr int kRecordRetryMs = 2000;

// Whether a line of `line_bytes` written to a file of `file_bytes` must go to a fresh file: it
// would take the file past `limit`, and the file is not empty (a line longer than the limit
// still goes somewhere).
bool RecordNeedsRotation(std::uint64_t file_bytes, std::uint64_t line_bytes,
                         std::uint64_t limit = kRecordLimitBytes);

// Appends one line (line end added) to `path` now, on the calling thread, with the same
// rotation; false when it could not be written (nothing is kept). For a process that has no
// writer thread.
bool AppendRecordLineNow(const TextValue& path, const TextValue& old_path, std::string_view line,
                         std::uint64_t limit = kRecordLimitBytes);

class RecordWriter {
 public:
  // Lines to write, made on the writer's thread.
  using Job = std::function<std::vector<std::string>()>;
  // Called on the writer's thread at start and then when its time comes; gives the lines it
  // wants written and the milliseconds until it wants to be called again.
  using Tick = std::function<std::vector<std::string>(int& next_ms)>;

  RecordWriter() = default;
  // Stops the thread (bounded wait) after it has written what is queued.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Starts the thread over `path` (GBK), rotating into `old_path`; false when it was started
  // before (a stopped writer stays stopped) or no thread could be started.
  bool Start(const TextValue& path, const TextValue& old_path, Tick tick = {},
             std::uint64_t limit = kRecordLimitBytes);
  // Queues one line (without its line end). Never blocks on the disk; dropped when the writer
  // is not running.
  void Add(std::string line);
  // Queues a job whose lines are written in its place in the queue.
  void AddLines(Job job);
  // Writes what is queued, then ends the thread; waits up to `timeout_ms`. True when it ended.
  bool Stop(int timeout_ms = kThreadStopTimeoutMs);
  bool Running();

  // Counts since Start, for tests and benchmarks.
  std::uint64_t LinesWritten() const;
  std::uint64_t LinesDropped() const;

 private:
  struct Shared;
  static void Run(const std::shared_ptr<Shared>& shared);

  mutable std::mutex mutex_;  // guards shared_
  std::shared_ptr<Shared> shared_;
  WorkerThread thread_;
};

}  // namespace belvane
