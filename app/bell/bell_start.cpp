#include "app/bell/bell_start.h"

#include "app/schedule/bell_preparation.h"
#include "runtime/text.h"

namespace belvane {

int RowOfBell(const Bell& bell, const Timetable& timetable) {
  if (bell.row >= 0 && bell.row < timetable.Count() &&
      timetable.Row(bell.row).start_time.View() == bell.start_time)
    return bell.row;
  return timetable.FirstRowAt(bell.start_time);
}

int RowOfBell(const Bell& bell, const TimetableSnapshot& rows) {
  if (bell.row >= 0 && bell.row < rows.RowCount() &&
      rows.Row(bell.row).start_time.View() == bell.start_time)
    return bell.row;
  return rows.FirstRowAt(bell.start_time);
}

namespace {

// Plays the file of `entry`, the row `bell.row` of timetable `timetable_name`.
void PlayBell(Bell bell, const TimetableEntry& entry, const std::string& timetable_name,
              const TextValue& music_folder, PlaybackControl& playback, BellStarted started) {
  // The row's name, not the cell: the missing-file marker is for the eye only, and a file put
  // in the folder since the load should play.
  bell.music_name = entry.music_name;
  // An exam day's row rings for its session (or its timetable), not for the day's rows' name.
  bell.timetable = entry.source.empty() ? timetable_name : entry.source;
  bell.path = MusicFilePath(music_folder, bell.music_name);
  const TextValue path = bell.path;
  playback.StartPlayback(
      path,
      [bell = std::move(bell), started = std::move(started)](const StartOutcome& outcome) mutable {
        bell.outcome = outcome;
        if (started) started(bell);
      },
      true);
}

}  // namespace

int StartDueBell(Bell bell, const Timetable& timetable, ListViewControl& view,
                 const TextValue& music_folder, PlaybackControl& playback, BellStarted started) {
  // Asked again on the thread that changes the rows.
  bell.row = RowOfBell(bell, timetable);
  if (bell.row < 0) return -1;
  const int row = bell.row;
  view.SetCurrentRow(bell.row);
  view.SetFocus();
  PlayBell(std::move(bell), timetable.Row(row), timetable.Name().Bytes(), music_folder, playback,
           std::move(started));
  return row;
}

int StartDueBellOf(Bell bell, const TimetableSnapshot& rows, const TextValue& music_folder,
                   PlaybackControl& playback, BellStarted started) {
  bell.row = RowOfBell(bell, rows);
  if (bell.row < 0) return -1;
  const int row = bell.row;
  PlayBell(std::move(bell), rows.Row(row), rows.Name(), music_folder, playback, std::move(started));
  return row;
}

}  // namespace belvane
