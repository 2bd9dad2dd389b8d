#pragma once
// Today's timetable: which one rings today, worked out from the plan (app/schedule/day_plan.h),
// and the snapshot of it the clock reads. The main window shows one timetable to edit; the clock
// rings today's, whichever is shown: the shown model's own snapshots when it is today's (edits
// take effect at once), else today's file as last saved.
//
// Working a day out reads files, so it runs on a thread of its own at start-up's end, at each
// change of day (the clock tells it), and when a timetable or the plan is saved, created,
// renamed or deleted; the result comes back to the user-interface thread, which publishes it.
// Tomorrow's snapshot is published ahead, so the clock turns to it at midnight by itself.
//
// Thread policy: user-interface thread only, except where a function says otherwise.

#include <string>

#include "app/schedule/day_plan.h"

namespace belvane {

// A timetable file or the plan changed on disk (saved, created, renamed, deleted): today and
// tomorrow are worked out again, and the plan's unreadable lines recorded again when `plan`.
void TimetablesChanged(bool plan = false);
// The main window now shows another timetable (the model's name has been set and its rows
// loaded): the clock's copy follows the model when that is today's.
void ShownTimetableChanged();
// Which timetable rings today, as last worked out.
const DayChoice& TodaysChoice();
// The main window's line for today: "今日：考试（日期 2027-06-07）", "今日：常规（周三）",
// "今日停铃：元旦".
std::string TodayLineText(const DayChoice& choice);

}  // namespace belvane
