// The music folder scan on real folders.

#include "app/music/music_folder.h"

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

// What the list and the marks become after a look, one case a line.
struct AfterLookCase {
  const char* what;
  TextArray shown;
  int selected;
  TextArray found;
  MusicListChange list;
  std::vector<bool> missing_before;  // rows "a.mp3", "b.mp3", "c.mp3"
  MusicFileExistence exists;
  std::vector<bool> missing_after;
};

TEST(MusicFolder, AfterALookTheListAndTheMarksFollowTheFolder) {
  const std::vector<AfterLookCase> cases = {
      {"nothing changed",
       {"a.mp3", "b.mp3"},
       1,
       {"a.mp3", "b.mp3"},
       {false, 1},
       {false, false, true},
       {{"a.mp3", true}, {"b.mp3", true}, {"c.mp3", false}},
       {false, false, true}},
      {"a file copied in",
       {"a.mp3", "b.mp3"},
       1,
       {"a.mp3", "b.mp3", "c.mp3"},
       {true, 1},
       {false, false, true},
       {{"a.mp3", true}, {"b.mp3", true}, {"c.mp3", true}},
       {false, false, false}},
      {"the chosen file deleted",
       {"a.mp3", "b.mp3"},
       1,
       {"a.mp3"},
       {true, 0},
       {false, false, true},
       {{"a.mp3", true}, {"b.mp3", false}, {"c.mp3", false}},
       {false, true, true}},
      {"the chosen file moved in the order",
       {"a.mp3", "b.wav"},
       1,
       {"a.mp3", "c.mp3", "b.wav"},
       {true, 2},
       {false, false, false},
       {},
       {false, false, false}},
      {"the folder gone",
       {"a.mp3"},
       0,
       {},
       {true, -1},
       {false, false, false},
       {{"a.mp3", false}, {"b.mp3", false}, {"c.mp3", false}},
       {true, true, true}},
      {"the folder back",
       {},
       -1,
       {"b.mp3"},
       {true, 0},
       {true, true, true},
       {{"a.mp3", false}, {"b.mp3", true}, {"c.mp3", false}},
       {true, false, true}},
      {"a row added after the look keeps its mark",
       {"a.mp3"},
       0,
       {"a.mp3"},
       {false, 0},
       {false, false, true},
       {{"a.mp3", false}},
       {true, false, true}},
  };
  for (const AfterLookCase& c : cases) {
    SCOPED_TRACE(c.what);
    const MusicListChange list = DecideMusicList(c.shown, c.selected, c.found);
    EXPECT_EQ(list.refill, c.list.refill);
    EXPECT_EQ(list.select, c.list.select);
    std::vector<TimetableEntry> rows;
    for (int i = 0; i < 3; ++i)
      rows.push_back({"08:00:00", TextValue(std::string(1, 'a' + i) + ".mp3"), "28800",
                      static_cast<bool>(c.missing_before[i])});
    EXPECT_EQ(MusicMissingAfterLook(rows, c.exists), c.missing_after);
  }
}

}  // namespace
}  // namespace belvane::testing
