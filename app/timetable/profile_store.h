#pragma once
// The one seam between the timetable and its INI file: read a batch of values, write a batch
// of values. The per-value store asks the platform's profile functions once per value, which
// reads (and on writing rewrites) the whole file each time: the cost grows with the square of
// the rows. The whole-file store reads the file once and writes it once; the timetable uses it.
//
// Thread policy: a store is used on the user-interface thread only.

#include <memory>
#include <vector>

#include "runtime/text_value.h"

namespace belvane {

class ProfileDocument;

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

  // The values of keys "1" to "count" of `section` (ReadValues of those keys, in that order).
  // A store that can walk a section overrides it: one pass rather than a lookup per key.
  virtual std::vector<TextValue> ReadNumberedValues(const TextValue& section, int count);

  // Writes `values` in their order; true when every value was written. Never writes a value
  // after a failed one, so a row count is never written over rows that were not.
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

// The whole file at once (ProfileDocument): the first read reads the file and later reads ask the
// copy in memory; a batch of writes is applied to the file as it is now, in memory, and the
// result replaces the file in one step, so a failure or a crash leaves the old file whole. The
// values read are those the per-value calls would give; the lines no value changes stay as the
// user kept them.
class WholeFileProfileStore final : public ProfileStore {
 public:
  explicit WholeFileProfileStore(TextValue file);
  ~WholeFileProfileStore() override;

  std::vector<TextValue> ReadValues(const std::vector<ProfileKey>& keys) override;
  std::vector<TextValue> ReadNumberedValues(const TextValue& section, int count) override;
  // False when the file cannot be read or the new bytes cannot be stored; the file is then as it
  // was (except after a failed rewrite in place, the way taken only where no temporary file can
  // be made beside it: see ProfileDocument::SaveAtomically).
  bool WriteValues(const std::vector<ProfileValue>& values) override;

 private:
  const ProfileDocument& ReadCopy();

  TextValue file_;
  std::unique_ptr<ProfileDocument> read_copy_;  // the file as the first read found it
};

// The store the timetable file is loaded from and saved to: the one place that chooses how the
// file is reached.
std::unique_ptr<ProfileStore> OpenTimetableStore(const TextValue& file);

}  // namespace belvane
