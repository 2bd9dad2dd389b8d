#include "app/timetable_rules.h"

#include <cstdint>

#include "runtime/text.h"
#include "runtime/text_array.h"

namespace belvane {

int TimeTextToSeconds(const TextValue& text) {
  const TextArray parts = SplitText(text, ":");
  auto number = [&](int i) { return double(TextToInteger(parts[i].View())); };
  double seconds = 0;
  if (parts.Count() == 2) {
    seconds = number(1) * 60 + number(2);
  } else if (parts.Count() == 3) {
    seconds = number(1) * 3600 + number(2) * 60 + number(3);
  } else {
    seconds = TextToInteger(text.View());
  }
  // Truncated toward zero to 64 bits; the low 32 bits are the result, as every double-to-whole
  // conversion of the program does.
  return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::int64_t>(seconds)));
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
