#pragma once
// The timetable files as the main window uses them: "常规" loaded at start-up, the shown
// timetable saved by "4.保存" to its own file.
//
// Thread policy: user-interface thread only.

#include "app/timetable/profile_store.h"
#include "app/timetable/timetable.h"
#include "runtime/text_value.h"

namespace belvane {

// Text of the message shown when a save failed.
inline constexpr const char* kSaveFailedText = "时间表未能保存，请检查配置文件是否可写。";

// Fills the timetable from the ConfigFile.
bool LoadTimetable();
// Writes the shown timetable to its own file (TimetableFilePath of its name; the folder of the
// named ones is made when missing), then marks it saved and has today worked out again; tells
// the user when it could not. Returns whether it was saved.
bool SaveShownTimetable();

// Saves `timetable` through `store`; on a failed write shows kSaveFailedText with the caption
// "错误". The rows stay as they are either way. Returns whether the save succeeded.
bool SaveTimetableOrTell(const Timetable& timetable, ProfileStore& store);

}  // namespace belvane
