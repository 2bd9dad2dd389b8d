#pragma once
// The window's side of a due bell: the clock thread found it, and here, on the user-interface
// thread, its row is looked up again (the rows may have changed since the clock looked), made
// current and its file started.
//
// Thread policy: user-interface thread only; `started` hears the bell on the thread that made
// the start.

#include <functional>
#include <string>

#include "app/bell/bell.h"
#include "app/bell/playback.h"
#include "app/schedule/timetable_snapshot.h"
#include "app/timetable/timetable.h"
#include "runtime/text_value.h"
#include "ui/controls/list_view_control.h"

namespace belvane {

// The row of `timetable` that `bell` rings for now: the row the clock found while it still holds
// the bell's start time, else the first row that holds it (the rows may have changed since the
// clock looked); -1 when none does.
int RowOfBell(const Bell& bell, const Timetable& timetable);

// The row of `rows` that `bell` rings for, as RowOfBell does for the model.
int RowOfBell(const Bell& bell, const TimetableSnapshot& rows);

// Hears a started bell, its outcome filled in, on the thread that made the start.
using BellStarted = std::function<void(const Bell& bell)>;

// A due bell reaches the user-interface thread: its row (RowOfBell) is made current and
// focused in `view`, and its file (MusicFilePath of `music_folder` and the row's music name)
// played; `started` then hears the bell, its row, music name, path and outcome filled in.
// Returns the row; -1 when no row holds the bell's time any more (nothing is started).
int StartDueBell(Bell bell, const Timetable& timetable, ListViewControl& view,
                 const TextValue& music_folder, PlaybackControl& playback, BellStarted started);
// A due bell of a timetable the window does not show (today's, read from its file): as
// StartDueBell, from `rows`, with no row made current.
int StartDueBellOf(Bell bell, const TimetableSnapshot& rows, const TextValue& music_folder,
                   PlaybackControl& playback, BellStarted started);

}  // namespace belvane
