#include "app/timetable_handlers.h"

#include <windows.h>

#include <string>
#include <unordered_map>

#include "app/app_objects.h"
#include "app/record_events.h"
#include "app/timetable_file.h"
#include "runtime/files.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace belvane {

void LoadTimetable() {
  AppObjects& app = App();
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(ConfigFilePath());
  const TextValue music_prefix = ConcatTexts(MusicFolderPath(), "\\");
  // A timetable names a few files many times over: each is looked up on disk once per load.
  std::unordered_map<std::string, bool> exists;
  LoadTimetableFrom(
      *store,
      [&music_prefix, &exists](const TextValue& name) {
        const auto [it, added] = exists.try_emplace(name.Bytes(), false);
        if (added) it->second = FileExists(ConcatTexts(music_prefix, name));
        return it->second;
      },
      app.timetable_view);
}

bool SaveTimetableOrTell(const Timetable& timetable, ProfileStore& store) {
  const bool saved = SaveTimetableTo(timetable, store);
  RecordSave(saved, timetable.Count());
  if (saved) return true;
  ShowMessageBox(nullptr, kSaveFailedText, "错误", MB_OK);
  return false;
}

void SaveTimetable() {
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(ConfigFilePath());
  SaveTimetableOrTell(App().timetable, *store);
}

}  // namespace belvane
