#include "app/schedule/timetable_snapshot.h"

namespace belvane {

TimetableSnapshot::TimetableSnapshot(std::vector<TimetableEntry> rows, std::string name)
    : rows_(std::move(rows)), name_(std::move(name)) {
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

void SharedTimetable::PublishFor(int clock_day, std::shared_ptr<const TimetableSnapshot> snapshot) {
  if (!snapshot) snapshot = std::make_shared<const TimetableSnapshot>();
  {
    std::lock_guard lock(mutex_);
    if (current_day_ == 0 || clock_day == current_day_) {
      current_.swap(snapshot);
      current_day_ = clock_day;
    } else if (clock_day == current_day_ + 1) {
      ahead_.swap(snapshot);
      ahead_day_ = clock_day;
    }
  }
}

bool SharedTimetable::EnterDay(int clock_day) {
  std::shared_ptr<const TimetableSnapshot> old;
  std::lock_guard lock(mutex_);
  if (clock_day == current_day_) return false;
  const bool taken = ahead_ && clock_day == ahead_day_;
  if (taken) {
    old = std::move(current_);
    current_ = std::move(ahead_);
  }
  ahead_.reset();
  ahead_day_ = 0;
  // A day nobody worked out (the clock moved to another date) keeps the current rows until the
  // day's own arrive: a timetable that may be wrong beats none.
  current_day_ = clock_day;
  return taken;
}

int SharedTimetable::CurrentDay() const {
  std::lock_guard lock(mutex_);
  return current_day_;
}

}  // namespace belvane
