#pragma once
// The program's timetables by name: "常规" is the file "Belvane配置.ini" beside the program, as it
// always was; every other timetable is a file "课表\<名称>.ini" in exactly the same format, read
// and written by the same code (app/timetable/timetable_file.h). The plan of which one rings on
// which date is "Belvane日历.ini" (app/schedule/day_plan.h).
//
// Thread policy: no shared state; any thread (each call asks the disk, so not the clock's).

#include <string>
#include <string_view>
#include <vector>

#include "app/schedule/day_plan.h"
#include "app/schedule/timetable_snapshot.h"
#include "runtime/text_value.h"

namespace belvane {

// The folder of the named timetables, beside the program.
inline constexpr const char* kTimetableFolderName = "课表";
// The plan's file, beside the program.
inline constexpr const char* kPlanFileName = "Belvane日历.ini";
// Longest name, in characters.
inline constexpr int kMaxTimetableNameChars = 32;

// Why `name` cannot name a new timetable (a text for the user's box); empty when it can. A name
// is 1 to kMaxTimetableNameChars characters of GBK text, a valid file name (none of \ / : * ?
// " < > |, no control character, not ending in a blank or a dot, not a device name such as CON
// or COM1), and neither "常规" nor "停铃".
std::string TimetableNameProblem(std::string_view name);

// The file of timetable `name`: "Belvane配置.ini" for the default, else "课表\<name>.ini".
TextValue TimetableFilePath(const TextValue& program_dir, std::string_view name);
// The file of timetable `name` in the program's folder: "Belvane配置.ini", "课表\<name>.ini".
std::string TimetableFileName(std::string_view name);
// "课表" beside the program.
TextValue TimetableFolderPath(const TextValue& program_dir);
// "Belvane日历.ini" beside the program.
TextValue PlanFilePath(const TextValue& program_dir);

// Every timetable: "常规" first, then the names of the files "课表\*.ini" whose name is a valid
// timetable name, in name order (GBK byte order, which is that of the characters' readings for
// the common ones).
std::vector<std::string> ListTimetableNames(const TextValue& program_dir);

// A timetable's file as read.
struct TimetableFileRead {
  std::vector<TimetableEntry> rows;
  // Why the file could not be read (the system's reason) when it exists but stayed unreadable
  // for 2 s: `rows` are then none, and stand for nothing. Empty when read (or absent).
  std::string problem;
};
// The rows of timetable `name` as its file holds them, each marked missing when its music file
// is not in `music_folder` (each name asked of the disk once); an absent file gives none, one
// that exists but cannot be read is tried again for up to 2 s.
TimetableFileRead ReadNamedTimetable(const TextValue& program_dir, std::string_view name,
                                     const TextValue& music_folder);

// The plan's file as read.
struct PlanFileRead {
  DayPlan plan;
  bool exists = false;
  // Why the file could not be read (the system's reason) when it exists but stayed unreadable
  // for 2 s: `plan` is then empty, and stands for nothing. Empty when read (or absent).
  std::string problem;
};
// The plan file read against the timetables that exist now, a name matching a file's as the
// file system matches it (ASCII letters without case) and read as the file's own; an absent file
// gives the empty plan. One that exists but cannot be read is tried again for up to 2 s. A plan
// saved as UTF-8 or UTF-16 is read as its text (runtime/text_convert.h).
PlanFileRead ReadPlanFile(const TextValue& program_dir);
// Writes the plan file as one replacement of the whole file (the old file stays whole on any
// failure); true when written.
bool WritePlanFile(const TextValue& program_dir, const DayPlan& plan);

}  // namespace belvane
