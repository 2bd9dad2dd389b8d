#pragma once
// Editing the timetable: adding a row in time order (a second row at a time that is taken is
// refused) and deleting the current row. The handlers work on the main window's controls; the
// routines below them take the rows and inputs explicitly.
//
// Thread policy: user-interface thread only.

#include "app/campus/campus.h"
#include "app/timetable/timetable_view.h"
#include "runtime/text_value.h"

namespace belvane {

// Adds a row for `time_text` and `music_name` in seconds order (the rows below it number one
// more); when a row met by the scan has the same seconds, tells the user "该时间点已有任务" and
// changes nothing. Returns the new row's index, or -1 when nothing was added.
int AddTimetableEntry(TimetableView& timetable_view, const TextValue& time_text,
                      const TextValue& music_name);

// Deletes `row` (nothing for -1 or a row that does not exist); the rows below number one less.
void DeleteTimetableRow(TimetableView& timetable_view, int row);

// Click handler of "3.添加": the time lists' texts and the chosen music file.
void AddEntry();
// Click handler of "删除该行": the row the user last selected.
void DeleteCurrentRow();

// Shows the following state in the main window: the editing buttons, the drop-down's action
// items (SetTimetablesReadOnly, app/timetable_choice.h) and the today line. Called whenever
// following starts or stops or its status changes.
void ShowFollowing(const FollowStatus& status, bool following);

}  // namespace belvane
