#include "app/timetable_handlers.h"

#include <windows.h>

#include "app/app_objects.h"
#include "app/timetable_file.h"
#include "runtime/files.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace belvane {

void LoadTimetable() {
  AppObjects& app = App();
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(ConfigFilePath());
  const TextValue music_prefix = ConcatTexts(app.program_dir, "\\mp3\\");
  LoadTimetableFrom(
      *store,
      [&music_prefix](const TextValue& name) {
        return FileExists(ConcatTexts(music_prefix, name));
      },
      app.rows);
}

bool SaveTimetableOrTell(const TimetableRows& rows, ProfileStore& store) {
  if (SaveTimetableTo(rows, store)) return true;
  ShowMessageBox(nullptr, kSaveFailedText, "错误", MB_OK);
  return false;
}

void SaveTimetable() {
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(ConfigFilePath());
  SaveTimetableOrTell(App().rows, *store);
}

}  // namespace belvane
