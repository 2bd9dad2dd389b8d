#include "app/timetable/profile_store.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "runtime/files.h"
#include "runtime/inifile/profile_document.h"

namespace belvane {

namespace {

// The row number a key name stands for: the decimal text of a number from 1 to `count` exactly
// as std::to_string writes it (no sign, blank or leading zero), else 0. Only such a name is
// the one a read of that number's key finds: digits have no case to fold.
int NumberOfKey(std::string_view name, int count) {
  if (name.empty() || name.size() > 10 || name[0] == '0') return 0;
  long long number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number <= count ? static_cast<int>(number) : 0;
}

}  // namespace

std::vector<TextValue> ProfileStore::ReadNumberedValues(const TextValue& section, int count) {
  std::vector<ProfileKey> keys;
  keys.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 1; i <= count; ++i) keys.push_back({section, TextValue(std::to_string(i))});
  return ReadValues(keys);
}

std::vector<TextValue> PerValueProfileStore::ReadValues(const std::vector<ProfileKey>& keys) {
  std::vector<TextValue> values;
  values.reserve(keys.size());
  for (const ProfileKey& k : keys) values.push_back(ReadProfileText(file_, k.section, k.key));
  return values;
}

bool PerValueProfileStore::WriteValues(const std::vector<ProfileValue>& values) {
  for (const ProfileValue& v : values) {
    if (!WriteProfileText(file_, v.section, v.key, v.value)) return false;
  }
  return true;
}

WholeFileProfileStore::WholeFileProfileStore(TextValue file) : file_(std::move(file)) {}

WholeFileProfileStore::~WholeFileProfileStore() = default;

const ProfileDocument& WholeFileProfileStore::ReadCopy() {
  if (!read_copy_) read_copy_ = std::make_unique<ProfileDocument>(ProfileDocument::Load(file_));
  return *read_copy_;
}

std::vector<TextValue> WholeFileProfileStore::ReadValues(const std::vector<ProfileKey>& keys) {
  const ProfileDocument& document = ReadCopy();
  std::vector<TextValue> values;
  values.reserve(keys.size());
  for (const ProfileKey& k : keys) values.push_back(document.Read(k.section, k.key));
  return values;
}

std::vector<TextValue> WholeFileProfileStore::ReadNumberedValues(const TextValue& section,
                                                                 int count) {
  const std::size_t rows = static_cast<std::size_t>(std::max(count, 0));
  std::vector<TextValue> values(rows);
  // A read takes the first line of a name, with or without a value.
  std::vector<bool> taken(rows);
  ReadCopy().ForEachKey(section, [&values, &taken, count](std::string_view name, TextValue* value) {
    const int number = NumberOfKey(name, count);
    if (number == 0 || taken[number - 1]) return;
    taken[number - 1] = true;
    if (value) values[number - 1] = std::move(*value);
  });
  return values;
}

bool WholeFileProfileStore::WriteValues(const std::vector<ProfileValue>& values) {
  // The file as it is now, not as an earlier read found it: the per-value writes would start
  // from what is on disk too.
  ProfileDocument document = ProfileDocument::Load(file_);
  for (const ProfileValue& v : values) {
    if (!document.Write(v.section, v.key, v.value)) return false;
  }
  if (!document.SaveAtomically(file_)) return false;
  // Later reads through this store see what was written.
  read_copy_.reset();
  return true;
}

std::unique_ptr<ProfileStore> OpenTimetableStore(const TextValue& file) {
  return std::make_unique<WholeFileProfileStore>(file);
}

}  // namespace belvane
