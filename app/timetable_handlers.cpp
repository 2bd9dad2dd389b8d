#include "app/timetable_handlers.h"

#include <windows.h>

#include <string>

#include "app/app_objects.h"
#include "app/bell/record_events.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable/timetable_library.h"
#include "app/calendar/today.h"
#include "app/timetable/gbk_save.h"
#include "runtime/files.h"
#include "runtime/message_box.h"
#include "runtime/text.h"

namespace belvane {

bool LoadTimetable() {
  AppObjects& app = App();
  TimetableFileRead read =
      ReadNamedTimetable(app.program_dir, kDefaultTimetableName, MusicFolderPath());
  app.timetable_view.Load(std::move(read.rows));
  return read.problem.empty();
}

bool SaveTimetableOrTell(const Timetable& timetable, ProfileStore& store) {
  const bool saved = SaveTimetableTo(timetable, store);
  TheProcessObjects().bell_record.Save(saved, timetable.Count());
  if (saved) return true;
  ShowMessageBox(nullptr, kSaveFailedText, "错误", MB_OK);
  return false;
}

bool SaveShownTimetable() {
  AppObjects& app = App();
  const std::string& name = app.timetable.Name().Bytes();
  // Made when first needed; one that exists already makes this fail, harmlessly.
  if (name != kDefaultTimetableName)
    CreateDirectoryA(TimetableFolderPath(app.program_dir).CStr(), nullptr);
  const TextValue file = TimetableFilePath(app.program_dir, name);
  if (!MaySaveAsGbk(nullptr, file)) {
    TheProcessObjects().bell_record.Save(false, app.timetable.Count());
    return false;
  }
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(file);
  if (!SaveTimetableOrTell(app.timetable, *store)) return false;
  app.timetable.MarkSaved();
  TimetablesChanged();
  return true;
}

}  // namespace belvane
