#pragma once
// The music folder scan: the names of the files in a folder that match any of several
// wildcard patterns, grouped by pattern in the patterns' order, each group in the file
// system's order.
//
// What the music list and the timetable's missing-file marks become after a later look at the
// folder is decided here too, as pure functions.
//
// Thread policy: the scan on any thread (start-up's, the folder watch's); FillMusicList and
// ShowMusicNames on the user-interface thread.

#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/schedule/timetable_snapshot.h"
#include "runtime/text_array.h"
#include "runtime/text_value.h"

namespace belvane {

// The playable files the music list offers, separated by "|".
inline constexpr const char* kMusicPatterns = "*.mp3|*.m4a|*.aac|*.wma|*.wav";

// Appends to `out` the files of `folder` (trailing "\" optional) matching any of `patterns`
// ("|"-separated): bare names, or folder + "\" + name when `with_path`. Without `recurse`,
// `out` is emptied first; with it, the subfolders are searched too, depth first, after the
// folder's own files, and `out` is only added to. Returns the element count of `out`.
int ScanMusicFolder(const TextValue& folder, const TextValue& patterns, TextArray& out,
                    bool with_path, bool recurse);

class ListBoxControl;

// Scans `folder` for kMusicPatterns into `names` (bare names, no subfolders) and fills the
// list box with them in order, item data 1 to n; then chooses the first one. Returns n.
int FillMusicList(ListBoxControl& list, const TextValue& folder, TextArray& names);

// What the music list does after a look found `found` while it shows `shown` with item
// `selected` (0-based, -1 none) chosen.
struct MusicListChange {
  bool refill = false;  // the names differ: the list is filled again with `found`
  int select = -1;      // the item chosen afterwards (0-based), -1 none
};
// Unchanged names leave the list alone. Otherwise the chosen name stays chosen where it is
// still found, else the first item is, as at start-up.
MusicListChange DecideMusicList(const TextArray& shown, int selected, const TextArray& found);

// Whether a file of the music folder exists, by the bare name a row holds.
using MusicFileExistence = std::unordered_map<std::string, bool>;
// Each row's missing-file flag after a look: a row whose name was looked up is missing exactly
// when its file does not exist; a row whose name was not (added after the look) keeps its flag.
std::vector<bool> MusicMissingAfterLook(std::span<const TimetableEntry> rows,
                                        const MusicFileExistence& exists);

// Fills `list` with `names` again (item data 1 to n) and chooses item `select`, keeping the
// first item shown where it still can; without drawing in between.
void ShowMusicNames(ListBoxControl& list, const TextArray& names, int select);

}  // namespace belvane
