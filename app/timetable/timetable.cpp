#include "app/timetable/timetable.h"

#include "app/timetable/timetable_rules.h"
#include "runtime/text.h"

namespace belvane {

Timetable::Timetable(SharedTimetable* published)
    : snapshot_(std::make_shared<const TimetableSnapshot>()), published_(published) {}

const TimetableEntry& Timetable::Row(int row) const {
  static const TimetableEntry kNone;
  if (row < 0 || row >= Count()) return kNone;
  return rows_[static_cast<std::size_t>(row)];
}

int Timetable::InsertPosition(int seconds) const {
  return FindInsertPosition(
      Count(), [this](int row) { return order_seconds_[static_cast<std::size_t>(row)]; }, seconds);
}

void Timetable::Load(std::vector<TimetableEntry> rows) {
  rows_ = std::move(rows);
  order_seconds_.clear();
  order_seconds_.reserve(rows_.size());
  for (const TimetableEntry& entry : rows_)
    order_seconds_.push_back(TextToInteger(entry.seconds.View()));
  modified_ = false;
  Changed();
}

void Timetable::Replace(std::vector<TimetableEntry> rows) {
  Load(std::move(rows));
  modified_ = true;
}

int Timetable::Insert(int position, TimetableEntry entry) {
  if (position < 0 || position > Count()) position = Count();
  const int seconds = TextToInteger(entry.seconds.View());
  rows_.insert(rows_.begin() + position, std::move(entry));
  order_seconds_.insert(order_seconds_.begin() + position, seconds);
  modified_ = true;
  Changed();
  return position;
}

bool Timetable::Delete(int row) {
  if (row < 0 || row >= Count()) return false;
  rows_.erase(rows_.begin() + row);
  order_seconds_.erase(order_seconds_.begin() + row);
  modified_ = true;
  Changed();
  return true;
}

std::vector<int> Timetable::SetMusicMissing(const std::vector<bool>& missing) {
  std::vector<int> changed;
  if (missing.size() != rows_.size()) return changed;
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (rows_[row].music_missing == missing[row]) continue;
    rows_[row].music_missing = missing[row];
    changed.push_back(static_cast<int>(row));
  }
  if (!changed.empty()) Changed();
  return changed;
}

void Timetable::SetName(const TextValue& name) {
  name_ = name;
  Changed();
}

void Timetable::Changed() {
  snapshot_ = std::make_shared<const TimetableSnapshot>(rows_, name_.Bytes());
  if (published_) published_->Publish(snapshot_);
  if (observer_) observer_(snapshot_);
}

TimetableEntry NewTimetableEntry(const TextValue& time_text, const TextValue& music_name) {
  return {time_text, music_name, IntegerText(TimeTextToSeconds(time_text)), false};
}

}  // namespace belvane
