#pragma once
// The timetable on screen: the model (timetable.h) and the list view that shows it, changed
// together. Every row of the list view is made from the model; the list view is never read to
// learn the timetable.
//
// What the list view shows of a row: its 1-based number, the start-time text, the music name
// (with the missing-file marker in front when the model flags the file as missing) and the
// seconds text. It stays a normal list view: each row's texts are set as cells.
//
// Thread policy: user-interface thread only.

#include <vector>

#include "app/timetable.h"
#include "runtime/text_value.h"
#include "ui/controls/list_view_control.h"

namespace belvane {

class TimetableView {
 public:
  // Add's answer when the list view refused the row.
  static constexpr int kNotShown = -2;

  // Both are borrowed and must outlive this object.
  TimetableView(Timetable& model, ListViewControl& view) : model_(model), view_(view) {}
  TimetableView(const TimetableView&) = delete;
  TimetableView& operator=(const TimetableView&) = delete;

  const Timetable& Model() const { return model_; }
  int Count() const { return model_.Count(); }
  // The row the user last selected, -1 = none.
  int SelectionMark() const { return view_.SelectionMark(); }

  // Replaces every row by `entries` in their order, numbered 1 to n, without repainting per
  // row. Rows the list view refuses are dropped from the model too.
  void Load(std::vector<TimetableEntry> entries);
  // A row for `time_text` and `music_name` in seconds order, then renumbers. Returns the new
  // row, kTimeTaken (nothing changes) when the scan meets a row with the same seconds, or
  // kNotShown when the list view refused the row (the model is left as it was).
  int Add(const TextValue& time_text, const TextValue& music_name);
  // Inserts `entry` at `position` (past the end appends); returns the new row, or -1. Its
  // number is its 1-based position; the rows below keep theirs until Renumber.
  int Insert(int position, TimetableEntry entry);
  // Deletes the row; false when there is no such row (-1 included).
  bool Delete(int row);
  // Writes every row's number: its 1-based position.
  void Renumber();

 private:
  void SetCells(int row, const TimetableEntry& entry);

  Timetable& model_;
  ListViewControl& view_;
};

}  // namespace belvane
