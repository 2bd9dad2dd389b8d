#pragma once
// The music folder scan: the names of the files in a folder that match any of several
// wildcard patterns, grouped by pattern in the patterns' order, each group in the file
// system's order.
//
// Thread policy: user-interface thread only (start-up).

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

}  // namespace belvane
