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
// streams are still alive, so a leak, a double start or a stale stream shows. Opens wait until
// the test finishes them, as a slow or stuck file would.
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
  bool BeginOpen(OpenTicket ticket, const TextValue& path) override {
    opened.push_back(path.Bytes());
    pending[ticket] = path.Bytes();
    return true;
  }
  void Free(BellStream stream) override {
    EXPECT_EQ(live.erase(stream) + dead.erase(stream), 1u)
        << "freed a stream that was not prepared";
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
  void StopPlaying() override { played.push_back("stop"); }
  void ClearPlaying() override { played.push_back("clear"); }
  std::uint64_t DeviceGeneration() override { return generation; }
  void NewDevice() {  // every stream opened so far dies (and is still to be freed)
    ++generation;
    for (const auto& [stream, path] : live) dead.insert(stream);
    live.clear();
  }

  // Ends the open of `path` (the oldest under way) as the file is now.
  OpenedResult Finish(BellPreparer& preparer, std::string path) {  // a copy: erased below
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      if (it->second != path) continue;
      const OpenTicket ticket = it->first;
      pending.erase(it);
      BellStream stream = 0;
      if (files.count(path) && !broken.count(path)) {
        stream = next++;
        live[stream] = path;
      }
      return preparer.Opened(ticket, stream);
    }
    ADD_FAILURE() << "no open of " << path << " under way";
    return {};
  }
  // Ends every open under way (quick files).
  void FinishAll(BellPreparer& preparer) {
    while (!pending.empty()) Finish(preparer, pending.begin()->second);
  }
  // Prepares and lets the target's open end at once.
  void Ready(BellPreparer& preparer, const BellTarget& target, int now = -1) {
    preparer.Prepare(target, now);
    for (auto it = pending.begin(); it != pending.end();) {
      const auto next_it = std::next(it);
      if (it->second == target.path.Bytes()) Finish(preparer, it->second);
      it = next_it;
    }
  }
  // A start that opens at the second, the open ending at once: whether it sounded.
  bool StartOpening(BellPreparer& preparer, const std::string& path) {
    const BellStartResult start = preparer.Start(path);
    EXPECT_EQ(start.kind, BellStartKind::kOpening);
    const OpenedResult opened = Finish(preparer, path);
    EXPECT_TRUE(opened.was_start);
    return opened.sounding;
  }

  std::map<std::string, FileStamp> files;
  std::set<std::string> broken;
  std::map<BellStream, std::string> live;
  std::set<BellStream> dead;
  std::uint64_t generation = 0;
  std::map<OpenTicket, std::string> pending;
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
  // The default lead is three seconds, not fewer nor more.
  EXPECT_EQ(NextBell(snapshot, eight - 1, "D:\\mp3"), Target(eight + 2, "D:\\mp3\\first.mp3"));
  EXPECT_TRUE(NextBell(snapshot, eight - 2, "D:\\mp3").IsNone());

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
    preparer.Prepare(Target(100, "a.wav"));  // every cycle asks again, also while it opens
    port.FinishAll(preparer);
    preparer.Prepare(Target(100, "a.wav"));
    EXPECT_EQ(port.opened.size(), 1u);
    const BellStartResult first = preparer.Start("a.wav");
    EXPECT_EQ(first.kind, BellStartKind::kPrepared);
    EXPECT_TRUE(first.sounding);
    // A second start of the same file (a double post) opens anew, never the started stream.
    EXPECT_TRUE(port.StartOpening(preparer, "a.wav"));
    EXPECT_FALSE(preparer.Held());
  }
  EXPECT_EQ(port.played, (std::vector<std::string>{"a.wav", "stop", "clear", "a.wav"}));
  EXPECT_TRUE(port.live.empty());
}

