#include "app/timetable_handlers.h"

#include <windows.h>

#include <string>
#include <unordered_map>

#include "app/app_objects.h"
#include "app/record_events.h"
#include "app/timetable_file.h"
#include "app/timetable_library.h"
#include "app/today.h"
#include "runtime/files.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace belvane {

std::vector<TimetableEntry> ReadTimetableFile(const TextValue& file) {
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(file);
  const TextValue music_prefix = ConcatTexts(MusicFolderPath(), "\\");
  // A timetable names a few files many times over: each is looked up on disk once per load.
  std::unordered_map<std::string, bool> exists;
  return ReadTimetableFrom(*store, [&music_prefix, &exists](const TextValue& name) {
    const auto [it, added] = exists.try_emplace(name.Bytes(), false);
    if (added) it->second = FileExists(ConcatTexts(music_prefix, name));
    return it->second;
  });
}

void LoadTimetable() {
  App().timetable_view.Load(ReadTimetableFile(ConfigFilePath()));
}

bool SaveTimetableOrTell(const Timetable& timetable, ProfileStore& store) {
  const bool saved = SaveTimetableTo(timetable, store);
  RecordSave(saved, timetable.Count());
  if (saved) return true;
  ShowMessageBox(nullptr, kSaveFailedText, "错误", MB_OK);
  return false;
}

void SaveTimetable() {
  SaveShownTimetable();
}

bool SaveShownTimetable() {
  AppObjects& app = App();
  const std::string& name = app.timetable.Name().Bytes();
  // Made when first needed; one that exists already makes this fail, harmlessly.
  if (name != kDefaultTimetableName)
    CreateDirectoryA(TimetableFolderPath(app.program_dir).CStr(), nullptr);
  const std::unique_ptr<ProfileStore> store =
      OpenTimetableStore(TimetableFilePath(app.program_dir, name));
  if (!SaveTimetableOrTell(app.timetable, *store)) return false;
  app.timetable.MarkSaved();
  TimetablesChanged();
  return true;
}

}  // namespace belvane
