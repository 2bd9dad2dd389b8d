#pragma once
// The timetable as data, and the copy of it the clock reads.
//
// TimetableEntry is one row as the file holds it. A TimetableSnapshot is an immutable copy of
// every row with, for each start-time text, the first row (lowest index) that holds it; the
// timetable model builds a fresh one after each change. SharedTimetable hands the latest
// snapshot to other threads: the clock looks rows up in it without ever touching the model or
// a window, and a snapshot it still holds stays valid after the model has moved on.
//
// Texts are matched byte for byte: "8:30:00" is its own key and never equals the clock's
// "08:30:00".
//
// Thread policy: a snapshot never changes once built, so it is safe from any thread;
// SharedTimetable's methods are safe from any thread (one mutex guards the pointer only).

#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/schedule/clock_planner.h"
#include "app/schedule/day_plan.h"
#include "runtime/text_value.h"

namespace belvane {

// One row of the timetable as the file holds it. Room for more per-row data goes here.
struct TimetableEntry {
  TextValue start_time;        // column 1, "HH:MM:SS" for rows added by hand
  TextValue music_name;        // the bare file name inside the music folder
  TextValue seconds;           // column 3, seconds since midnight as decimal text, as loaded
  bool music_missing = false;  // the file was missing at load: the view shows the marker
  // What the row rings for, when not the snapshot's timetable: "考试 语文" for an exam's row,
  // a timetable's name for its rows on an exam day. The bell's record line ends with it.
  std::string source = std::string();
};

class TimetableSnapshot final : public StartTimeLookup {
 public:
  // The empty timetable.
  TimetableSnapshot() = default;
  // Every row, row 0 first, of the timetable called `name`.
  explicit TimetableSnapshot(std::vector<TimetableEntry> rows,
                             std::string name = kDefaultTimetableName);
  // Rows that hold only these start-time texts (for the clock's tests and benchmarks).
  static TimetableSnapshot FromStartTimes(std::span<const TextValue> texts);
  TimetableSnapshot(const TimetableSnapshot&) = delete;
  TimetableSnapshot& operator=(const TimetableSnapshot&) = delete;
  TimetableSnapshot(TimetableSnapshot&&) = default;

  // Lowest row whose start-time text equals `text` byte for byte; -1 = none. O(1).
  int FirstRowAt(std::string_view text) const override;
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Row `row`; the empty entry when out of range.
  const TimetableEntry& Row(int row) const;
  // The name of the timetable the rows are of ("停铃" for a day without bells).
  const std::string& Name() const { return name_; }

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  std::vector<TimetableEntry> rows_;
  std::string name_ = kDefaultTimetableName;
  // Keys view the rows' own texts, which never move once the snapshot is built.
  std::unordered_map<std::string_view, int, TextHash, std::equal_to<>> first_row_;
};

// The latest snapshot of the timetable, for threads other than the model's.
class SharedTimetable final : public StartTimeLookup {
 public:
  SharedTimetable();
  SharedTimetable(const SharedTimetable&) = delete;
  SharedTimetable& operator=(const SharedTimetable&) = delete;

  // Makes `snapshot` the current one (null counts as the empty timetable).
  void Publish(std::shared_ptr<const TimetableSnapshot> snapshot);
  // The timetable of the clock's day `clock_day` (ClockReading::day): made current when that is
  // the day the clock is in (or the clock has told none yet), kept ahead when it is the next
  // one, so that the clock takes it over at midnight without waiting for anyone; a snapshot for
  // any other day is dropped (it was worked out for a day that has passed).
  void PublishFor(int clock_day, std::shared_ptr<const TimetableSnapshot> snapshot);
  // The clock has reached `clock_day` (clock thread, before it looks at the day's first
  // second): the snapshot kept ahead for that day becomes current. Returns whether one was.
  bool EnterDay(int clock_day);
  // The day the current snapshot is for; 0 before any was told.
  int CurrentDay() const;
  // The current snapshot; never null. Hold it for a consistent view across several lookups.
  std::shared_ptr<const TimetableSnapshot> Current() const;
  // Current()->FirstRowAt(text).
  int FirstRowAt(std::string_view text) const override;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const TimetableSnapshot> current_;
  int current_day_ = 0;
  std::shared_ptr<const TimetableSnapshot> ahead_;  // for current_day_ + 1; may be null
  int ahead_day_ = 0;
};

}  // namespace belvane
