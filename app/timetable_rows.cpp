#include "app/timetable_rows.h"

#include <algorithm>

#include <windows.h>

#include "app/timetable_rules.h"
#include "runtime/text.h"

namespace belvane {

namespace {

LPARAM RowValueOf(const TimetableEntry& entry) {
  return entry.music_missing ? TimetableRows::kMarkedRow : 0;
}

}  // namespace

void TimetableRows::AddObserver(TimetableObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void TimetableRows::RemoveObserver(TimetableObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

int TimetableRows::Count() const {
  return view_.RowCount();
}

TextValue TimetableRows::Cell(int row, int column) const {
  return view_.GetWholeCellText(row, column);
}

bool TimetableRows::IsMarked(int row) const {
  return view_.RowValue(row) == kMarkedRow;
}

TextValue TimetableRows::StoredMusicName(int row) const {
  TextValue shown = Cell(row, kMusicColumn);
  if (IsMarked(row) && shown.View().starts_with(kMissingFileMarker))
    return TextValue(shown.View().substr(kMissingFileMarker.size()));
  return shown;
}

int TimetableRows::SelectionMark() const {
  return view_.SelectionMark();
}

void TimetableRows::SetCells(int row, const TimetableEntry& entry) {
  view_.SetCellText(row, kStartTimeColumn, entry.start_time);
  view_.SetCellText(row, kMusicColumn, ShownMusicText(entry.music_name, !entry.music_missing));
  view_.SetCellText(row, kSecondsColumn, entry.seconds);
}

void TimetableRows::Load(const std::vector<TimetableEntry>& entries) {
  // Up to 86,400 rows: one repaint at the end instead of one per row, and room for every row
  // made once.
  view_.SuspendRedraw();
  view_.DeleteAllRows();
  view_.SendWindowMessage(LVM_SETITEMCOUNT, entries.size(), 0);
  std::size_t loaded = 0;
  for (; loaded < entries.size(); ++loaded) {
    const TimetableEntry& entry = entries[loaded];
    const int row = view_.InsertRow(int(loaded), IntegerText(int(loaded) + 1), -1, -1, std::nullopt,
                                    RowValueOf(entry));
    if (row < 0) break;
    SetCells(row, entry);
  }
  view_.ResumeRedraw();
  view_.Redraw();
  const std::span<const TimetableEntry> rows(entries.data(), loaded);
  for (TimetableObserver* observer : observers_) observer->OnRowsLoaded(*this, rows);
}

int TimetableRows::Insert(int position, const TimetableEntry& entry) {
  const int row = view_.InsertRow(position, std::nullopt, -1, -1, std::nullopt, RowValueOf(entry));
  if (row < 0) return -1;
  view_.SetCellText(row, kSequenceColumn, IntegerText(row + 1));
  SetCells(row, entry);
  for (TimetableObserver* observer : observers_) observer->OnRowInserted(*this, row);
  return row;
}

bool TimetableRows::Delete(int row) {
  if (!view_.DeleteRow(row)) return false;
  for (TimetableObserver* observer : observers_) observer->OnRowDeleted(*this, row);
  return true;
}

void TimetableRows::Renumber() {
  // A row added or deleted near the top changes nearly every sequence cell: one repaint at the
  // end instead of one per cell (at a full day of rows, seconds against a fraction of one).
  const int count = view_.RowCount();
  view_.SuspendRedraw();
  for (int row = 0; row < count; ++row)
    view_.SetCellText(row, kSequenceColumn, IntegerText(row + 1));
  view_.ResumeRedraw();
  view_.Redraw();
}

}  // namespace belvane
