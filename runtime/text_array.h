#pragma once
// TextArray: a one-dimensional array of texts numbered from 1. An index below 1 raises runtime
// error 4, an index above the member count raises runtime error 1 (both end the program).
// Not shared between threads while one of them changes it.

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "runtime/text_value.h"

namespace belvane {

class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<TextValue> members) : members_(members) {}

  // Number of members.
  int Count() const { return static_cast<int>(members_.size()); }
  bool IsEmpty() const { return members_.empty(); }
  // Member `index` (1-based); out of range raises runtime error 4 (< 1) or 1 (> Count()).
  const TextValue& At(int index) const;
  TextValue& At(int index);
  const TextValue& operator[](int index) const { return At(index); }
  TextValue& operator[](int index) { return At(index); }
  // Stores a copy of `text` as the new last member.
  void Append(const TextValue& text) { members_.push_back(text); }
  void Append(TextValue&& text) { members_.push_back(std::move(text)); }
  // Removes every member.
  void Clear() { members_.clear(); }

  // Iteration in member order (member 1 first).
  auto begin() const { return members_.begin(); }
  auto end() const { return members_.end(); }

  friend bool operator==(const TextArray&, const TextArray&) = default;

 private:
  std::vector<TextValue> members_;
};

}  // namespace belvane
