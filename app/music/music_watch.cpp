#include "app/music/music_watch.h"

#include <utility>
#include <vector>

#include "app/schedule/timetable_snapshot.h"
#include "app/timetable/timetable_view.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/text.h"
#include "ui/controls/list_box_control.h"
#include "ui/ui_task.h"

namespace belvane {

struct MusicWatch::Shared {
  OwnedKernelHandle stop = NewManualResetEvent();
};

namespace {

// The music folder's own files, and the program folder's folders (the music folder itself).
struct FolderWatches {
  OwnedChangeNotification files;
  OwnedChangeNotification folders;
};

// Waits up to `timeout_ms` (negative: forever) for the stop event or a watch. Returns the
// watch signalled (re-armed, or let go when it no longer works), or null; `stopped` is set when
// the stop event was.
OwnedChangeNotification* WaitForChange(HANDLE stop, FolderWatches& watches, int timeout_ms,
                                       bool& stopped) {
  std::vector<HANDLE> handles{stop};
  std::vector<OwnedChangeNotification*> owners{nullptr};
  for (OwnedChangeNotification* watch : {&watches.files, &watches.folders}) {
    if (!*watch) continue;
    handles.push_back(watch->Get());
    owners.push_back(watch);
  }
  const DWORD timeout = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
  const DWORD result =
      WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeout);
  stopped = result == WAIT_OBJECT_0;
  if (result == WAIT_FAILED) {
    // Never a busy loop: a wait that fails at once sleeps out its time on the stop event.
    stopped = WaitForSingleObject(stop, timeout) == WAIT_OBJECT_0;
    return nullptr;
  }
  if (result <= WAIT_OBJECT_0 || result >= WAIT_OBJECT_0 + handles.size()) return nullptr;
  OwnedChangeNotification* watch = owners[result - WAIT_OBJECT_0];
  if (!ArmChangeNotification(*watch)) watch->Reset();
  return watch;
}

// After a first change, waits until none came for kMusicSettleMs (or kMusicSettleLimitMs have
// gone by). False when told to stop meanwhile.
bool SettleChanges(HANDLE stop, FolderWatches& watches) {
  const ULONGLONG limit = GetTickCount64() + kMusicSettleLimitMs;
  for (;;) {
    bool stopped = false;
    if (!WaitForChange(stop, watches, kMusicSettleMs, stopped)) return !stopped;
    if (GetTickCount64() >= limit) return true;
  }
}

void WatchLoop(HANDLE stop, const TextValue& program_dir, const TextValue& music_folder,
               const SharedTimetable& timetable, const std::function<void(MusicFolderLook)>& post) {
  MusicFolderLook last;
  bool posted = false;
  for (;;) {
    // Set up again for each look, so a folder deleted, made again or renamed is watched as it
    // is now; set up before the look, so a change during it brings another.
    FolderWatches watches;
    watches.folders = WatchFolderChanges(program_dir, FILE_NOTIFY_CHANGE_DIR_NAME);
    watches.files = WatchFolderChanges(music_folder, FILE_NOTIFY_CHANGE_FILE_NAME);
    MusicFolderLook look = LookAtMusicFolder(music_folder, *timetable.Current());
    if (!posted || !(look == last)) {
      last = look;
      posted = true;
      post(std::move(look));
    }
    const bool watched = watches.folders && (watches.files || !FileExists(music_folder));
    bool stopped = false;
    const OwnedChangeNotification* changed =
        WaitForChange(stop, watches, watched ? -1 : kMusicLookIntervalMs, stopped);
    if (stopped) return;
    if (changed && !SettleChanges(stop, watches)) return;
  }
}

}  // namespace

MusicFolderLook LookAtMusicFolder(const TextValue& music_folder, const TimetableSnapshot& rows) {
  MusicFolderLook look;
  ScanMusicFolder(music_folder, kMusicPatterns, look.names, false, false);
  const TextValue prefix = ConcatTexts(music_folder, "\\");
  for (int row = 0; row < rows.RowCount(); ++row) {
    const TextValue& name = rows.Row(row).music_name;
    const auto [it, added] = look.exists.try_emplace(name.Bytes(), false);
    if (added) it->second = FileExists(ConcatTexts(prefix, name));
  }
  return look;
}

void ShowMusicFolderLook(const MusicFolderLook& look, ListBoxControl& list, TextArray& names,
                         TimetableView& view) {
  const MusicListChange change = DecideMusicList(names, list.CurrentSelection(), look.names);
  if (change.refill) {
    names = look.names;
    ShowMusicNames(list, names, change.select);
  }
  view.SetMusicMissing(MusicMissingAfterLook(view.Model().Rows(), look.exists));
}

bool MusicWatch::Start(HWND window, const TextValue& program_dir, const TextValue& music_folder,
                       const SharedTimetable& timetable,
                       std::function<void(const MusicFolderLook&)> show) {
  if (thread_.Running()) return false;
  auto shared = std::make_shared<Shared>();
  if (!shared->stop) return false;
  shared_ = shared;
  auto post = [window, show = std::move(show)](MusicFolderLook look) {
    PostUiTask(window, [show, look = std::move(look)] { show(look); });
  };
  return thread_.Start([shared, program_dir, music_folder, &timetable, post = std::move(post)] {
    WatchLoop(shared->stop.Get(), program_dir, music_folder, timetable, post);
  });
}

void MusicWatch::Stop() {
  if (shared_) SignalEvent(shared_->stop.Ref());
  thread_.Stop();
}

}  // namespace belvane
