#pragma once
// The timetable on screen: the model (timetable.h) and the list view that shows it. The model
// decides every change; the list view follows it. It is an owner-data list view
// (kTimetableListStyle): it holds only the row count, the selection and the focus, and asks for
// each cell it shows, so a full day of rows costs nothing to load, and nothing reads the list
// view to learn the timetable.
//
// What the list view shows of a row: its 1-based number, the start-time text, the music name
// (with the missing-file marker in front when the model flags the file as missing) and the
// seconds text. Other programs read these cells as they read a normal list view's.
//
// Thread policy: user-interface thread only.

#include <vector>

#include "app/timetable/timetable.h"
#include "runtime/text_value.h"
#include "ui/controls/list_view_control.h"

namespace belvane {

// The window style of the timetable's list view.
inline constexpr DWORD kTimetableListStyle = LVS_REPORT | LVS_OWNERDATA;

// The text of cell (`row`, `column`) as the list view shows it; empty outside the rows.
TextValue TimetableCellText(const Timetable& model, int row, int column);

class TimetableView {
 public:
  // Both are borrowed and must outlive this object; `list` is made with kTimetableListStyle
  // (before or after this object) and takes its cells from `model` until this object goes.
  TimetableView(Timetable& model, ListViewControl& list);
  ~TimetableView();
  TimetableView(const TimetableView&) = delete;
  TimetableView& operator=(const TimetableView&) = delete;

  const Timetable& Model() const { return model_; }
  int Count() const { return model_.Count(); }
  // The row the user last selected, -1 = none.
  int SelectionMark() const { return list_.SelectionMark(); }

  // Replaces every row by `entries` in their order; the list view starts over with nothing
  // selected.
  void Load(std::vector<TimetableEntry> entries);
  // The same as an edit, unsaved until saved (Timetable::Replace).
  void Replace(std::vector<TimetableEntry> entries);
  // A row for `time_text` and `music_name` in seconds order. Returns the new row, or
  // kTimeTaken (nothing changes) when the scan meets a row with the same seconds.
  int Add(const TextValue& time_text, const TextValue& music_name);
  // Inserts `entry` at `position` (outside the rows appends); returns the new row. The
  // selection, the selection mark and the focus stay on their rows, as a list view moves them
  // over a row inserted above.
  int Insert(int position, TimetableEntry entry);
  // Deletes the row; false when there is no such row (-1 included).
  bool Delete(int row);
  // Sets the rows' missing-file flags (Timetable::SetMusicMissing) and redraws the rows shown
  // when one changed; the rows, the selection and the scroll position stay.
  void SetMusicMissing(const std::vector<bool>& missing);

 private:
  Timetable& model_;
  ListViewControl& list_;
};

}  // namespace belvane
