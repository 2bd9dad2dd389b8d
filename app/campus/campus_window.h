#pragma once
// The campus window (the system menu's "全校状态…"): every PC's report at the campus's folder
// (app/campus/campus_overview.h) in one list, red and amber rows where the office should look,
// refreshed every look interval and by "刷新"; "导出…" saves the list as a CSV file (GBK).
// A PC that follows no folder is asked for one first, and it is remembered.
//
// Thread policy: user-interface thread. The reports are read, and the CSV file written, on a
// worker of the pool given, which posts its answer to the window; one that comes after the
// window has closed is dropped.

#include <windows.h>

#include <functional>
#include <string>

#include <string>
#include <vector>

#include "runtime/worker_pool.h"
#include "ui/controls/list_view_control.h"

namespace belvane {

// What the window works on: the follower's methods, or a stand-in.
struct CampusWindowActions {
  std::function<std::string()> folder;  // empty: none known yet
  // False when the setting could not be written.
  std::function<bool(const std::string& folder)> remember_folder;
  std::function<int()> look_interval_seconds;
};

// Puts the rows' cells into the list, the redraw held meanwhile.
void FillCampusList(ListViewControl& list, const std::vector<std::vector<std::string>>& cells);

// Asks for the folder when none is known, then runs the window modally over `owner`.
void OpenCampusWindow(HWND owner, CampusWindowActions actions, WorkerPool& workers);

}  // namespace belvane