TEST(BellPreparerTest, ChangedRowOrFilePlaysWhatIsDueNow) {
  FakePort port;
  port.Put("a.wav", 10, 1);
  port.Put("b.wav", 10, 1);  // a copy: only the name tells them apart
  BellPreparer preparer(port);

  // The row was edited to another file after its file was prepared.
  port.Ready(preparer, Target(100, "a.wav"));
  EXPECT_TRUE(port.StartOpening(preparer, "b.wav"));
  EXPECT_EQ(port.played.back(), "b.wav");
  EXPECT_TRUE(port.live.empty());  // the unused stream went with it

  // The file was replaced under the same name: same size, newer time.
  port.Ready(preparer, Target(200, "a.wav"));
  port.Put("a.wav", 10, 2);
  EXPECT_TRUE(port.StartOpening(preparer, "a.wav"));
  EXPECT_TRUE(port.live.empty());

  // Replaced while still ahead: the next cycle prepares the new file instead of the old.
  port.Ready(preparer, Target(300, "a.wav"));
  port.Put("a.wav", 11, 2);
  port.Ready(preparer, Target(300, "a.wav"));
  EXPECT_EQ(port.live.size(), 1u);  // never two prepared at once
  EXPECT_EQ(preparer.Held()->stamp, (FileStamp{true, 11, 2}));
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kPrepared);

  // Replaced while its old version was still opening: the old stream is not the one to hold.
  preparer.Prepare(Target(350, "a.wav"));
  port.Put("a.wav", 12, 3);
  preparer.Prepare(Target(350, "a.wav"));
  port.FinishAll(preparer);
  ASSERT_EQ(port.live.size(), 1u);
  EXPECT_EQ(preparer.Held()->stamp, (FileStamp{true, 12, 3}));
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kPrepared);

  // Removed after preparation: the start tries the file and reports it silent.
  port.Ready(preparer, Target(400, "b.wav"));
  port.Remove("b.wav");
  EXPECT_FALSE(port.StartOpening(preparer, "b.wav"));
  EXPECT_TRUE(port.live.empty());
}

TEST(BellPreparerTest, StreamDoesNotOutliveItsRow) {
  FakePort port;
  port.Put("a.wav", 10, 1);
  port.Put("b.wav", 20, 1);
  BellPreparer preparer(port);
  port.Ready(preparer, Target(100, "a.wav"));
  // The row was deleted (or the clock set back or forward): nothing is due within the lead.
  preparer.Prepare(BellTarget{});
  EXPECT_TRUE(port.live.empty());
  // Another row came nearer: its file replaces the prepared one.
  port.Ready(preparer, Target(100, "a.wav"));
  port.Ready(preparer, Target(101, "b.wav"));
  ASSERT_EQ(port.live.size(), 1u);
  EXPECT_EQ(port.live.begin()->second, "b.wav");
  preparer.Release();
  EXPECT_TRUE(port.live.empty());
  // Deleted while its file was still opening: the stream is freed when it comes.
  preparer.Prepare(Target(200, "a.wav"));
  preparer.Prepare(BellTarget{});
  port.FinishAll(preparer);
  EXPECT_TRUE(port.live.empty());
  EXPECT_FALSE(preparer.Held());
}

TEST(BellPreparerTest, RestoredFileRingsAndBrokenFileIsNotRetried) {
  FakePort port;
  BellPreparer preparer(port);
  // Missing while ahead; put back a second before the bell.
  port.Ready(preparer, Target(100, "a.wav"));
  EXPECT_TRUE(port.opened.empty());  // nothing to open
  port.Put("a.wav", 10, 1);
  EXPECT_TRUE(port.StartOpening(preparer, "a.wav"));
  EXPECT_EQ(port.played.back(), "a.wav");

  // A file that fails to open (damaged, or a decoder that gives up) is opened once ahead, not
  // every cycle; its second still tries it (a bell is never dropped on an earlier failure), and
  // the next row of the same file is not opened ahead again.
  port.Put("bad.mp3", 5, 1);
  port.broken.insert("bad.mp3");
  for (int cycle = 0; cycle < 3; ++cycle) port.Ready(preparer, Target(200, "bad.mp3"));
  EXPECT_FALSE(port.StartOpening(preparer, "bad.mp3"));
  port.Ready(preparer, Target(202, "bad.mp3"));
  EXPECT_EQ(std::count(port.opened.begin(), port.opened.end(), "bad.mp3"), 2);
  // Fixed on disk: tried again.
  port.broken.clear();
  port.Put("bad.mp3", 6, 2);
  port.Ready(preparer, Target(202, "bad.mp3"));
  EXPECT_EQ(preparer.Start("bad.mp3").kind, BellStartKind::kPrepared);
}

