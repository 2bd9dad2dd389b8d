#include "app/profile_store.h"

#include "runtime/files.h"

namespace belvane {

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

std::unique_ptr<ProfileStore> OpenTimetableStore(const TextValue& file) {
  return std::make_unique<PerValueProfileStore>(file);
}

}  // namespace belvane
