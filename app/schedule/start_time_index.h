#pragma once
// The start-time index: the start-time text of each timetable row (list-view column 1) and, for
// every text, the first row (lowest index) that holds it. The clock asks it once for each second
// it checks, so a cycle's cost does not depend on the size of the timetable; the user-interface
// thread keeps it in step with the list view on load, insert, delete and clear.
//
// Texts are matched byte for byte: "8:30:00" is its own key and never equals the clock's
// "08:30:00".
//
// Thread policy: every method is safe from any thread; one mutex guards the whole index.
// Lookups are O(1) (one hash of the text); Insert and Erase move one int per row and per distinct
// text, a few tens of microseconds at 86,400 rows.

#include <cstddef>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/schedule/clock_planner.h"
#include "runtime/text_value.h"

namespace belvane {

class StartTimeIndex final : public StartTimeLookup {
 public:
  StartTimeIndex() = default;
  StartTimeIndex(const StartTimeIndex&) = delete;
  StartTimeIndex& operator=(const StartTimeIndex&) = delete;

  // Replaces the whole index with `texts`, the start-time text of row 0, 1, ... in order.
  void Load(std::span<const TextValue> texts);
  // A row with `text` was inserted at `row`; rows from `row` on move down one. A `row` outside
  // 0..RowCount() appends, as the list view does. Returns the row used.
  int Insert(int row, std::string_view text);
  // Row `row` was deleted; rows after it move up one. False (nothing changes) when out of range.
  bool Erase(int row);
  // Every row was deleted.
  void Clear();

  // Lowest row index whose start-time text equals `text` byte for byte; -1 = none.
  int FirstRowAt(std::string_view text) const override;
  // Number of rows the index holds (the list view's row count when kept in step).
  int RowCount() const;
  // Start-time text of `row`; empty when out of range.
  std::string TextAt(int row) const;

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };

  int InternLocked(std::string_view text);
  int InsertLocked(int row, std::string_view text);
  void EraseLocked(int row);

  mutable std::mutex mutex_;
  // Each distinct text gets a small id, kept until Load or Clear, so rows store ints and a row
  // shift touches flat arrays only.
  std::unordered_map<std::string, int, TextHash, std::equal_to<>> ids_;
  std::vector<std::string> texts_;  // id -> text
  std::vector<int> first_row_;      // id -> lowest row holding it; -1 = none
  std::vector<int> holders_;        // id -> number of rows holding it
  std::vector<int> row_ids_;        // row -> id
};

}  // namespace belvane
