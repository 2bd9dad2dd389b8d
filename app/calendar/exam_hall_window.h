#pragma once
// The exam-hall clock ("考场时钟"): a full-screen window on the monitor its owner is on, for a
// projector in the hall: the time in large digits, today's current or next session, a countdown
// and the next announcement (app/calendar/exam_hall_face.h). Esc or a double click closes it.
//
// It costs the bells nothing: a timer on the user-interface thread redraws it, reading today's
// sessions and the rows the clock was handed (a pointer copy), so a new day and a saved plan
// show at the next tick.
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/schedule/exam_session.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {

// What the clock shows a day from: today's sessions, the rows the clock rings today and the
// second the bells' clock has reached (it may ring by a server's time, not this PC's).
struct ExamHallDay {
  std::vector<ExamSession> sessions;
  std::shared_ptr<const TimetableSnapshot> rows;  // may be null: no rows
  std::optional<int> now;                         // nothing: this PC's local time
};
using ExamHallSource = std::function<ExamHallDay()>;

// Shows the clock over `owner`'s monitor and returns when it is closed (the owner disabled
// meanwhile). `source` is asked at each tick.
void RunExamHallClock(HWND owner, ExamHallSource source);

}  // namespace belvane
