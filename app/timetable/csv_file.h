#pragma once
// A CSV file chosen by the user, and its reading: what the main window's timetable import and
// export and the plan window's sessions share. The box runs on the user-interface thread; the
// reading is for a worker (ui/ui_task.h RunThenPost).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/csv.h"
#include "runtime/text_value.h"

namespace belvane {

// The system's open or save box for a CSV file, `suggested` as the name offered: the program's
// GBK path; nothing when cancelled, or (told over `owner`) when the path has a character GBK
// lacks, which no file call here could name. User-interface thread.
std::optional<TextValue> ChooseCsvFile(HWND owner, bool save, const std::string& suggested);

// A file's rows (ReadCsvFile), or why they could not be read: too large to be a table typed by
// hand, or not readable. Reads the disk: not on the user-interface thread.
struct CsvFileRows {
  std::vector<CsvRow> rows;
  std::string problem;  // for the user; empty when read
};
CsvFileRows ReadCsvRowsOf(const TextValue& path);

}  // namespace belvane
