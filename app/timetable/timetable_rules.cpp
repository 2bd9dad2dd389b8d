#include "app/timetable/timetable_rules.h"

#include "runtime/text.h"
#include "runtime/text_convert.h"

namespace belvane {

int TimeTextToSeconds(const TextValue& text) {
  return SecondsFromTimeText(text.View());
}

int RowCountFromText(const TextValue& text) {
  const int count = TextToInteger(text.View());
  if (count <= 0) return 0;
  return count > kMaxTimetableRows ? kMaxTimetableRows : count;
}

int FindInsertPosition(int row_count, const std::function<int(int row)>& seconds_of_row,
                       int seconds) {
  for (int row = row_count - 1; row >= 0; --row) {
    const int value = seconds_of_row(row);
    if (seconds > value) return row + 1;
    if (seconds == value) return kTimeTaken;
  }
  return 0;
}

TextValue ShownMusicText(const TextValue& name, bool file_exists) {
  if (file_exists) return name;
  std::string shown(kMissingFileMarker);
  shown += name.View();
  return TextValue(std::move(shown));
}

}  // namespace belvane
