#pragma once
// Shared pieces of the application's tests: a real list view in a hidden window, an in-memory
// INI store, a scratch folder, and a recorder of message boxes.

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/timetable/profile_store.h"
#include "app/timetable/timetable.h"
#include "app/timetable/timetable_view.h"
#include "runtime/message_box.h"
#include "ui/controls/list_view_control.h"

namespace belvane::testing {

// The timetable's list view with four columns, in a hidden top-level window the window layer
// routes (so the list's requests for its cells reach it), showing a timetable model.
class ListViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // The texts of one column, top to bottom.
  std::vector<std::string> Column(int column) const;

  HWND parent_ = nullptr;
  WindowObject parent_object_;
  ListViewControl view_;
  Timetable model_;
  TimetableView rows_{model_, view_};
};

// An INI store in memory: section and key compared without case, as the profile functions do.
// Writes can be made to fail from the n-th one on.
class MemoryProfileStore final : public ProfileStore {
 public:
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // The value, or "<missing>" when the key was never written.
  std::string Get(const std::string& section, const std::string& key) const;
  bool Has(const std::string& section, const std::string& key) const;

  std::vector<TextValue> ReadValues(const std::vector<ProfileKey>& keys) override;
  bool WriteValues(const std::vector<ProfileValue>& values) override;

  int fail_from_write = -1;   // index of the first write that fails; -1 = none fails
  int writes = 0;             // writes attempted
  std::size_t keys_read = 0;  // keys asked for, over all reads

 private:
  static std::string Fold(std::string text);
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

// The bytes of a file, "<missing>" when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Starts the window layer once for the whole test program.
void EnsureWindowLayer();

// A fresh folder under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's path (GBK, no trailing backslash).
  const std::string& Path() const { return path_; }
  // Writes a file (relative name) with the given bytes; returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  // Creates a subfolder; returns its path.
  std::string MakeFolder(const std::string& name) const;
  // The bytes of a file, "<missing>" when it cannot be read.
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

// Records every message box while it lives and answers each with `answer`.
class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int answer = IDOK)
      : scope_([this, answer](const MessageBoxRequest& request) {
          requests.push_back(request);
          return answer;
        }) {}
  std::vector<MessageBoxRequest> requests;

 private:
  ScopedMessageBoxObserver scope_;
};

}  // namespace belvane::testing
