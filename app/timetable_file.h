#pragma once
// Loading the timetable from its INI file into the rows, and saving the rows back.
//
// File format: sections "time", "music", "remark" with keys "1" to "n" (start time, music
// name, seconds), and "total"/"n" the row count.
//
// Thread policy: user-interface thread only.

#include <functional>

#include "app/profile_store.h"
#include "app/timetable_rows.h"
#include "runtime/text_value.h"

namespace belvane {

// Whether a music name's file (or folder) exists; the loader asks it once per row.
using MusicExistsTest = std::function<bool(const TextValue& music_name)>;

// Replaces the rows by the file's rows 1 to n, in key order, unsorted; a missing key gives an
// empty cell, a missing music file the marker in front of its name.
void LoadTimetableFrom(ProfileStore& store, const MusicExistsTest& music_exists,
                       TimetableRows& rows);

// Writes every row (time, music, remark per row, then the row count) with the bare music
// names and whole cells; true when every write succeeded.
bool SaveTimetableTo(const TimetableRows& rows, ProfileStore& store);

}  // namespace belvane
