#include "app/schedule/start_time_index.h"

#include <algorithm>

namespace belvane {

void StartTimeIndex::Load(std::span<const TextValue> texts) {
  std::lock_guard lock(mutex_);
  ids_.clear();
  texts_.clear();
  first_row_.clear();
  holders_.clear();
  row_ids_.clear();
  row_ids_.reserve(texts.size());
  ids_.reserve(texts.size());
  for (const TextValue& text : texts) {
    const int id = InternLocked(text.View());
    const int row = static_cast<int>(row_ids_.size());
    row_ids_.push_back(id);
    if (first_row_[id] < 0) first_row_[id] = row;
    ++holders_[id];
  }
}

int StartTimeIndex::Insert(int row, std::string_view text) {
  std::lock_guard lock(mutex_);
  return InsertLocked(row, text);
}

bool StartTimeIndex::Erase(int row) {
  std::lock_guard lock(mutex_);
  if (row < 0 || row >= static_cast<int>(row_ids_.size())) return false;
  EraseLocked(row);
  return true;
}

void StartTimeIndex::Clear() {
  Load({});
}

int StartTimeIndex::FirstRowAt(std::string_view text) const {
  std::lock_guard lock(mutex_);
  const auto found = ids_.find(text);
  return found == ids_.end() ? -1 : first_row_[found->second];
}

int StartTimeIndex::RowCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(row_ids_.size());
}

std::string StartTimeIndex::TextAt(int row) const {
  std::lock_guard lock(mutex_);
  if (row < 0 || row >= static_cast<int>(row_ids_.size())) return {};
  return texts_[row_ids_[row]];
}

int StartTimeIndex::InternLocked(std::string_view text) {
  const auto found = ids_.find(text);
  if (found != ids_.end()) return found->second;
  const int id = static_cast<int>(texts_.size());
  ids_.emplace(std::string(text), id);
  texts_.emplace_back(text);
  first_row_.push_back(-1);
  holders_.push_back(0);
  return id;
}

int StartTimeIndex::InsertLocked(int row, std::string_view text) {
  const int count = static_cast<int>(row_ids_.size());
  if (row < 0 || row > count) row = count;
  const int id = InternLocked(text);
  for (int& first : first_row_) {
    if (first >= row) ++first;
  }
  row_ids_.insert(row_ids_.begin() + row, id);
  // Every other row holding this text moved down past `row` or stayed above it, so the new row
  // is the first one exactly when the old first now lies below it.
  if (first_row_[id] < 0 || first_row_[id] > row) first_row_[id] = row;
  ++holders_[id];
  return row;
}

void StartTimeIndex::EraseLocked(int row) {
  const int id = row_ids_[row];
  const bool was_first = first_row_[id] == row;
  row_ids_.erase(row_ids_.begin() + row);
  for (int& first : first_row_) {
    if (first > row) --first;
  }
  if (--holders_[id] == 0) {
    first_row_[id] = -1;
  } else if (was_first) {
    // A duplicate text: its next holder lies below the deleted row, which only a loaded
    // timetable can have; a scan of the rows below is rare and still cheap.
    const auto next = std::find(row_ids_.begin() + row, row_ids_.end(), id);
    first_row_[id] = static_cast<int>(next - row_ids_.begin());
  }
}

}  // namespace belvane
