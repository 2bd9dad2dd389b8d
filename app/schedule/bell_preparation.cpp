#include "app/schedule/bell_preparation.h"

#include <algorithm>
#include <utility>

#include "runtime/text.h"

namespace belvane {

TextValue MusicFilePath(const TextValue& music_folder, const TextValue& music_name) {
  return ConcatTexts(music_folder, "\\", music_name);
}

BellTarget NextBell(const TimetableSnapshot& rows, int now, const TextValue& music_folder,
                    int lead) {
  for (int ahead = 1; ahead <= lead; ++ahead) {
    const int second = (now + ahead) % kSecondsPerDay;
    const std::string text = ClockText(second);
    const int row = rows.FirstRowAt(text);
    if (row < 0) continue;
    return BellTarget{second, TextValue(text),
                      MusicFilePath(music_folder, rows.Row(row).music_name)};
  }
  return BellTarget{};
}

BellPreparer::~BellPreparer() {
  Release();
}

void BellPreparer::Release() {
  if (held_ && held_->stream != 0) port_.Free(held_->stream);
  held_.reset();
}

const BellPreparer::UnderWay* BellPreparer::FindUnderWay(const TextValue& path,
                                                         const FileStamp& stamp) const {
  for (const UnderWay& open : under_way_) {
    if (open.path == path && open.stamp == stamp) return &open;
  }
  return nullptr;
}

OpenTicket BellPreparer::Begin(const TextValue& path, const FileStamp& stamp, int second,
                               bool bounded) {
  if (bounded && OpensUnderWay() >= kMaxOpensUnderWay) return 0;
  const OpenTicket ticket = ++last_ticket_;
  // Counted before it is begun: a port may answer at once.
  under_way_.push_back(UnderWay{ticket, path, stamp, second, port_.DeviceGeneration()});
  if (!port_.BeginOpen(ticket, path)) {
    under_way_.pop_back();
    return 0;
  }
  return ticket;
}

void BellPreparer::Prepare(const BellTarget& target, int now) {
  // Due now, its start not yet here: keep it.
  if (now >= 0 && held_ && held_->stream != 0 && held_->second == now) return;
  // An open still under way for the second now current waits for its start just the same.
  if (now >= 0 && std::any_of(under_way_.begin(), under_way_.end(), [&](const UnderWay& open) {
        return open.ticket == wanted_ahead_ && open.second == now;
      })) {
    return;
  }
  if (target.IsNone()) {
    Release();
    wanted_ahead_ = 0;
    return;
  }
  const FileStamp stamp = port_.Stamp(target.path);
  // The same file, unchanged: ready already, or failed and not worth another try. Not so once
  // the output was initialised afresh: the stream died with the old one, and the device may be
  // what failed the open.
  if (held_ && held_->path == target.path && held_->stamp == stamp &&
      OnCurrentDevice(held_->generation))
    return;
  // Free first: at most one prepared stream exists at any time.
  Release();
  if (const UnderWay* open = FindUnderWay(target.path, stamp)) {
    // Still opening (slow, or stuck): wait for it rather than begin another. The open a start
    // waits for stays the start's.
    if (open->ticket != start_ticket_) wanted_ahead_ = open->ticket;
    return;
  }
  wanted_ahead_ = 0;
  if (!stamp.exists) {
    held_ = PreparedBell{target.path, stamp, 0, target.second, port_.DeviceGeneration()};
    return;
  }
  // None could be begun (too many under way): asked again next second.
  wanted_ahead_ = Begin(target.path, stamp, target.second, true);
}

BellStartResult BellPreparer::Start(const TextValue& path) {
  start_ticket_ = 0;  // a start still waiting is overtaken by this one
  const FileStamp stamp = port_.Stamp(path);
  const bool same_file = held_ && held_->path == path && held_->stamp == stamp;
  const bool current = held_ && OnCurrentDevice(held_->generation);
  if (same_file && held_->stream != 0 && current) {
    // Handed over before the start, so it is never started or freed twice.
    const BellStream stream = std::exchange(held_->stream, 0);
    held_.reset();
    return {BellStartKind::kPrepared, port_.StartPrepared(stream, path)};
  }
  // The previous playback stops at the second, whatever the new file takes to open, and the
  // player holds nothing while it opens (as an open at the second always left it).
  port_.StopPlaying();
  port_.ClearPlaying();
  // A failure ahead stays on record, so the next row of the same file is not opened ahead
  // again; anything else held is not this file any more, or died with an earlier output.
  if (!same_file || !current) Release();
  if (const UnderWay* open = FindUnderWay(path, stamp)) {
    start_ticket_ = open->ticket;
    if (wanted_ahead_ == start_ticket_) wanted_ahead_ = 0;
    return {BellStartKind::kOpening, false};
  }
  // Not bounded: files that hang must never keep a bell of another file from ringing. Each
  // file as it is on disk hangs at most one open, so this stays within the timetable's files.
  start_ticket_ = Begin(path, stamp, -1, false);
  return {start_ticket_ != 0 ? BellStartKind::kOpening : BellStartKind::kFailed, false};
}

void BellPreparer::Stop() {
  start_ticket_ = 0;
  port_.StopPlaying();
}

OpenedResult BellPreparer::Opened(OpenTicket ticket, BellStream stream) {
  const auto found = std::find_if(under_way_.begin(), under_way_.end(),
                                  [&](const UnderWay& open) { return open.ticket == ticket; });
  if (found == under_way_.end()) {
    if (stream != 0) port_.Free(stream);
    return {};
  }
  const UnderWay open = *found;
  under_way_.erase(found);
  if (!OnCurrentDevice(open.generation)) {
    // The output was initialised afresh while it opened: the stream is dead or may be. A start
    // opens its file again; one wanted ahead is opened again at the next look.
    if (stream != 0) port_.Free(stream);
    if (ticket == wanted_ahead_) wanted_ahead_ = 0;
    if (ticket != start_ticket_) return {};
    start_ticket_ = Begin(open.path, open.stamp, -1, false);
    return {start_ticket_ == 0, false};
  }
  if (ticket == start_ticket_) {
    start_ticket_ = 0;
    if (stream == 0) return {true, false};
    return {true, port_.StartPrepared(stream, open.path)};
  }
  if (ticket == wanted_ahead_) {
    wanted_ahead_ = 0;
    Release();
    // A failed open is held too (stream 0): it is not tried again ahead while the file holds.
    held_ = PreparedBell{open.path, open.stamp, stream, open.second, open.generation};
    return {};
  }
  // Nobody wants it any more: the row changed, or its start was overtaken or given up.
  if (stream != 0) port_.Free(stream);
  return {};
}

}  // namespace belvane