// The clock looks ahead in the cycle that hands the due row on: the stream made ready for the
// second just checked waits for its start instead of being dropped for the next bell.
TEST(BellPreparerTest, TheStreamDueNowWaitsForItsStart) {
  FakePort port;
  BellPreparer preparer(port);
  port.Put("a.wav", 10, 1);
  port.Ready(preparer, Target(100, "a.wav"), 97);
  preparer.Prepare(BellTarget{}, 100);
  ASSERT_EQ(port.live.size(), 1u);
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kPrepared);
  // Still opening at its second: the open goes on and is the start's.
  preparer.Prepare(Target(110, "a.wav"), 107);
  preparer.Prepare(BellTarget{}, 110);
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kOpening);
  EXPECT_TRUE(port.Finish(preparer, "a.wav").sounding);
  EXPECT_EQ(std::count(port.opened.begin(), port.opened.end(), "a.wav"), 2);
  // A start that never came: the next second frees it.
  port.Ready(preparer, Target(105, "a.wav"), 102);
  preparer.Prepare(BellTarget{}, 105);
  preparer.Prepare(BellTarget{}, 106);
  EXPECT_TRUE(port.live.empty());
}

// The output initialised afresh kills what was readied and what is opening: the bell opens its
// file again rather than start a dead stream, and the next one is readied again.
TEST(BellPreparerTest, StreamsOfAnEarlierOutputAreNotPrepared) {
  FakePort port;
  port.Put("a.wav", 10, 1);
  BellPreparer preparer(port);
  port.Ready(preparer, Target(100, "a.wav"), 97);
  port.NewDevice();
  EXPECT_TRUE(port.StartOpening(preparer, "a.wav"));
  port.Ready(preparer, Target(105, "a.wav"), 102);
  port.NewDevice();
  port.Ready(preparer, Target(105, "a.wav"), 103);
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kPrepared);
  // Renewed while opening, ahead and then at the second.
  preparer.Prepare(Target(110, "a.wav"), 108);
  port.NewDevice();
  port.FinishAll(preparer);
  EXPECT_FALSE(preparer.Held());
  EXPECT_EQ(preparer.Start("a.wav").kind, BellStartKind::kOpening);
  port.NewDevice();
  EXPECT_FALSE(port.Finish(preparer, "a.wav").was_start);
  EXPECT_TRUE(port.Finish(preparer, "a.wav").sounding);
  EXPECT_EQ(port.opened.size(), 7u);
  EXPECT_TRUE(port.live.empty() && port.dead.empty());
}

// Played or stopped by hand while a bell is ready: the hand's file plays, never the bell's
// stream; the bell is readied again at the next look and rings its own file.
TEST(BellPreparerTest, ManualPlayOrStopBeforeTheBell) {
  FakePort port;
  port.Put("bell.wav", 10, 1);
  port.Put("hand.mp3", 20, 1);
  BellPreparer preparer(port);
  port.Ready(preparer, Target(100, "bell.wav"), 97);
  preparer.Stop();
  EXPECT_EQ(port.live.size(), 1u) << "a stop by hand let go of the bell";
  EXPECT_TRUE(port.StartOpening(preparer, "hand.mp3"));
  EXPECT_EQ(port.played.back(), "hand.mp3");
  EXPECT_TRUE(port.live.empty());
  port.Ready(preparer, Target(100, "bell.wav"), 98);
  EXPECT_EQ(preparer.Start("bell.wav").kind, BellStartKind::kPrepared);
  EXPECT_EQ(port.played.back(), "bell.wav");
  EXPECT_TRUE(port.live.empty());
}

