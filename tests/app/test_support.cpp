#include "tests/app/test_support.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "app/timetable/timetable_rules.h"
#include "tests/support/file_tree.h"
#include "ui/window_layer.h"

namespace belvane::testing {

void EnsureWindowLayer() {
  static const bool started = StartWindowLayer();
  (void)started;
}

void ListViewTest::SetUpTestSuite() {
  EnsureWindowLayer();
}

void ListViewTest::SetUp() {
  parent_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(parent_, nullptr);
  ASSERT_TRUE(parent_object_.AttachToWindow(parent_));
  ASSERT_TRUE(view_.CreateListView(parent_, kTimetableListStyle, 0, 0, 600, 400));
  for (int i = 0; i < 4; ++i) view_.InsertColumn(i, "c", 80);
}

void ListViewTest::TearDown() {
  if (parent_) DestroyWindow(parent_);
}

std::vector<std::string> ListViewTest::Column(int column) const {
  std::vector<std::string> texts;
  for (int row = 0; row < view_.RowCount(); ++row)
    texts.push_back(view_.GetWholeCellText(row, column).Bytes());
  return texts;
}

std::string MemoryProfileStore::Fold(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(c < 0x80 ? std::tolower(c) : c); });
  return text;
}

void MemoryProfileStore::Set(const std::string& section, const std::string& key,
                             const std::string& value) {
  values_[{Fold(section), Fold(key)}] = value;
}

std::string MemoryProfileStore::Get(const std::string& section, const std::string& key) const {
  const auto it = values_.find({Fold(section), Fold(key)});
  return it == values_.end() ? "<missing>" : it->second;
}

bool MemoryProfileStore::Has(const std::string& section, const std::string& key) const {
  return values_.count({Fold(section), Fold(key)}) != 0;
}

std::vector<TextValue> MemoryProfileStore::ReadValues(const std::vector<ProfileKey>& keys) {
  keys_read += keys.size();
  std::vector<TextValue> out;
  for (const ProfileKey& k : keys) {
    const auto it = values_.find({Fold(k.section.Bytes()), Fold(k.key.Bytes())});
    out.push_back(it == values_.end() ? TextValue() : TextValue(it->second));
  }
  return out;
}

bool MemoryProfileStore::WriteValues(const std::vector<ProfileValue>& values) {
  for (const ProfileValue& v : values) {
    if (fail_from_write >= 0 && writes >= fail_from_write) return false;
    ++writes;
    Set(v.section.Bytes(), v.key.Bytes(), v.value.Bytes());
  }
  return true;
}

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  static int counter = 0;
  for (;;) {
    path_ = std::string(temp) + "belvane_app_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
}

ScratchFolder::~ScratchFolder() {
  RemoveTree(path_);
}

std::string ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = path_ + "\\" + name;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  return path;
}

std::string ScratchFolder::MakeFolder(const std::string& name) const {
  const std::string path = path_ + "\\" + name;
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

std::string ScratchFolder::Read(const std::string& name) const {
  return ReadFileBytes(path_ + "\\" + name);
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

}  // namespace belvane::testing
