#pragma once
// The main window's choice of the timetable it shows and edits, in the strip beside the clock:
// a drop-down ("常规", the named timetables in name order, "新建课表…", and while a named one
// is shown "重命名“考试”…" and "删除“考试”…"), the line saying what rings today and the
// "日历…" button. The list, its buttons and "4.保存" work on the shown timetable.
//
// Choosing another timetable with unsaved edits asks first (save, drop them, or stay); an
// action item runs and the drop-down goes back to the shown timetable. Files are read and
// written here on the user's gesture, as "4.保存" does.
//
// Thread policy: user-interface thread only; the pure functions are safe from any thread.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window.h"
#include "app/timetable_choice_state.h"

namespace belvane {

// The drop-down's items for the timetables `names` (as ListTimetableNames gives them: "常规"
// first, the others in name order) while `shown` is shown. A shown timetable whose file has
// gone stays listed, in its place, until another is shown. `read_only` (a followed campus
// folder manages the timetables): the timetables alone, no action items.
std::vector<TimetableChoiceItem> TimetableChoiceItems(const std::vector<std::string>& names,
                                                      std::string_view shown,
                                                      bool read_only = false);

// Why `name` cannot name a new (or renamed) timetable beside `names` (TimetableNameProblem; a
// name beginning with "停铃" or "按周", which the plan reads otherwise; or "已有同名课表" when one
// of them other than `renaming` is the same name with ASCII letters compared without case, as
// the file system compares them); empty when it can.
std::string NewTimetableNameProblem(std::string_view name, const std::vector<std::string>& names,
                                    std::string_view renaming = {});

// Attaches the three controls; SetUpMainWindow calls it before capturing the layout.
void AttachTimetableChoice(HWND dialog, MainWindowControls& controls);
// Binds their handlers and fills the drop-down with the shown timetable chosen; once the
// timetable has been loaded.
void StartTimetableChoice();
// Lists the timetables on disk again, the shown one chosen.
void RefreshTimetableChoice();
// Files of the program's folder were replaced or removed behind the window (`names` relative to
// the folder, e.g. "课表\考试.ini"): the shown timetable is read again when its file is one of
// them and it has no unsaved edits ("常规" shown instead when its file is gone), and the
// drop-down lists the timetables as they are now.
void ShownFilesReplaced(const std::vector<std::string>& names);
// Sets today's line from TodaysChoice(), followed by the additions, if any.
void ShowTodayLine();
// What today's line adds after what rings today, each part after two blanks
// (app/campus/follow_view.h); while there are any, the line's tooltip shows the whole text, a part
// a line, since the line is too narrow for it. Empty: the line as it was.
void SetTodayLineAdditions(std::vector<std::string> parts);
// The next wake (TodaysTimetable::SetWakeShown's words) after what rings today; shown at once.
void ShowWakeText(const std::string& text);
// A notice the line below the list shows after the additions (empty: none), for as long as the
// program runs; shown at once.
void ShowNotice(std::string notice);
// Whether the timetables are read-only here (a followed campus folder manages them): the
// drop-down then offers no action items, and unsaved edits cannot be saved on leaving them.
// Lists the timetables again when it changes.
void SetTimetablesReadOnly(bool read_only);
bool TimetablesReadOnly();
// Click handler of "4.保存": SaveShownTimetable, unless a followed folder manages the timetables.
void SaveTimetable();
// Before following a shared folder starts: unsaved edits of the shown timetable are saved or
// dropped first, asked as choosing another timetable asks (保存 / 不保存 / 取消); false on 取消
// or a failed save (told). Once following, the shown timetable is what the folder gives.
bool MayStartFollowing();
// What "日历…" runs, with the main window as owner; until set, the button does nothing.
void SetPlanWindowOpener(std::function<void(HWND owner)> opener);

}  // namespace belvane
