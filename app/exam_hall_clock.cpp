#include "app/exam_hall_clock.h"

#include "app/app_objects.h"
#include "app/calendar/exam_hall_window.h"
#include "app/schedule/session_csv.h"

namespace belvane {

void OpenExamHallClock(HWND owner) {
  if (!HaveAppObjects()) return;
  RunExamHallClock(owner, [] {
    if (!HaveAppObjects()) return ExamHallDay{};
    // A pointer copy under the snapshot's own short lock: the clock never waits on this. The
    // time is the one the main window's clock shows, which the bells ring by.
    return ExamHallDay{App().today.Today().exams, App().process.published_timetable.Current(),
                       SpreadsheetTimeSeconds(App().clock_label.Caption().View())};
  });
}

}  // namespace belvane
