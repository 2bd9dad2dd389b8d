#pragma once
// The timetable's rows: the one place that changes the rows of the timetable list view, so that
// what rides along with a row stays in step with it and whoever indexes the rows hears of every
// change (after a load, after an insert at a row, after a delete of a row).
//
// A row whose music file was missing at load shows the missing-file marker in front of its
// name; the row's item value (the list view's per-row data, which moves with the row on every
// insert and delete) is kMarkedRow then, and StoredMusicName gives the bare name back.
//
// Thread policy: user-interface thread only.

#include <span>
#include <vector>

#include "runtime/text_value.h"
#include "ui/controls/list_view_control.h"

namespace belvane {

// One row of the timetable as the file holds it.
struct TimetableEntry {
  TextValue start_time;        // column 1, "HH:MM:SS" for rows added by hand
  TextValue music_name;        // the bare file name inside the music folder
  TextValue seconds;           // column 3, seconds since midnight as decimal text
  bool music_missing = false;  // show the missing-file marker in front of the name
};

class TimetableRows;

// Told of every change of the rows, after it happened.
class TimetableObserver {
 public:
  virtual ~TimetableObserver() = default;
  // The rows were replaced as a whole (loading) by `loaded`, row 0 first: the entries are
  // given so that an observer need not read every row back from the list view.
  virtual void OnRowsLoaded(const TimetableRows& rows, std::span<const TimetableEntry> loaded) = 0;
  // A row now stands at `row`; the rows from there down moved one down.
  virtual void OnRowInserted(const TimetableRows& rows, int row) = 0;
  // The row at `row` is gone; the rows below it moved one up.
  virtual void OnRowDeleted(const TimetableRows& rows, int row) = 0;
};

class TimetableRows {
 public:
  // Item value of a row whose music cell carries the missing-file marker; 0 for other rows.
  static constexpr LPARAM kMarkedRow = 1;

  explicit TimetableRows(ListViewControl& view) : view_(view) {}
  TimetableRows(const TimetableRows&) = delete;
  TimetableRows& operator=(const TimetableRows&) = delete;

  // Adds an observer (not owned; it must outlive its registration). Null is ignored.
  void AddObserver(TimetableObserver* observer);
  // Removes an observer added before.
  void RemoveObserver(TimetableObserver* observer);

  // Number of rows.
  int Count() const;
  // The whole text of a cell; empty for a row or column that does not exist.
  TextValue Cell(int row, int column) const;
  // The music name to store for a row: the music cell without the missing-file marker.
  TextValue StoredMusicName(int row) const;
  // Whether the row's music cell carries the missing-file marker.
  bool IsMarked(int row) const;
  // The row the user last selected, -1 = none.
  int SelectionMark() const;

  // Replaces every row by `entries` in their order, numbered 1 to n, without repainting
  // per row.
  void Load(const std::vector<TimetableEntry>& entries);
  // Inserts `entry` at `position` (past the end appends); returns the new row's index, or -1.
  // Its sequence cell is its 1-based position; the rows below keep theirs until Renumber.
  int Insert(int position, const TimetableEntry& entry);
  // Deletes the row; false when there is no such row (-1 included).
  bool Delete(int row);
  // Writes every row's sequence cell: its 1-based position.
  void Renumber();

 private:
  void SetCells(int row, const TimetableEntry& entry);

  ListViewControl& view_;
  std::vector<TimetableObserver*> observers_;
};

}  // namespace belvane
