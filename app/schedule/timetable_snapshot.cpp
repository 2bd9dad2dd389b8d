#include "app/schedule/timetable_snapshot.h"

namespace belvane {

TimetableSnapshot::TimetableSnapshot(std::vector<TimetableEntry> rows) : rows_(std::move(rows)) {
  first_row_.reserve(rows_.size());
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    // try_emplace keeps the first holder of a text.
    first_row_.try_emplace(rows_[row].start_time.View(), static_cast<int>(row));
  }
}

TimetableSnapshot TimetableSnapshot::FromStartTimes(std::span<const TextValue> texts) {
  std::vector<TimetableEntry> rows(texts.size());
  for (std::size_t row = 0; row < texts.size(); ++row) rows[row].start_time = texts[row];
  return TimetableSnapshot(std::move(rows));
}

int TimetableSnapshot::FirstRowAt(std::string_view text) const {
  const auto found = first_row_.find(text);
  return found == first_row_.end() ? -1 : found->second;
}

const TimetableEntry& TimetableSnapshot::Row(int row) const {
  static const TimetableEntry kNone;
  if (row < 0 || row >= RowCount()) return kNone;
  return rows_[static_cast<std::size_t>(row)];
}

SharedTimetable::SharedTimetable() : current_(std::make_shared<const TimetableSnapshot>()) {}

void SharedTimetable::Publish(std::shared_ptr<const TimetableSnapshot> snapshot) {
  if (!snapshot) snapshot = std::make_shared<const TimetableSnapshot>();
  // The old snapshot is released outside the lock: freeing a full day of rows takes a while,
  // and the clock should not wait for it.
  {
    std::lock_guard lock(mutex_);
    current_.swap(snapshot);
  }
}

std::shared_ptr<const TimetableSnapshot> SharedTimetable::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

int SharedTimetable::FirstRowAt(std::string_view text) const {
  return Current()->FirstRowAt(text);
}

}  // namespace belvane
