#pragma once
// The one seam between the timetable and its INI file: read a batch of values, write a batch
// of values. The per-value store below asks the platform's profile functions once per value;
// a whole-file store can take its place without touching the loading and saving logic.
//
// Thread policy: a store is used on the user-interface thread only.

#include <memory>
#include <vector>

#include "runtime/text_value.h"

namespace belvane {

// A section and key of the INI file.
struct ProfileKey {
  TextValue section;
  TextValue key;
};

// A section, key and the value to write there.
struct ProfileValue {
  TextValue section;
  TextValue key;
  TextValue value;
};

// Reads and writes the values of one INI file.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // The values of `keys`, in their order; a missing file, section or key gives the empty text.
  virtual std::vector<TextValue> ReadValues(const std::vector<ProfileKey>& keys) = 0;

  // Writes `values` in their order; true when every value was written. Stops at the first
  // failed write, so a row count is never written over rows that were not.
  virtual bool WriteValues(const std::vector<ProfileValue>& values) = 0;
};

// One platform profile call per value (the runtime's ReadProfileText and WriteProfileText).
class PerValueProfileStore final : public ProfileStore {
 public:
  explicit PerValueProfileStore(TextValue file) : file_(std::move(file)) {}

  std::vector<TextValue> ReadValues(const std::vector<ProfileKey>& keys) override;
  bool WriteValues(const std::vector<ProfileValue>& values) override;

 private:
  TextValue file_;
};

// The store the timetable file is loaded from and saved to: the one place that chooses how the
// file is reached.
std::unique_ptr<ProfileStore> OpenTimetableStore(const TextValue& file);

}  // namespace belvane
