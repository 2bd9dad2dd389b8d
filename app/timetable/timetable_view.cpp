#include "app/timetable/timetable_view.h"

#include <windows.h>

#include "app/timetable/timetable_rules.h"
#include "runtime/text.h"

namespace belvane {

TextValue TimetableCellText(const Timetable& model, int row, int column) {
  if (row < 0 || row >= model.Count()) return TextValue();
  const TimetableEntry& entry = model.Row(row);
  switch (column) {
    case kSequenceColumn:
      return IntegerText(row + 1);
    case kStartTimeColumn:
      return entry.start_time;
    case kMusicColumn:
      return ShownMusicText(entry.music_name, !entry.music_missing);
    case kSecondsColumn:
      return entry.seconds;
    default:
      return TextValue();
  }
}

TimetableView::TimetableView(Timetable& model, ListViewControl& list) : model_(model), list_(list) {
  list_.SetCellTextSource(
      [&model](int row, int column) { return TimetableCellText(model, row, column); });
}

TimetableView::~TimetableView() {
  // The list may still be painted after this object is gone.
  list_.SetCellTextSource({});
}

void TimetableView::Load(std::vector<TimetableEntry> entries) {
  model_.Load(std::move(entries));
  list_.DeleteAllRows();
  list_.SetRowCount(model_.Count());
}

void TimetableView::Replace(std::vector<TimetableEntry> entries) {
  model_.Replace(std::move(entries));
  list_.DeleteAllRows();
  list_.SetRowCount(model_.Count());
}

int TimetableView::Add(const TextValue& time_text, const TextValue& music_name) {
  const int position = model_.InsertPosition(TimeTextToSeconds(time_text));
  if (position == kTimeTaken) return kTimeTaken;
  return Insert(position, NewTimetableEntry(time_text, music_name));
}

int TimetableView::Insert(int position, TimetableEntry entry) {
  // What the list view holds of its rows goes down with them; the rows' texts already have.
  const std::vector<int> selected = list_.SelectedRows();
  const int mark = list_.SelectionMark();
  const int focused = list_.FocusedRow();
  const int row = model_.Insert(position, std::move(entry));
  list_.SetRowCount(model_.Count(), LVSICF_NOSCROLL);
  for (const int r : selected)
    if (r >= row) list_.DeselectRow(r);
  for (const int r : selected)
    if (r >= row) list_.SelectRow(r + 1);
  if (focused >= row) list_.FocusRow(focused + 1);
  if (mark >= row) list_.SetSelectionMark(mark + 1);
  return row;
}

bool TimetableView::Delete(int row) {
  if (!model_.Delete(row)) return false;
  // The list view moves the selection, the mark and the focus up over the row, as it does for
  // its own rows; a list view that would not delete a row it does not hold is told the count.
  if (!list_.DeleteRow(row)) list_.SetRowCount(model_.Count());
  return true;
}

void TimetableView::SetMusicMissing(const std::vector<bool>& missing) {
  if (!model_.SetMusicMissing(missing).empty()) list_.UpdateNow();
}

}  // namespace belvane
