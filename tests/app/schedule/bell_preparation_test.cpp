#include "app/schedule/bell_preparation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace belvane {
namespace {

// Files as stamps, and streams as numbers the fake hands out; it remembers every call and which
// streams are still alive, so a leak, a double start or a stale stream shows.
class FakePort final : public BellPort {
 public:
  void Put(const std::string& path, std::uint64_t size, std::uint64_t time) {
    files[path] = FileStamp{true, size, time};
  }
  void Remove(const std::string& path) { files.erase(path); }

  FileStamp Stamp(const TextValue& path) override {
    const auto found = files.find(path.Bytes());
    return found == files.end() ? FileStamp{} : found->second;
  }
  BellStream OpenPrimed(const TextValue& path) override {
    opened.push_back(path.Bytes());
    if (!files.count(path.Bytes()) || broken.count(path.Bytes())) return 0;
    const BellStream stream = next++;
    live[stream] = path.Bytes();
    return stream;
  }
  void Free(BellStream stream) override {
    EXPECT_EQ(live.erase(stream), 1u) << "freed a stream that was not prepared";
  }
  bool StartPrepared(BellStream stream, const TextValue& path) override {
    const auto found = live.find(stream);
    EXPECT_NE(found, live.end()) << "started a stream that was freed or started before";
    if (found == live.end()) return false;
    EXPECT_EQ(found->second, path.Bytes()) << "started the stream of another file";
    played.push_back(found->second);
    live.erase(found);  // the player owns it now
    return true;
  }
  bool OpenAndStart(const TextValue& path) override {
    played.push_back("open:" + path.Bytes());
    return files.count(path.Bytes()) && !broken.count(path.Bytes());
  }
  void StopPlaying() override { played.push_back("stop"); }

  std::map<std::string, FileStamp> files;
  std::set<std::string> broken;
  std::map<BellStream, std::string> live;
  std::vector<std::string> opened;
  std::vector<std::string> played;
  BellStream next = 1;
};

BellTarget Target(int second, const std::string& path) {
  return BellTarget{second, TextValue(ClockText(second)), TextValue(path)};
}

TEST(NextBellTest, FirstRowWithinTheLeadAcrossMidnight) {
  std::vector<TimetableEntry> rows(3);
  rows[0] = {"08:00:03", "late.wav", "", false};
  rows[1] = {"08:00:02", "first.mp3", "", false};
  rows[2] = {"08:00:02", "second.mp3", "", false};
  const TimetableSnapshot snapshot(std::move(rows));
  const int eight = 8 * 3600;
  // The nearest second wins, and of its rows the first one.
  EXPECT_EQ(NextBell(snapshot, eight, "D:\\mp3"), Target(eight + 2, "D:\\mp3\\first.mp3"));
  // The current second is the clock's business, not a bell to prepare.
  EXPECT_EQ(NextBell(snapshot, eight + 2, "D:\\mp3"), Target(eight + 3, "D:\\mp3\\late.wav"));
  EXPECT_TRUE(NextBell(snapshot, eight + 3, "D:\\mp3").IsNone());
  EXPECT_TRUE(NextBell(snapshot, eight - 2, "D:\\mp3", 1).IsNone());  // beyond the lead

  std::vector<TimetableEntry> night(1);
  night[0] = {"00:00:01", "n.wav", "", false};
  EXPECT_EQ(NextBell(TimetableSnapshot(std::move(night)), kSecondsPerDay - 1, "m"),
            Target(1, "m\\n.wav"));
}

TEST(BellPreparerTest, PreparedStreamStartsOnceAndIsNotFreedAfter) {
  FakePort port;
  port.Put("a.wav", 10, 1);
  {
    BellPreparer preparer(port);
    preparer.Prepare(Target(100, "a.wav"));
    preparer.Prepare(Target(100, "a.wav"));  // every cycle asks again: opened once
    EXPECT_EQ(port.opened.size(), 1u);
    const BellStartResult first = preparer.Start("a.wav");
    EXPECT_EQ(first.kind, BellStartKind::kPrepared);
    EXPECT_TRUE(first.sounding);
    // A second start of the same file (a double post) opens anew, never the started stream.
    const BellStartResult again = preparer.Start("a.wav");
    EXPECT_EQ(again.kind, BellStartKind::kOpened);
    EXPECT_FALSE(preparer.Held());
  }
  EXPECT_EQ(port.played, (std::vector<std::string>{"a.wav", "open:a.wav"}));
  EXPECT_TRUE(port.live.empty());
}

TEST(BellPreparerTest, ChangedRowOrFilePlaysWhatIsDueNow) {
  FakePort port;
  port.Put("a.wav", 10, 1);
  port.Put("b.wav", 10, 1);  // a copy: only the name tells them apart
  BellPreparer preparer(port);

  // The row was edited to another file after its file was prepared.
  preparer.Prepare(Target(100, "a.wav"));
  EXPECT_EQ(preparer.Start("b.wav").kind, BellStartKind::kOpened);
  EXPECT_EQ(port.played.back(), "open:b.wav");
  EXPECT_TRUE(port.live.empty());  // the unused stream went with it

  // The file was replaced under the same name: same size, newer time.
  preparer.Prepare(Target(200, "a.wav"));
  port.Put("a.wav", 10, 2);
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kOpened);
  EXPECT_TRUE(port.live.empty());

