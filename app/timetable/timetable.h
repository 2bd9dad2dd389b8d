#pragma once
// The timetable model: the rows as data, in display order. The list view only shows them
// (timetable_view.h); saving, the insert position and the clock's lookups read the model.
//
// Rules of the seconds column: each row keeps its seconds text exactly as loaded or added (a
// long text is saved whole); for ordering, a text that is empty or not a number counts as 0, as
// TextToInteger reads it.
//
// After every change the model builds a fresh snapshot (timetable_snapshot.h) and, when given a
// SharedTimetable, publishes it there for the clock thread.
//
// Thread policy: user-interface thread only; other threads read published snapshots.

#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "app/schedule/day_plan.h"
#include "app/schedule/timetable_snapshot.h"
#include "runtime/text_value.h"

namespace belvane {

class Timetable {
 public:
  // `published`, when given, is borrowed and must outlive the model.
  explicit Timetable(SharedTimetable* published = nullptr);
  Timetable(const Timetable&) = delete;
  Timetable& operator=(const Timetable&) = delete;

  int Count() const { return static_cast<int>(rows_.size()); }
  // Row `row`; the empty entry when out of range.
  const TimetableEntry& Row(int row) const;
  std::span<const TimetableEntry> Rows() const { return rows_; }

  // Where a row of `seconds` goes (FindInsertPosition over the rows' seconds); kTimeTaken when
  // the bottom-up scan meets a row with the same seconds first.
  int InsertPosition(int seconds) const;

  // Replaces every row by `rows`, in their order.
  void Load(std::vector<TimetableEntry> rows);
  // The same as an edit (an import): Modified() until saved.
  void Replace(std::vector<TimetableEntry> rows);
  // Inserts `entry` at `position`; a position outside 0..Count() appends. Returns the row used.
  int Insert(int position, TimetableEntry entry);
  // Deletes `row`; false (nothing changes) when there is no such row.
  bool Delete(int row);
  // Sets each row's missing-file flag from `missing` (one per row, in order; a list of another
  // length changes nothing). Returns the rows whose flag changed.
  std::vector<int> SetMusicMissing(const std::vector<bool>& missing);

  // Lowest row whose start-time text equals `text` byte for byte; -1 = none.
  int FirstRowAt(std::string_view text) const { return snapshot_->FirstRowAt(text); }
  // The timetable's name ("常规" until set); the snapshots carry it.
  const TextValue& Name() const { return name_; }
  void SetName(const TextValue& name);
  // Whether rows were added or deleted since the last Load or MarkSaved (the missing-file marks
  // do not count: they are not saved).
  bool Modified() const { return modified_; }
  void MarkSaved() { modified_ = false; }
  // Every snapshot from now on goes to `observer` too (after `published`, if any), on this
  // thread; an empty function stops that.
  void SetSnapshotObserver(
      std::function<void(const std::shared_ptr<const TimetableSnapshot>&)> observer) {
    observer_ = std::move(observer);
  }

  // The snapshot of the rows as they are now; never null.
  const std::shared_ptr<const TimetableSnapshot>& Snapshot() const { return snapshot_; }

 private:
  void Changed();

  std::vector<TimetableEntry> rows_;
  std::vector<int> order_seconds_;  // each row's seconds text read as a number, for ordering
  std::shared_ptr<const TimetableSnapshot> snapshot_;
  SharedTimetable* published_;
  TextValue name_{kDefaultTimetableName};
  bool modified_ = false;
  std::function<void(const std::shared_ptr<const TimetableSnapshot>&)> observer_;
};

// A row added by hand: "H:M:S" text as given, the music name, and its seconds as decimal text.
TimetableEntry NewTimetableEntry(const TextValue& time_text, const TextValue& music_name);

}  // namespace belvane
