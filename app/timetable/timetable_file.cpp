#include "app/timetable/timetable_file.h"

#include <string>
#include <utility>

#include "app/timetable/timetable_rules.h"

namespace belvane {

namespace {

constexpr const char* kTimeSection = "time";
constexpr const char* kMusicSection = "music";
constexpr const char* kRemarkSection = "remark";

}  // namespace

std::vector<TimetableEntry> ReadTimetableFrom(ProfileStore& store,
                                              const MusicExistsTest& music_exists) {
  const std::vector<TextValue> total = store.ReadValues({{"total", "n"}});
  const int count = RowCountFromText(total.empty() ? TextValue() : total[0]);

  std::vector<ProfileKey> keys;
  keys.reserve(std::size_t(count) * 3);
  for (int i = 1; i <= count; ++i) {
    const TextValue key(std::to_string(i));
    keys.push_back({kTimeSection, key});
    keys.push_back({kMusicSection, key});
    keys.push_back({kRemarkSection, key});
  }
  std::vector<TextValue> values = store.ReadValues(keys);

  std::vector<TimetableEntry> entries(count);
  for (int i = 0; i < count && std::size_t(i) * 3 + 2 < values.size(); ++i) {
    TimetableEntry& entry = entries[i];
    entry.start_time = std::move(values[i * 3]);
    entry.music_name = std::move(values[i * 3 + 1]);
    entry.seconds = std::move(values[i * 3 + 2]);
    entry.music_missing = !music_exists(entry.music_name);
  }
  return entries;
}

void LoadTimetableFrom(ProfileStore& store, const MusicExistsTest& music_exists,
                       TimetableView& timetable_view) {
  timetable_view.Load(ReadTimetableFrom(store, music_exists));
}

bool SaveTimetableTo(const Timetable& timetable, ProfileStore& store) {
  const int count = timetable.Count();
  std::vector<ProfileValue> values;
  values.reserve(std::size_t(count) * 3 + 1);
  for (int row = 0; row < count; ++row) {
    const TimetableEntry& entry = timetable.Row(row);
    const TextValue key(std::to_string(row + 1));
    values.push_back({kTimeSection, key, entry.start_time});
    values.push_back({kMusicSection, key, entry.music_name});
    values.push_back({kRemarkSection, key, entry.seconds});
  }
  values.push_back({"total", "n", TextValue(std::to_string(count))});
  return store.WriteValues(values);
}

}  // namespace belvane
