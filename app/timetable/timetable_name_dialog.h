#pragma once
// The small modal dialog (template BELVANE_DIALOG_TIMETABLE_NAME) that asks a timetable's name:
// for a new one also whether it starts empty or as a copy of the shown one.
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace belvane {

struct TimetableNameAnswer {
  std::string name;
  bool copy = false;  // start from a copy of the shown timetable
};

// Why a name is refused, for the user's box; empty when accepted.
using TimetableNameCheck = std::function<std::string(std::string_view name)>;

// Asks for a new timetable's name ("新建课表", with `空白课表` / `复制当前课表（<shown>）`), or,
// when `renaming`, for timetable `shown`'s new name (prefilled, no choice of start). A name
// `check` refuses is told in a box and the dialog stays open. Nothing when cancelled.
std::optional<TimetableNameAnswer> AskTimetableName(HWND owner, bool renaming,
                                                    const std::string& shown,
                                                    const TimetableNameCheck& check);

}  // namespace belvane
