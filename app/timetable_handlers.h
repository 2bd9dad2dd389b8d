#pragma once
// The timetable file as the main window uses it: loaded once at start-up, saved by "4.保存".
//
// Thread policy: user-interface thread only.

#include "app/profile_store.h"
#include "app/timetable.h"

namespace belvane {

// Text of the message shown when a save failed.
inline constexpr const char* kSaveFailedText = "时间表未能保存，请检查配置文件是否可写。";

// Fills the timetable from the ConfigFile (the music folder decides the missing-file markers).
void LoadTimetable();
// Click handler of "4.保存": writes the timetable to the ConfigFile; tells the user when it
// could not.
void SaveTimetable();

// Saves `timetable` through `store`; on a failed write shows kSaveFailedText with the caption
// "错误". The rows stay as they are either way. Returns whether the save succeeded.
bool SaveTimetableOrTell(const Timetable& timetable, ProfileStore& store);

}  // namespace belvane
