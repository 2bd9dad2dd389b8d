#include "app/timetable_view.h"

#include <windows.h>

#include "app/timetable_rules.h"
#include "runtime/text.h"

namespace belvane {

void TimetableView::SetCells(int row, const TimetableEntry& entry) {
  view_.SetCellText(row, kStartTimeColumn, entry.start_time);
  view_.SetCellText(row, kMusicColumn, ShownMusicText(entry.music_name, !entry.music_missing));
  view_.SetCellText(row, kSecondsColumn, entry.seconds);
}

void TimetableView::Load(std::vector<TimetableEntry> entries) {
  // Up to 86,400 rows: one repaint at the end instead of one per row, and room for every row
  // made once.
  view_.SuspendRedraw();
  view_.DeleteAllRows();
  view_.SendWindowMessage(LVM_SETITEMCOUNT, entries.size(), 0);
  std::size_t shown = 0;
  for (; shown < entries.size(); ++shown) {
    const int row = view_.InsertRow(int(shown), IntegerText(int(shown) + 1));
    if (row < 0) break;
    SetCells(row, entries[shown]);
  }
  view_.ResumeRedraw();
  view_.Redraw();
  entries.resize(shown);
  model_.Load(std::move(entries));
}

int TimetableView::Add(const TextValue& time_text, const TextValue& music_name) {
  TimetableEntry entry = NewTimetableEntry(time_text, music_name);
  const int position = model_.InsertPosition(TimeTextToSeconds(time_text));
  if (position == kTimeTaken) return kTimeTaken;
  const int row = Insert(position, std::move(entry));
  if (row < 0) return kNotShown;
  Renumber();
  return row;
}

int TimetableView::Insert(int position, TimetableEntry entry) {
  const int row = view_.InsertRow(position, std::nullopt);
  if (row < 0) return -1;
  view_.SetCellText(row, kSequenceColumn, IntegerText(row + 1));
  SetCells(row, entry);
  // The list view chose the row (past the end appends); the model follows it.
  model_.Insert(row, std::move(entry));
  return row;
}

bool TimetableView::Delete(int row) {
  if (row < 0 || row >= model_.Count()) return false;
  if (!view_.DeleteRow(row)) return false;
  model_.Delete(row);
  return true;
}

void TimetableView::Renumber() {
  // A row added or deleted near the top changes nearly every number: one repaint at the end
  // instead of one per cell (at a full day of rows, seconds against a fraction of one).
  const int count = model_.Count();
  view_.SuspendRedraw();
  for (int row = 0; row < count; ++row)
    view_.SetCellText(row, kSequenceColumn, IntegerText(row + 1));
  view_.ResumeRedraw();
  view_.Redraw();
}

}  // namespace belvane
