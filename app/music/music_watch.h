#pragma once
// The music folder followed while the program runs. A thread of its own waits for changes in
// the folder's files and for folders coming and going in the program's folder (the music
// folder made, deleted or renamed), lets a burst of changes settle, looks at the folder once
// and posts what it found to the user-interface thread; there the music list and the
// timetable's missing-file marks follow it. Where no change can be waited for (a file system
// that does not tell changes, a drive gone), it looks every kMusicLookIntervalMs instead.
//
// Thread policy: Start and Stop on the user-interface thread; the looks run on the watch's
// thread, which never touches a window; ShowMusicFolderLook on the user-interface thread.

#include <windows.h>

#include <functional>
#include <memory>

#include "app/music/music_folder.h"
#include "runtime/text_array.h"
#include "runtime/text_value.h"
#include "runtime/worker_thread.h"

namespace belvane {

class ListBoxControl;
class SharedTimetable;
class TimetableView;

// How long changes must have stopped before the folder is looked at.
inline constexpr int kMusicSettleMs = 1000;
// The longest a steady stream of changes puts a look off.
inline constexpr int kMusicSettleLimitMs = 10000;
// The look's interval where changes cannot be waited for.
inline constexpr int kMusicLookIntervalMs = 30000;

// What one look at the music folder found.
struct MusicFolderLook {
  TextArray names;            // its music files, as ScanMusicFolder lists them
  MusicFileExistence exists;  // for each name the timetable held then, whether its file exists
  friend bool operator==(const MusicFolderLook&, const MusicFolderLook&) = default;
};

// Looks at `music_folder` (a missing folder has no files) for the rows of `rows`.
MusicFolderLook LookAtMusicFolder(const TextValue& music_folder, const TimetableSnapshot& rows);

// Shows a look: the list and `names` (its items, in order) take the folder's files, the view
// its marks (DecideMusicList, MusicMissingAfterLook).
void ShowMusicFolderLook(const MusicFolderLook& look, ListBoxControl& list, TextArray& names,
                         TimetableView& view);

class MusicWatch {
 public:
  MusicWatch() = default;
  // Lets the thread go without waiting: Stop first.
  ~MusicWatch() = default;
  MusicWatch(const MusicWatch&) = delete;
  MusicWatch& operator=(const MusicWatch&) = delete;

  // Starts the thread, which looks at once and then at each settled change, passing each look
  // that differs from the one before to `show` on the thread of `window`. `timetable` must
  // outlive the thread. False when a watch runs already or no thread could be started.
  bool Start(HWND window, const TextValue& program_dir, const TextValue& music_folder,
             const SharedTimetable& timetable, std::function<void(const MusicFolderLook&)> show);
  // Tells the thread to end and waits for it (bounded).
  void Stop();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  WorkerThread thread_;
};

}  // namespace belvane
