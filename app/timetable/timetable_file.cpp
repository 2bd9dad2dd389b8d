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

  std::vector<TextValue> times = store.ReadNumberedValues(kTimeSection, count);
  std::vector<TextValue> music = store.ReadNumberedValues(kMusicSection, count);
  std::vector<TextValue> seconds = store.ReadNumberedValues(kRemarkSection, count);

  std::vector<TimetableEntry> entries(count);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    TimetableEntry& entry = entries[i];
    if (i < times.size()) entry.start_time = std::move(times[i]);
    if (i < music.size()) entry.music_name = std::move(music[i]);
    if (i < seconds.size()) entry.seconds = std::move(seconds[i]);
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
