#include "app/music_folder.h"

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

}  // namespace belvane
