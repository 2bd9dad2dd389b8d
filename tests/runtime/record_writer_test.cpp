// The record writer against real files: appended CRLF lines, rotation, a file that cannot be
// written, another process's line appended meanwhile, a record renamed or rotated under the
// writer, and lines kept while the record is locked.
#include "runtime/record_writer.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace belvane {
namespace {

class RecordWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::string("record_test_") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\日志.txt";
    old_ = folder_ + "\\日志.old.txt";
    DeleteFileA(path_.c_str());
    DeleteFileA(old_.c_str());
  }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    DeleteFileA(old_.c_str());
    DeleteFileA(Moved().c_str());
    RemoveDirectoryA(path_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string Moved() const { return folder_ + "\\moved.txt"; }
  static bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
    for (const ULONGLONG end = GetTickCount64() + timeout_ms; !done(); Sleep(10))
      if (GetTickCount64() > end) return false;
    return true;
  }

  std::string folder_, path_, old_;
};

TEST_F(RecordWriterTest, AppendsEachLineWithCrLfAfterWhatIsThere) {
  ASSERT_TRUE(AppendRecordLineNow(path_, old_, "earlier"));
  RecordWriter writer;
  ASSERT_TRUE(writer.Start(path_, old_));
  writer.Add("定时\t1");
  writer.AddLines([] { return std::vector<std::string>{"a", "b"}; });
  // A second copy's line goes in while the writer holds the file open.
  ASSERT_TRUE(AppendRecordLineNow(path_, old_, "other"));
  writer.Add("last");
  ASSERT_TRUE(writer.Stop());
  const std::string text = Read(path_);
  EXPECT_EQ(text.rfind("earlier\r\n", 0), 0u);
  // The other process's line may land anywhere between ours, but whole.
  for (const char* line : {"\n定时\t1\r\n", "\na\r\n", "\nb\r\n", "\nother\r\n", "\nlast\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << text;
  EXPECT_EQ(text.size(), std::string("earlier\r\n定时\t1\r\na\r\nb\r\nother\r\nlast\r\n").size());
  EXPECT_EQ(writer.LinesWritten(), 4u);
  writer.Add("after stop");  // dropped quietly: a stopped writer stays stopped
  EXPECT_FALSE(writer.Start(path_, old_));
}

TEST_F(RecordWriterTest, RotatesBeforeALineThatWouldPassTheLimitReplacingTheOldFile) {
  ASSERT_TRUE(AppendRecordLineNow(old_, old_, "older still"));
  RecordWriter writer;
  ASSERT_TRUE(writer.Start(path_, old_, {}, 20));
  for (const char* line : {"0123456", "abcdefg", "ABCDEFG", "xyz"}) writer.Add(line);
  ASSERT_TRUE(writer.Stop());
  // 9 + 9 bytes fit in 20; the third line would pass it.
  EXPECT_EQ(Read(old_), "0123456\r\nabcdefg\r\n");
  EXPECT_EQ(Read(path_), "ABCDEFG\r\nxyz\r\n");
  // Lines handed over together, written in one go, rotate before the same line.
  RecordWriter together;
  ASSERT_TRUE(together.Start(path_, old_, {}, 20));
  together.AddLines([] { return std::vector<std::string>{"12", "bcdefgh", "C"}; });
  ASSERT_TRUE(together.Stop());
  EXPECT_EQ(Read(old_), "ABCDEFG\r\nxyz\r\n12\r\n");
  EXPECT_EQ(Read(path_), "bcdefgh\r\nC\r\n");
  EXPECT_EQ(together.LinesWritten(), 3u);
  // And again: one writer rotates each time the limit comes, not once only.
  RecordWriter again;
  ASSERT_TRUE(again.Start(path_, old_, {}, 20));
  for (const char* line : {"1234567", "2345678", "3456789", "4567890"}) again.Add(line);
  ASSERT_TRUE(again.Stop());
  EXPECT_EQ(Read(old_), "1234567\r\n2345678\r\n");
  EXPECT_EQ(Read(path_), "3456789\r\n4567890\r\n");
  EXPECT_TRUE(RecordNeedsRotation(1024 * 1024 - 10, 11));
  EXPECT_FALSE(RecordNeedsRotation(1024 * 1024 - 10, 10));
  EXPECT_FALSE(RecordNeedsRotation(0, 2 * 1024 * 1024));  // an empty file takes any line
}

TEST_F(RecordWriterTest, AFileThatCannotBeWrittenDropsLinesAndNeverStalls) {
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));  // the record's name is a folder
  RecordWriter writer;
  ASSERT_TRUE(writer.Start(path_, old_));
  const ULONGLONG start = GetTickCount64();
  for (int i = 0; i < 100; ++i) writer.Add("line");
  EXPECT_LT(GetTickCount64() - start, 500u) << "handing over lines waited on the disk";
  ASSERT_TRUE(writer.Stop());
  EXPECT_EQ(writer.LinesWritten(), 0u);
  EXPECT_EQ(writer.LinesDropped(), 100u);
  EXPECT_FALSE(AppendRecordLineNow(path_, old_, "x"));
}

