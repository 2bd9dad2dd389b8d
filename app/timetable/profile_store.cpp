#include "app/timetable/profile_store.h"

#include "runtime/files.h"
#include "runtime/inifile/profile_document.h"

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

WholeFileProfileStore::WholeFileProfileStore(TextValue file) : file_(std::move(file)) {}

WholeFileProfileStore::~WholeFileProfileStore() = default;

std::vector<TextValue> WholeFileProfileStore::ReadValues(const std::vector<ProfileKey>& keys) {
  if (!read_copy_) read_copy_ = std::make_unique<ProfileDocument>(ProfileDocument::Load(file_));
  std::vector<TextValue> values;
  values.reserve(keys.size());
  for (const ProfileKey& k : keys) values.push_back(read_copy_->Read(k.section, k.key));
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
