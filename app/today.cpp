#include "app/today.h"

namespace belvane {

// Until today is worked out from the plan, the default timetable rings every day.
void TimetablesChanged(bool) {}
void ShownTimetableChanged() {}

const DayChoice& TodaysChoice() {
  static const DayChoice kDefault{DayChoice::Step::kDefault, false, kDefaultTimetableName, "默认",
                                  "默认"};
  return kDefault;
}

std::string TodayLineText(const DayChoice& choice) {
  if (choice.quiet) return "今日停铃：" + choice.reason;
  return "今日：" + choice.name + "（" + choice.why + "）";
}

}  // namespace belvane
