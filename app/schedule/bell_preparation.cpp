#include "app/schedule/bell_preparation.h"

#include <utility>

#include "runtime/text.h"

namespace belvane {

BellTarget NextBell(const TimetableSnapshot& rows, int now, const TextValue& music_folder,
                    int lead) {
  for (int ahead = 1; ahead <= lead; ++ahead) {
    const int second = (now + ahead) % kSecondsPerDay;
    const std::string text = ClockText(second);
    const int row = rows.FirstRowAt(text);
    if (row < 0) continue;
    return BellTarget{second, TextValue(text),
                      ConcatTexts(music_folder, "\\", rows.Row(row).music_name)};
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

void BellPreparer::Prepare(const BellTarget& target, int now) {
  // Due now, its start not yet here: keep it.
  if (now >= 0 && held_ && held_->stream != 0 && held_->second == now) return;
  if (target.IsNone()) {
    Release();
    return;
  }
  const FileStamp stamp = port_.Stamp(target.path);
  // The same file, unchanged: ready already, or failed and not worth another try.
  if (held_ && held_->path == target.path && held_->stamp == stamp) return;
  // Free first: at most one prepared stream exists at any time.
  Release();
  const BellStream stream = stamp.exists ? port_.OpenPrimed(target.path) : 0;
  held_ = PreparedBell{target.path, stamp, stream, target.second};
}

BellStartResult BellPreparer::Start(const TextValue& path) {
  const FileStamp stamp = port_.Stamp(path);
  if (held_ && held_->path == path && held_->stamp == stamp) {
    if (held_->stream != 0) {
      // Handed over before the start, so it is never started or freed twice.
      const BellStream stream = std::exchange(held_->stream, 0);
      held_.reset();
      return {BellStartKind::kPrepared, port_.StartPrepared(stream, path)};
    }
    // Failed ahead: tried once more now (the device may be back), while the failure stays on
    // record so that the next row of the same file is not opened ahead again.
    return {BellStartKind::kOpened, port_.OpenAndStart(path)};
  }
  Release();
  return {BellStartKind::kOpened, port_.OpenAndStart(path)};
}

}  // namespace belvane
