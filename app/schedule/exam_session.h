#pragma once
// One exam session as the plan's [考试] section and a spreadsheet's CSV both hold it.

#include <string>

#include "app/schedule/plan_date.h"

namespace belvane {

struct ExamSession {
  PlanDate date;
  int start_second = 0;  // seconds after midnight
  int end_second = 0;    // after start_second, on the same date
  std::string subject;   // GBK

  friend bool operator==(const ExamSession&, const ExamSession&) = default;
};

}  // namespace belvane
