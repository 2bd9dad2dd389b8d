#pragma once
// What the main window's timetable choice (app/timetable_choice.h) keeps between its events:
// the drop-down's items, whether an action runs, whether the timetables are read-only, the
// today line's additions and tooltip, and what "日历…" opens. AppObjects owns it.
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace belvane {

// One item of the drop-down.
struct TimetableChoiceItem {
  enum class Kind { kTimetable, kCreate, kRename, kDelete, kExportCsv, kImportCsv };
  Kind kind = Kind::kTimetable;
  std::string text;  // as the drop-down shows it
  std::string name;  // the timetable shown (kTimetable) or acted on (kRename, kDelete, CSV)
  bool operator==(const TimetableChoiceItem&) const = default;
};

struct TimetableChoiceState {
  // The drop-down's items as last filled, in its order.
  std::vector<TimetableChoiceItem> items;
  // Set while an action runs: its boxes and dialog let the drop-down's notifications through.
  bool acting = false;
  // A followed campus folder manages the timetables.
  bool read_only = false;
  // What the today line adds after what rings today.
  std::vector<std::string> today_additions;
  // The next wake, or why there is none ("下次唤醒 07:59:00"); after what rings today.
  std::string wake_text;
  // What the line below the list says besides them: a missing system part (app/media_check.h).
  std::string notice;
  // The today line's tooltip, made the first time the line has additions. The main window owns
  // it (a popup's owner destroys it with itself), so only a handle is kept here.
  HWND today_tip = nullptr;
  // What "日历…" runs, with the main window as owner; empty until set.
  std::function<void(HWND owner)> plan_opener;
};

}  // namespace belvane
