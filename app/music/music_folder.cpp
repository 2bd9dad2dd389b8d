#include "app/music/music_folder.h"

#include <string>

#include "runtime/files.h"
#include "runtime/text.h"
#include "ui/controls/list_box_control.h"

namespace belvane {

namespace {

constexpr unsigned kDirectoryAttribute = 0x10;  // FILE_ATTRIBUTE_DIRECTORY

}  // namespace

int ScanMusicFolder(const TextValue& folder, const TextValue& patterns, TextArray& out,
                    bool with_path, bool recurse) {
  if (!recurse) out.Clear();
  std::string dir(folder.View());
  if (dir.empty() || dir.back() != '\\') dir += '\\';

  const TextArray pattern_list = SplitText(patterns, "|");
  for (int i = 1; i <= pattern_list.Count(); ++i) {
    SearchHandle search;
    for (TextValue name = FindFile(TextValue(dir + pattern_list[i].Bytes()), search);
         !name.IsEmpty(); name = FindFile(TextValue(), search)) {
      out.Append(with_path ? TextValue(dir + name.Bytes()) : name);
    }
  }

  if (recurse) {
    SearchHandle search;
    for (TextValue name = FindFile(TextValue(dir + "*.*"), search, kDirectoryAttribute);
         !name.IsEmpty(); name = FindFile(TextValue(), search, kDirectoryAttribute)) {
      if (name.View() == "." || name.View() == "..") continue;
      ScanMusicFolder(TextValue(dir + name.Bytes()), patterns, out, with_path, true);
    }
  }
  return out.Count();
}

int FillMusicList(ListBoxControl& list, const TextValue& folder, TextArray& names) {
  const int count = ScanMusicFolder(folder, kMusicPatterns, names, false, false);
  for (int i = 1; i <= count; ++i) list.AddItem(names[i], i);
  // With no names this selects nothing, and the play button then does nothing.
  list.CurrentSelection(0);
  return count;
}

MusicListChange DecideMusicList(const TextArray& shown, int selected, const TextArray& found) {
  if (shown == found) return {false, selected};
  MusicListChange change{true, found.IsEmpty() ? -1 : 0};
  if (selected < 0 || selected >= shown.Count()) return change;
  const TextValue& name = shown[selected + 1];
  for (int i = 1; i <= found.Count(); ++i) {
    if (found[i].View() == name.View()) {
      change.select = i - 1;
      break;
    }
  }
  return change;
}

std::vector<bool> MusicMissingAfterLook(std::span<const TimetableEntry> rows,
                                        const MusicFileExistence& exists) {
  std::vector<bool> missing;
  missing.reserve(rows.size());
  for (const TimetableEntry& entry : rows) {
    const auto it = exists.find(entry.music_name.Bytes());
    missing.push_back(it == exists.end() ? entry.music_missing : !it->second);
  }
  return missing;
}

void ShowMusicNames(ListBoxControl& list, const TextArray& names, int select) {
  const int top = list.TopIndex();
  list.SuspendRedraw();
  list.DeleteAllItems();
  for (int i = 1; i <= names.Count(); ++i) list.AddItem(names[i], i);
  list.CurrentSelection(select);
  if (top > 0 && top < names.Count()) list.TopIndex(top);
  list.ResumeRedraw();
  list.Redraw();
}

}  // namespace belvane
