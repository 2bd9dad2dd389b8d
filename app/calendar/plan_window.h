#pragma once
// The plan window ("日历…"): edits "Belvane日历.ini" (app/schedule/day_plan.h), which says which
// timetable rings on which date. It shows the weekly plan's seven choices, the seasonal weekly
// plans, the dated lines ([日期] and [停铃]) and the lines that cannot be read, and previews any
// date: which timetable rings, which line decided, and that timetable's rows, missing files
// marked. The preview follows the plan being edited, not the saved one. Saving replaces the
// file whole and has the clock work today out again at once; cancelling writes nothing.
//
// The exam part lists the sessions and the template of announcements, imports sessions from a
// CSV file (previewed, all or nothing) and exports them, and opens the exam-hall clock.
//
// Thread policy: user-interface thread only. It reads the plan and the timetables it previews
// on this thread: small files, read when the user asks. A CSV file chosen by the user (on
// another disk, perhaps on a server) is read and written by a worker.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/text_value.h"

namespace belvane {

// Runs the window modally over `owner`; returns when it closes, true when the plan was saved
// (the opener has today worked out again). `read_only` (a followed campus folder manages the
// plan): the plan and the preview can be looked at, nothing changed.
// `music`: the music folder's files, which the exam template's lines choose from;
// `open_exam_clock`: what "考场时钟" runs, the window as owner (the button is off without it).
struct PlanWindowExtras {
  std::vector<std::string> music;
  std::function<void(HWND owner)> open_exam_clock;
};
bool OpenPlanWindow(HWND owner, const TextValue& program_dir, const TextValue& music_folder,
                    bool read_only = false, PlanWindowExtras extras = {});

}  // namespace belvane
