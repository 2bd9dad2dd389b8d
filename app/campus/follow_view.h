#pragma once
// The texts by which the main window shows that a campus folder is followed (app/campus/campus.h;
// ShowFollowing in app/editing.h puts them up). While it is, the
// timetables and the plan come from the source: "3.添加", "删除该行" and "4.保存" are disabled,
// the drop-down offers no 新建/重命名/删除 (showing another timetable stays: it only views), the
// plan window opens read-only, and the today line says who manages it and, when the clock is
// off, by how much. Manual play is untouched.
//
// Thread policy: ShowFollowing and TimetablesReadOnly on the user-interface thread; the text
// functions are pure and safe from any thread.

#include <optional>
#include <string>
#include <vector>

#include "app/campus/campus.h"

namespace belvane {

// "本机时钟比服务器快 3.2 秒" (or "慢") when the offset is beyond kClockOffsetLimitSeconds;
// empty within it or when the server's time is not known.
std::string ClockOffsetText(std::optional<double> offset_seconds);

// What the today line adds while following, one part each: "由 \\教务处\铃声 管理，最后同步
// 10:31:05" (before the first sync "…管理，尚未同步"), then ClockOffsetText when not empty.
// Nothing when not following.
std::vector<std::string> FollowLines(const FollowStatus& status, bool following);

// The follow window's status, one line each: the source, whether it can be read (or why not),
// the last sync, the last problem and the clock.
std::string FollowStatusText(const FollowStatus& status, bool following);

}  // namespace belvane
