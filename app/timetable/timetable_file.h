#pragma once
// Reading the timetable from its INI file into the model, and saving the model back.
//
// File format: sections "time", "music", "remark" with keys "1" to "n" (start time, music
// name, seconds), and "total"/"n" the row count.
//
// Thread policy: user-interface thread only.

#include <functional>

#include "app/timetable/profile_store.h"
#include "app/timetable/timetable.h"
#include "app/timetable/timetable_view.h"
#include "runtime/text_value.h"

namespace belvane {

// Whether a music name's file (or folder) exists; the loader asks it once per row.
using MusicExistsTest = std::function<bool(const TextValue& music_name)>;

// The file's rows 1 to n, in key order, unsorted; a missing key gives an empty text, a missing
// music file the entry's missing-file flag.
std::vector<TimetableEntry> ReadTimetableFrom(ProfileStore& store,
                                              const MusicExistsTest& music_exists);
// ReadTimetableFrom, then shows the rows: they replace the model's, and the list view follows.
void LoadTimetableFrom(ProfileStore& store, const MusicExistsTest& music_exists,
                       TimetableView& timetable_view);

// Writes every row of the model (time, music, remark per row, then the row count) with the
// bare music names and whole texts; true when every write succeeded.
bool SaveTimetableTo(const Timetable& timetable, ProfileStore& store);

}  // namespace belvane