// A file whose open takes long or never ends holds up no other bell, is not opened again while
// it hangs, and its stream, should it come after all, never sounds late over a later bell.
TEST(BellPreparerTest, StalledOpenDelaysNoOtherBell) {
  FakePort port;
  port.Put("stall.mp3", 5, 1);
  port.Put("b.wav", 10, 1);
  BellPreparer preparer(port);
  for (int cycle = 0; cycle < 5; ++cycle) preparer.Prepare(Target(100, "stall.mp3"));
  // Its second: what played stops, the start waits for the open already under way.
  EXPECT_EQ(preparer.Start("stall.mp3").kind, BellStartKind::kOpening);
  EXPECT_TRUE(preparer.StartWaiting());
  EXPECT_EQ(std::count(port.opened.begin(), port.opened.end(), "stall.mp3"), 1);
  // The next bell is readied and starts on its second meanwhile.
  port.Ready(preparer, Target(105, "b.wav"));
  const BellStartResult b = preparer.Start("b.wav");
  EXPECT_EQ(b.kind, BellStartKind::kPrepared);
  EXPECT_TRUE(b.sounding);
  EXPECT_FALSE(preparer.StartWaiting());
  // A later row of the same file waits for the same open rather than opening again.
  preparer.Prepare(Target(110, "stall.mp3"));
  EXPECT_EQ(preparer.Start("stall.mp3").kind, BellStartKind::kOpening);
  preparer.Stop();  // stopped by hand before it came
  EXPECT_EQ(std::count(port.opened.begin(), port.opened.end(), "stall.mp3"), 1);
  // It comes at last: freed, never started.
  EXPECT_FALSE(port.Finish(preparer, "stall.mp3").was_start);
  EXPECT_TRUE(port.live.empty());
  EXPECT_EQ(port.played,
            (std::vector<std::string>{"stop", "clear", "b.wav", "stop", "clear", "stop"}));
  EXPECT_EQ(preparer.OpensUnderWay(), 0);
}

// Opens that never end hold their slots; once all are taken nothing more is opened ahead, but a
// bell still opens its own file at its second. A start given up on frees its stream when it
// comes.
TEST(BellPreparerTest, OpensUnderWayAreBounded) {
  FakePort port;
  BellPreparer preparer(port);
  for (int i = 0; i < kMaxOpensUnderWay; ++i) {
    const std::string name = "hang" + std::to_string(i) + ".mp3";
    port.Put(name, 1, 1);
    preparer.Prepare(Target(100 + i, name));
  }
  port.Put("b.wav", 10, 1);
  preparer.Prepare(Target(200, "b.wav"));
  EXPECT_EQ(port.opened.size(), static_cast<size_t>(kMaxOpensUnderWay));
  EXPECT_TRUE(port.StartOpening(preparer, "b.wav"));
  EXPECT_EQ(port.played, (std::vector<std::string>{"stop", "clear", "b.wav"}));
  // One comes back: ahead opens begin again.
  port.Finish(preparer, "hang0.mp3");
  EXPECT_TRUE(port.live.empty());
  preparer.Prepare(Target(300, "b.wav"));
  EXPECT_EQ(port.pending.size(), static_cast<size_t>(kMaxOpensUnderWay));
  EXPECT_EQ(preparer.Start("b.wav").kind, BellStartKind::kOpening);
  preparer.AbandonStart();
  EXPECT_FALSE(port.Finish(preparer, "b.wav").was_start);
  EXPECT_TRUE(port.live.empty());
}

}  // namespace
}  // namespace belvane
