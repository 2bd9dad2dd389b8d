// The music folder scan on real folders.

#include "app/music_folder.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/test_support.h"
#include "ui/controls/list_box_control.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

Strings Names(const TextArray& array) {
  Strings names;
  for (const TextValue& t : array) names.push_back(t.Bytes());
  return names;
}

// Sorted within each pattern's group, since the file system's order is its own.
Strings Sorted(Strings names) {
  std::sort(names.begin(), names.end());
  return names;
}

class MusicFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("b.mp3", "");
    folder_.Write("a.wav", "");
    folder_.Write("c.mp3", "");
    folder_.Write("x.MP3", "");
    folder_.Write("notes.txt", "");
    folder_.MakeFolder("sub");
    folder_.Write("sub\\d.mp3", "");
    folder_.MakeFolder("folder.mp3");  // a folder that matches a pattern is no file
  }
  ScratchFolder folder_;
};

TEST_F(MusicFolderTest, GroupsByPatternSkipsFoldersAndMatchesAnyCase) {
  TextArray out{"stale"};
  EXPECT_EQ(ScanMusicFolder(folder_.Path(), kMusicPatterns, out, false, false), 4);
  const Strings names = Names(out);
  EXPECT_EQ(Sorted(Strings(names.begin(), names.begin() + 3)),
            (Strings{"b.mp3", "c.mp3", "x.MP3"}));
  EXPECT_EQ(names[3], "a.wav");
}

TEST_F(MusicFolderTest, WithPathAndRecursion) {
  const std::string dir = folder_.Path() + "\\";
  TextArray out{"kept"};
  // Recursion adds to what is there; the subfolder's files follow the folder's own.
  EXPECT_EQ(ScanMusicFolder(dir, "*.wav|*.mp3", out, true, true), 6);
  const Strings names = Names(out);
  EXPECT_EQ(names[0], "kept");
  EXPECT_EQ(names[1], dir + "a.wav");
  EXPECT_EQ(Sorted(Strings(names.begin() + 2, names.begin() + 5)),
            (Strings{dir + "b.mp3", dir + "c.mp3", dir + "x.MP3"}));
  EXPECT_EQ(names[5], dir + "sub\\d.mp3");
}

TEST_F(MusicFolderTest, FillsTheListInScanOrderAndChoosesTheFirst) {
  EnsureWindowLayer();
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  ListBoxControl list;
  ASSERT_TRUE(list.CreateListBox(parent, 0, 0, 200, 200, 1009));
  TextArray names;
  EXPECT_EQ(FillMusicList(list, folder_.Path(), names), 4);
  ASSERT_EQ(list.ItemCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.ItemText(i), names[i + 1]);
    EXPECT_EQ(list.ItemValue(i), i + 1);
  }
  EXPECT_EQ(list.ItemText(3), TextValue("a.wav"));
  EXPECT_EQ(list.CurrentSelection(), 0);

  ListBoxControl empty;
  ASSERT_TRUE(empty.CreateListBox(parent, 0, 0, 200, 200, 1010));
  EXPECT_EQ(FillMusicList(empty, folder_.Path() + "\\none", names), 0);
  EXPECT_EQ(empty.CurrentSelection(), -1);
  DestroyWindow(parent);
}

TEST(MusicFolder, AMissingFolderGivesNothing) {
  TextArray out{"stale"};
  EXPECT_EQ(ScanMusicFolder("C:\\no\\such\\folder", kMusicPatterns, out, false, false), 0);
  EXPECT_TRUE(out.IsEmpty());
}

}  // namespace
}  // namespace belvane::testing
