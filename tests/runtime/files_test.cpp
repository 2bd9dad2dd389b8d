#include "runtime/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/file_name.h"
#include "runtime/path_text.h"
#include "tests/support/file_tree.h"

namespace belvane {
namespace {

// A fresh folder under the working directory for one test.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::string("files_test_") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    testing::RemoveTree(folder_);
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override { testing::RemoveTree(folder_); }

  TextValue Path(const std::string& name) const { return TextValue(folder_ + "\\" + name); }

  static std::string Contents(const TextValue& path) {
    std::ifstream file(path.CStr(), std::ios::binary);
    std::stringstream all;
    all << file.rdbuf();
    return all.str();
  }

  std::string folder_;
};

TEST(ProgramDirectory, IsTheExeFolderWithoutTrailingBackslash) {
  const TextValue dir = ProgramDirectory();
  const std::string exe = ModuleFileName();
  EXPECT_EQ(dir.Bytes() + "\\runtime_tests.exe", exe);
  EXPECT_NE(dir.View().back(), '\\');
}

// The file system's comparison of names: letters without case, trail bytes as they are.
TEST(SameFileName, FoldsLettersButNeverATrailByte) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"Exam.ini", "exam.INI", true},
      {"考试", "考试", true},
      {"\x81\x41", "\x81\x61", false},  // 丄 and 乤: the trail byte looks like A / a
      {"\xA3\xC1", "\xA3\xE1", true},   // full-width A and a
      {"\xA3\xC1", "\xA3\xC2", false},
      {"考试", "考试 ", false},
      {"a\x81", "A\x81", true},  // a lead byte with nothing after it
      {"", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameFileName(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(SameFileName(c.b, c.a), c.same) << c.b << " / " << c.a;
  }
}

TEST(LastBackslash, SkipsTrailBytesOfDoubleByteCharacters) {
  EXPECT_EQ(LastBackslash("C:\\Tools\\x.exe"), 8u);
  EXPECT_EQ(LastBackslash("C:\\\x81\x5c"
                          "x.exe"),
            2u);  // 0x5C here is half a character
  EXPECT_EQ(LastBackslash("x.exe"), std::string::npos);
}

TEST_F(FilesTest, ProfileValuesOfAnyLength) {
  const TextValue ini = Path("配置.ini");
  EXPECT_TRUE(ReadProfileText(ini, "a", "b").IsEmpty());  // missing file
  EXPECT_EQ(ReadProfileText(ini, "a", "b", "默认"), "默认");
  ASSERT_TRUE(WriteProfileText(ini, "节", "键", TextValue("值")));
  EXPECT_EQ(ReadProfileText(ini, "节", "键"), "值");
  EXPECT_TRUE(ReadProfileText(ini, "节", "无").IsEmpty());
  for (std::size_t length : {1022u, 1023u, 1024u, 2000u, 5000u}) {
    std::string value;
    for (std::size_t i = 0; i < length; ++i) value += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(WriteProfileText(ini, "long", "v", TextValue(value)));
    EXPECT_EQ(ReadProfileText(ini, "long", "v"), value) << length;
  }
  ASSERT_TRUE(WriteProfileText(ini, "节", "键", TextValue("")));
  EXPECT_TRUE(ReadProfileText(ini, "节", "键", "默认").IsEmpty());  // stored empty, not missing
  ASSERT_TRUE(WriteProfileText(ini, "节", "键", std::nullopt));     // deletes the key
  EXPECT_EQ(ReadProfileText(ini, "节", "键", "默认"), "默认");
  ASSERT_TRUE(WriteProfileText(ini, "long", std::nullopt, std::nullopt));  // deletes the section
  EXPECT_TRUE(ReadProfileText(ini, "long", "v").IsEmpty());
}

TEST_F(FilesTest, WholeFileWritesTruncateAndAppendBlocksInOrder) {
  const TextValue file = Path("输出.txt");
  ASSERT_TRUE(WriteWholeFile(file, ByteBlock(std::string_view("a much longer first content"))));
  const ByteBlock head(std::string_view("head"));
  const ByteBlock tail(std::string_view(std::string_view("\0tail", 5)));
  ASSERT_TRUE(WriteWholeFile(file, {&head, &tail}));
  EXPECT_EQ(Contents(file), std::string("head\0tail", 9));
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(FileExists(TextValue(folder_)));  // a directory counts
  EXPECT_FALSE(FileExists(Path("none")));
  EXPECT_FALSE(WriteWholeFile(Path("missing\\x.txt"), head));
}

TEST_F(FilesTest, WholeFileFailsWhileTheFileIsLocked) {
  const TextValue file = Path("locked.bin");
  HANDLE lock = CreateFileA(file.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteWholeFile(file, ByteBlock(std::string_view("x"))));
  CloseHandle(lock);
}

std::vector<std::string> AllFound(const TextValue& pattern, std::optional<DWORD> mask) {
  std::vector<std::string> names;
  SearchHandle search;
  for (TextValue name = FindFile(pattern, search, mask); !name.IsEmpty();
       name = FindFile("", search, mask)) {
    names.push_back(name.Bytes());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(FilesTest, FindFileFiltersByAttributes) {
  const ByteBlock one(std::string_view("1"));
  ASSERT_TRUE(WriteWholeFile(Path("歌.mp3"), one));
  ASSERT_TRUE(WriteWholeFile(Path("b.mp3"), one));
  ASSERT_TRUE(WriteWholeFile(Path("c.wav"), one));
  CreateDirectoryA(Path("sub.mp3").CStr(), nullptr);
  EXPECT_EQ(AllFound(Path("*.mp3"), std::nullopt), (std::vector<std::string>{"b.mp3", "歌.mp3"}));
  EXPECT_EQ(AllFound(Path("*.*"), FILE_ATTRIBUTE_DIRECTORY),
            (std::vector<std::string>{".", "..", "sub.mp3"}));
  EXPECT_TRUE(AllFound(Path("sub*"), std::nullopt).empty());  // matches only a folder
  EXPECT_TRUE(AllFound(Path("*.aac"), std::nullopt).empty());
}

TEST_F(FilesTest, SearchHandleStates) {
  SearchHandle search;
  EXPECT_EQ(search.Value(), nullptr);
  EXPECT_TRUE(FindFile("", search).IsEmpty());  // no search yet
  EXPECT_TRUE(FindFile(Path("*.none"), search).IsEmpty());
  EXPECT_EQ(search.Value(), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FindFile("", search).IsEmpty());
  ASSERT_TRUE(WriteWholeFile(Path("a.txt"), ByteBlock(std::string_view("1"))));
  EXPECT_EQ(FindFile(Path("*.txt"), search), "a.txt");
  EXPECT_TRUE(search.IsOpen());
  EXPECT_TRUE(FindFile("", search).IsEmpty());
  EXPECT_TRUE(search.IsOpen());  // the end does not close the search
  SearchHandle moved = std::move(search);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_EQ(search.Value(), nullptr);  // NOLINT: moved-from holds no search
  EndFindFile(moved);
  EXPECT_EQ(moved.Value(), nullptr);
  EndFindFile(moved);  // twice is harmless
}

}  // namespace
}  // namespace belvane
