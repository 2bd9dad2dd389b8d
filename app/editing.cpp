#include "app/editing.h"

#include <windows.h>

#include "app/app_objects.h"
#include "app/campus/follow_view.h"
#include "app/timetable_choice.h"
#include "app/timetable/timetable_rules.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace belvane {

int AddTimetableEntry(TimetableView& timetable_view, const TextValue& time_text,
                      const TextValue& music_name) {
  const int row = timetable_view.Add(time_text, music_name);
  if (row == kTimeTaken) {
    ShowMessageBox(nullptr, "该时间点已有任务", "错误", MB_OK);
    return -1;
  }
  return row;
}

void DeleteTimetableRow(TimetableView& timetable_view, int row) {
  timetable_view.Delete(row);
}

void AddEntry() {
  // While a shared folder manages the timetables the buttons are disabled; a click that still
  // arrives changes nothing.
  if (TimetablesReadOnly()) return;
  AppObjects& app = App();
  const TextValue time_text = ConcatTexts(app.hour_list.GetText(), ":", app.minute_list.GetText(),
                                          ":", app.second_list.GetText());
  // Nothing chosen gives the empty name: the row is added with an empty music cell.
  const TextValue music_name = app.music_list.ItemText(app.music_list.CurrentSelection());
  AddTimetableEntry(app.timetable_view, time_text, music_name);
}

void DeleteCurrentRow() {
  if (TimetablesReadOnly()) return;
  AppObjects& app = App();
  DeleteTimetableRow(app.timetable_view, app.timetable_view.SelectionMark());
}

void ShowFollowing(const FollowStatus& status, bool following) {
  SetTodayLineAdditions(FollowLines(status, following));
  if (!HaveAppObjects()) return;
  AppObjects& app = App();
  app.add_button.Disabled(following);
  app.delete_button.Disabled(following);
  app.save_button.Disabled(following);
  SetTimetablesReadOnly(following);
  ShowTodayLine();
}

}  // namespace belvane
