#include "app/timetable/timetable_library.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <memory>
#include <unordered_map>

#include "app/timetable/timetable_file.h"
#include "runtime/file_name.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/handles.h"
#include "runtime/inifile/profile_document.h"
#include "runtime/text.h"

namespace belvane {

namespace {

// Names the platform keeps for devices, whatever extension follows.
bool IsDeviceName(std::wstring_view name) {
  std::wstring stem(name.substr(0, name.find(L'.')));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& c : stem) c = static_cast<wchar_t>(std::towupper(c));
  static constexpr const wchar_t* kDevices[] = {L"CON", L"PRN",    L"AUX",
                                                L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.starts_with(L"COM") || stem.starts_with(L"LPT")) &&
         stem[3] >= L'1' && stem[3] <= L'9';
}

// Why `file` cannot be opened for reading now (the system's error); 0 when it can, or is not there.
DWORD OpenError(const TextValue& file) {
  const HANDLE handle =
      CreateFileA(file.CStr(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  const OwnedKernelHandle owned(handle);
  if (owned || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
  return error;
}

// A file held for a moment (a scanner, an editor saving it) is waited for, up to 2 s: read as
// absent, a plan would ring 常规 on a holiday, a timetable nothing on an exam day. An open is
// asked, not a read: the file is read once, by its reader. Returns why the file still cannot be
// read after that (the system's reason), empty when it can.
std::string WaitWhileHeld(const TextValue& file) {
  DWORD error = OpenError(file);
  for (int attempt = 0; attempt < 20 && error != 0; ++attempt) {
    Sleep(100);
    error = OpenError(file);
  }
  return error == 0 ? std::string() : SystemErrorText(error);
}

// The timetable file of `name` in `names` (ListTimetableNames), found as the file system finds
// it: ASCII letters without case. Null when there is none.
const std::string* ListedName(const std::vector<std::string>& names, std::string_view name) {
  if (name == kDefaultTimetableName) return &names.front();
  if (std::binary_search(names.begin() + 1, names.end(), name)) {
    return &*std::lower_bound(names.begin() + 1, names.end(), name);
  }
  for (const std::string& listed : names) {
    if (SameFileName(listed, name)) return &listed;
  }
  return nullptr;
}

// Every timetable the plan names by its file's own name: a line writing it in other case rings,
// renames and deletes with it.
void NameAsListed(DayPlan& plan, const std::vector<std::string>& names) {
  auto fix = [&names](PlanValue& value) {
    if (value.kind != PlanValue::Kind::kTimetable) return;
    if (const std::string* listed = ListedName(names, value.name)) value.name = *listed;
  };
  auto fix_week = [&fix](WeekPlan& week) {
    for (auto& day : week.days) {
      if (day) fix(*day);
    }
  };
  fix_week(plan.weekly);
  for (SeasonalWeek& season : plan.seasons) fix_week(season.week);
  for (DatedLine& line : plan.dates) fix(line.value);
}

}  // namespace

std::string TimetableNameProblem(std::string_view name) {
  if (name.empty()) return "请输入课表名称。";
  if (name == kDefaultTimetableName)
    return "“常规”是默认课表（Belvane配置.ini）的名称，请换一个名称。";
  if (name == kQuietValue) return "“停铃”在日历中表示不打铃，不能用作课表名称。";
  // Checked as characters: a GBK character's second byte may be "\" or "|".
  const std::wstring wide = WideFromGbk(name);
  if (GbkFromWide(wide).Bytes() != name || wide.find(L'\xFFFD') != std::wstring::npos)
    return "课表名称含有无法使用的字符。";
  if (static_cast<int>(wide.size()) > kMaxTimetableNameChars) return "课表名称最多 32 个字。";
  for (const wchar_t c : wide) {
    if (c < 32 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
      return "课表名称不能含有 \\ / : * ? \" < > | 这些字符。";
  }
  if (wide.back() == L' ' || wide.back() == L'.' || wide.front() == L' ')
    return "课表名称不能以空格或句点结尾，也不能以空格开头。";
  if (IsDeviceName(wide)) return "这个名称是系统保留的设备名，请换一个名称。";
  return {};
}

std::string TimetableFileName(std::string_view name) {
  if (name == kDefaultTimetableName) return "Belvane配置.ini";
  return std::string(kTimetableFolderName) + "\\" + std::string(name) + ".ini";
}

TextValue TimetableFolderPath(const TextValue& program_dir) {
  return ConcatTexts(program_dir, "\\", kTimetableFolderName);
}

TextValue TimetableFilePath(const TextValue& program_dir, std::string_view name) {
  if (name == kDefaultTimetableName) return ConcatTexts(program_dir, "\\Belvane配置.ini");
  return ConcatTexts(TimetableFolderPath(program_dir), "\\", name, ".ini");
}

TextValue PlanFilePath(const TextValue& program_dir) {
  return ConcatTexts(program_dir, "\\", kPlanFileName);
}

std::vector<std::string> ListTimetableNames(const TextValue& program_dir) {
  std::vector<std::string> names;
  SearchHandle search;
  const TextValue pattern = ConcatTexts(TimetableFolderPath(program_dir), "\\*.ini");
  for (TextValue file = FindFile(pattern, search); !file.Bytes().empty();
       file = FindFile({}, search)) {
    std::string name = file.Bytes();
    // "*.ini" also finds "x.ini~" and the like through short names: only ".ini" itself counts.
    if (name.size() <= 4) continue;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".ini") continue;
    name.resize(name.size() - 4);
    if (TimetableNameProblem(name).empty()) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  names.insert(names.begin(), kDefaultTimetableName);
  return names;
}

TimetableFileRead ReadNamedTimetable(const TextValue& program_dir, std::string_view name,
                                     const TextValue& music_folder) {
  const TextValue file = TimetableFilePath(program_dir, name);
  std::string problem = WaitWhileHeld(file);
  if (!problem.empty()) return {{}, std::move(problem)};
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(file);
  const TextValue music_prefix = ConcatTexts(music_folder, "\\");
  // A timetable names a few files many times over.
  std::unordered_map<std::string, bool> exists;
  return {ReadTimetableFrom(*store,
                            [&music_prefix, &exists](const TextValue& music_name) {
                              const auto [it, added] =
                                  exists.try_emplace(music_name.Bytes(), false);
                              if (added)
                                it->second = FileExists(ConcatTexts(music_prefix, music_name));
                              return it->second;
                            }),
          {}};
}

PlanFileRead ReadPlanFile(const TextValue& program_dir) {
  const TextValue file = PlanFilePath(program_dir);
  std::string problem = WaitWhileHeld(file);
  const std::optional<std::string> text =
      problem.empty() ? ReadFileBytes(file) : std::optional<std::string>();
  if (!text) {
    if (!FileExists(file)) return {};
    // Opened a moment ago: what keeps it from being read now is asked once more.
    if (problem.empty()) {
      const DWORD error = OpenError(file);
      problem = SystemErrorText(error != 0 ? error : ERROR_READ_FAULT);
    }
    return {{}, true, std::move(problem)};
  }
  const std::vector<std::string> names = ListTimetableNames(program_dir);
  PlanFileRead read{
      ReadDayPlan(GbkTextOfFile(*text),
                  [&names](std::string_view name) { return ListedName(names, name) != nullptr; }),
      true,
      {}};
  NameAsListed(read.plan, names);
  return read;
}

bool WritePlanFile(const TextValue& program_dir, const DayPlan& plan) {
  return ReplaceWholeFile(PlanFilePath(program_dir), WriteDayPlan(plan));
}

}  // namespace belvane