// Renamed (or deleted) while the writer holds it: later lines begin the record again under its
// name instead of following the file out of sight, also when another writer has begun a new
// record at the name first (the name then holds a file, just not the one held).
TEST_F(RecordWriterTest, ARecordRenamedWhileHeldBeginsAgainUnderItsName) {
  RecordWriter writer;
  ASSERT_TRUE(writer.Start(path_, old_));
  writer.Add("before");
  ASSERT_TRUE(WaitFor([&] { return writer.LinesWritten() == 1; }, 5000));
  ASSERT_TRUE(MoveFileA(path_.c_str(), Moved().c_str()));
  writer.Add("after");
  ASSERT_TRUE(WaitFor([&] { return writer.LinesWritten() == 2; }, 5000));
  EXPECT_EQ(Read(Moved()), "before\r\n");
  EXPECT_EQ(Read(path_), "after\r\n");

  ASSERT_TRUE(MoveFileExA(path_.c_str(), Moved().c_str(), MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(AppendRecordLineNow(path_, old_, "other"));
  writer.Add("last");
  ASSERT_TRUE(writer.Stop());
  EXPECT_EQ(Read(Moved()), "after\r\n");
  EXPECT_EQ(Read(path_), "other\r\nlast\r\n");
}

// Another copy rotated the file this writer holds: its fresh file is not renamed over the old
// one, the history is.
TEST_F(RecordWriterTest, AFileRotatedByAnotherCopyIsNotRotatedAgain) {
  RecordWriter writer;
  ASSERT_TRUE(writer.Start(path_, old_, {}, 20));
  writer.Add("0123456");
  writer.Add("abcdefg");
  ASSERT_TRUE(WaitFor([&] { return writer.LinesWritten() == 2; }, 5000));
  ASSERT_TRUE(MoveFileExA(path_.c_str(), old_.c_str(), MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(AppendRecordLineNow(path_, old_, "fresh", 20));
  writer.Add("ABCDEFG");
  ASSERT_TRUE(writer.Stop());
  EXPECT_EQ(Read(old_), "0123456\r\nabcdefg\r\n");
  EXPECT_EQ(Read(path_), "fresh\r\nABCDEFG\r\n");
}

// Held without sharing by another program: the lines wait, the oldest beyond the bound go, and
// the rest are written in order when it lets go, with no further line to carry them.
TEST_F(RecordWriterTest, LinesWaitWhileTheRecordIsLockedAndFollowInOrder) {
  HANDLE lock = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  RecordWriter writer;
  ASSERT_TRUE(writer.Start(path_, old_));
  for (std::size_t i = 0; i < kRecordUnsentLines + 2; ++i) writer.Add(std::to_string(i));
  ASSERT_TRUE(WaitFor([&] { return writer.LinesDropped() == 2; }, 5000));
  CloseHandle(lock);
  EXPECT_TRUE(WaitFor([&] { return writer.LinesWritten() > 0; }, 3 * kRecordRetryMs));
  ASSERT_TRUE(writer.Stop(60000));
  EXPECT_EQ(writer.LinesWritten(), kRecordUnsentLines);
  const std::string text = Read(path_);
  EXPECT_EQ(text.rfind("2\r\n3\r\n", 0), 0u) << text.substr(0, 20);
  EXPECT_TRUE(text.ends_with("\n1001\r\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1000);
}

TEST_F(RecordWriterTest, TickRunsOnTheWritersThreadAtStartAndWhenItsTimeComes) {
  RecordWriter writer;
  int calls = 0;
  ASSERT_TRUE(writer.Start(path_, old_, [&calls](int& next_ms) {
    next_ms = 30;
    return std::vector<std::string>{"tick " + std::to_string(++calls)};
  }));
  Sleep(300);
  ASSERT_TRUE(writer.Stop());
  EXPECT_GE(calls, 3);
  EXPECT_EQ(Read(path_).rfind("tick 1\r\ntick 2\r\n", 0), 0u);
}

}  // namespace
}  // namespace belvane