  // Replaced while still ahead: the next cycle prepares the new file instead of the old.
  preparer.Prepare(Target(300, "a.wav"));
  port.Put("a.wav", 11, 2);
  preparer.Prepare(Target(300, "a.wav"));
  EXPECT_EQ(port.live.size(), 1u);  // never two prepared at once
  EXPECT_EQ(preparer.Held()->stamp, (FileStamp{true, 11, 2}));
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kPrepared);

  // Removed after preparation: the start tries the file and reports it silent.
  preparer.Prepare(Target(400, "b.wav"));
  port.Remove("b.wav");
  const BellStartResult removed = preparer.Start("b.wav");
  EXPECT_EQ(removed.kind, BellStartKind::kOpened);
  EXPECT_FALSE(removed.sounding);
  EXPECT_TRUE(port.live.empty());
}

TEST(BellPreparerTest, StreamDoesNotOutliveItsRow) {
  FakePort port;
  port.Put("a.wav", 10, 1);
  port.Put("b.wav", 20, 1);
  BellPreparer preparer(port);
  preparer.Prepare(Target(100, "a.wav"));
  // The row was deleted (or the clock set back or forward): nothing is due within the lead.
  preparer.Prepare(BellTarget{});
  EXPECT_TRUE(port.live.empty());
  // Another row came nearer: its file replaces the prepared one.
  preparer.Prepare(Target(100, "a.wav"));
  preparer.Prepare(Target(101, "b.wav"));
  ASSERT_EQ(port.live.size(), 1u);
  EXPECT_EQ(port.live.begin()->second, "b.wav");
  preparer.Release();
  EXPECT_TRUE(port.live.empty());
}

TEST(BellPreparerTest, RestoredFileRingsAndBrokenFileIsNotRetried) {
  FakePort port;
  BellPreparer preparer(port);
  // Missing while ahead; put back a second before the bell.
  preparer.Prepare(Target(100, "a.wav"));
  EXPECT_TRUE(port.opened.empty());  // nothing to open
  port.Put("a.wav", 10, 1);
  const BellStartResult restored = preparer.Start("a.wav");
  EXPECT_EQ(restored.kind, BellStartKind::kOpened);
  EXPECT_TRUE(restored.sounding);

  // A file that fails to open (damaged, or a decoder that gives up) is opened once ahead, not
  // every cycle; its second still tries it (a bell is never dropped on an earlier failure), and
  // the next row of the same file is not opened ahead again.
  port.Put("bad.mp3", 5, 1);
  port.broken.insert("bad.mp3");
  for (int cycle = 0; cycle < 3; ++cycle) preparer.Prepare(Target(200, "bad.mp3"));
  const BellStartResult bad = preparer.Start("bad.mp3");
  EXPECT_EQ(bad.kind, BellStartKind::kOpened);
  EXPECT_FALSE(bad.sounding);
  preparer.Prepare(Target(202, "bad.mp3"));
  EXPECT_EQ(std::count(port.opened.begin(), port.opened.end(), "bad.mp3"), 1);
  // Fixed on disk: tried again.
  port.broken.clear();
  port.Put("bad.mp3", 6, 2);
  preparer.Prepare(Target(202, "bad.mp3"));
  EXPECT_EQ(preparer.Start("bad.mp3").kind, BellStartKind::kPrepared);
}

// The clock looks ahead in the cycle that hands the due row on: the stream made ready for the
// second just checked waits for its start instead of being dropped for the next bell.
TEST(BellPreparerTest, TheStreamDueNowWaitsForItsStart) {
  FakePort port;
  BellPreparer preparer(port);
  port.Put("a.wav", 10, 1);
  preparer.Prepare(Target(100, "a.wav"), 97);
  preparer.Prepare(BellTarget{}, 100);
  ASSERT_EQ(port.live.size(), 1u);
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kPrepared);
  // A start that never came: the next second frees it.
  preparer.Prepare(Target(105, "a.wav"), 102);
  preparer.Prepare(BellTarget{}, 105);
  preparer.Prepare(BellTarget{}, 106);
  EXPECT_TRUE(port.live.empty());
}

}  // namespace
}  // namespace belvane
