#include "app/timetable_choice.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "app/app_objects.h"
#include "app/timetable/profile_store.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable/gbk_save.h"
#include "app/timetable_handlers.h"
#include "app/timetable/timetable_library.h"
#include "app/timetable/timetable_name_dialog.h"
#include "app/timetable/csv_file.h"
#include "app/timetable/csv_import_dialog.h"
#include "app/timetable/timetable_csv.h"
#include "app/timetable/timetable_rules.h"
#include "app/calendar/today.h"
#include "runtime/csv.h"
#include "runtime/file_name.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/inifile/profile_document.h"
#include "runtime/message_box.h"
#include "ui/ui_task.h"

namespace belvane {

namespace {

using Kind = TimetableChoiceItem::Kind;

constexpr const char* kChoiceCaption = "课表";

std::string Quoted(std::string_view name) {
  return "“" + std::string(name) + "”";
}

void ShowTodayTip(AppObjects& app, const std::string& text) {
  const HWND main = app.main_window.Handle();
  const HWND line = app.today_line.Handle();
  if (main == nullptr || line == nullptr) return;
  HWND& tip = app.choice_state.today_tip;
  if (tip != nullptr && (!IsWindow(tip) || GetWindow(tip, GW_OWNER) != main)) tip = nullptr;
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = main;
  tool.uId = reinterpret_cast<UINT_PTR>(line);
  if (tip != nullptr) SendMessageA(tip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  if (text.empty()) return;
  if (tip == nullptr) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr, GetModuleHandleA(nullptr),
                          nullptr);
    if (tip == nullptr) return;
    // A width makes the tip break at the line breaks, a part a line.
    SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, 1000);
    // A static passes the mouse on to its parent unless it notifies: the tip would never show.
    app.today_line.AddStyle(SS_NOTIFY);
  }
  tool.lpszText = const_cast<char*>(text.c_str());
  SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void Tell(const std::string& text) {
  ShowMessageBox(nullptr, text, kChoiceCaption, MB_OK | MB_ICONWARNING);
}

// A rename or a delete would leave the plan's lines naming the timetable as they are: refused.
void TellPlanUnreadable(const AppObjects& app, const std::string& outcome) {
  Tell("日历文件无法读取，" + outcome + "：\r\n" + PlanFilePath(app.program_dir).Bytes() +
       "\r\n请关闭正在使用它的程序后再试。");
}

// Whether the shown timetable may be left: true when it has no unsaved edits, or the user has
// them saved (是) or dropped (否); false on 取消 or a failed save (told). `before`: what is about
// to happen, for the question; `caption`: the box's.
bool MayLeaveShown(AppObjects& app, const std::string& before = "切换",
                   const std::string& caption = "切换课表") {
  if (!app.timetable.Modified()) return true;
  if (app.choice_state.read_only) {
    // The file is the campus folder's now: the edits can only be dropped.
    const std::string text = "课表" + Quoted(app.timetable.Name().View()) +
                             "有未保存的修改，但课表由共享文件夹管理，不能保存。放弃这些修改吗？";
    return ShowMessageBox(nullptr, text, caption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
  }
  const std::string text =
      "课表" + Quoted(app.timetable.Name().View()) + "有未保存的修改，" + before + "前保存吗？";
  switch (ShowMessageBox(nullptr, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      return SaveShownTimetable();
    case IDNO:
      return true;
    default:
      return false;
  }
}

// Shows timetable `name` as its file is now; false (told) when a named one's file cannot be
// read. "常规" always shows: a missing file reads as no rows, as at start-up.
bool ShowTimetable(AppObjects& app, const std::string& name) {
  const TextValue file = TimetableFilePath(app.program_dir, name);
  if (name != kDefaultTimetableName && !ReadFileBytes(file)) {
    Tell("课表" + Quoted(name) + "的文件已不存在或无法读取：\r\n" + file.Bytes());
    return false;
  }
  std::vector<TimetableEntry> rows =
      ReadNamedTimetable(app.program_dir, name, MusicFolderPath()).rows;
  app.timetable.SetName(name);
  app.timetable_view.Load(std::move(rows));
  ShownTimetableChanged();
  return true;
}

TimetableNameCheck NameCheck(const TextValue& program_dir, std::string renaming = {}) {
  return [program_dir, renaming](std::string_view name) {
    return NewTimetableNameProblem(name, ListTimetableNames(program_dir), renaming);
  };
}

void CreateTimetable(AppObjects& app) {
  if (!MayLeaveShown(app)) return;
  const std::string shown = app.timetable.Name().Bytes();
  const std::optional<TimetableNameAnswer> answer =
      AskTimetableName(app.main_window.Handle(), false, shown, NameCheck(app.program_dir));
  if (!answer) return;
  CreateDirectoryA(TimetableFolderPath(app.program_dir).CStr(), nullptr);
  const TextValue file = TimetableFilePath(app.program_dir, answer->name);
  // A file made since the name was checked is never written over.
  if (FileExists(file)) {
    Tell("已有同名课表" + Quoted(answer->name) + "，未新建。");
    return;
  }
  // Written as "4.保存" writes a timetable, from a model of its own that publishes nothing.
  Timetable start;
  if (answer->copy) start.Load({app.timetable.Rows().begin(), app.timetable.Rows().end()});
  const std::unique_ptr<ProfileStore> store = OpenTimetableStore(file);
  if (!SaveTimetableTo(start, *store)) {
    Tell("课表" + Quoted(answer->name) + "未能新建，请检查“课表”文件夹是否可写。");
    return;
  }
  ShowTimetable(app, answer->name);
  TimetablesChanged();
}

void RenameShown(AppObjects& app) {
  const std::string from = app.timetable.Name().Bytes();
  const std::optional<TimetableNameAnswer> answer =
      AskTimetableName(app.main_window.Handle(), true, from, NameCheck(app.program_dir, from));
  if (!answer || answer->name == from) return;
  const std::string& to = answer->name;
  // Read while the old name's file still exists, or its lines would not be read as naming it.
  PlanFileRead read = ReadPlanFile(app.program_dir);
  if (!read.problem.empty()) {
    TellPlanUnreadable(app, "课表" + Quoted(from) + "未改名");
    return;
  }
  DayPlan& plan = read.plan;
  const bool plan_changed = RenameInPlan(plan, from, to) > 0;
  // Before the file is renamed: a plan that cannot be saved leaves both as they are.
  if (plan_changed && !MaySaveAsGbk(nullptr, PlanFilePath(app.program_dir))) return;
  const TextValue from_file = TimetableFilePath(app.program_dir, from);
  const TextValue to_file = TimetableFilePath(app.program_dir, to);
  // Never replaces a file: a name taken meanwhile fails here.
  if (!MoveFileA(from_file.CStr(), to_file.CStr())) {
    Tell("课表" + Quoted(from) + "未能改名：文件可能正被使用，或已有同名课表。");
    return;
  }
  if (plan_changed && !WritePlanFile(app.program_dir, plan)) {
    MoveFileA(to_file.CStr(), from_file.CStr());
    Tell("日历文件未能写入，课表" + Quoted(from) + "未改名。");
    return;
  }
  // The rows and their unsaved edits stay; only the name is new.
  app.timetable.SetName(to);
  ShownTimetableChanged();
  TimetablesChanged(true);
}

void DeleteShown(AppObjects& app) {
  const std::string name = app.timetable.Name().Bytes();
  const PlanFileRead read = ReadPlanFile(app.program_dir);
  // Its lines could not be listed, and would ring 常规 unasked.
  if (!read.problem.empty()) {
    TellPlanUnreadable(app, "课表" + Quoted(name) + "未删除");
    return;
  }
  std::string text = "确定删除课表" + Quoted(name) + "吗？删除后无法恢复。";
  const std::vector<std::string> lines = LinesNaming(read.plan, name);
  if (!lines.empty()) {
    text += "\r\n\r\n日历中以下各行将改为打常规铃：";
    for (const std::string& line : lines) text += "\r\n" + line;
  }
  if (ShowMessageBox(nullptr, text, "删除课表", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
  if (!DeleteFileA(TimetableFilePath(app.program_dir, name).CStr())) {
    Tell("课表" + Quoted(name) + "未能删除：文件可能正被使用。");
    return;
  }
  ShowTimetable(app, kDefaultTimetableName);
  TimetablesChanged(true);
}

// The shown rows, unsaved edits included, as a spreadsheet opens them; written by a worker.
void ExportShownAsCsv(AppObjects& app) {
  const std::string name = app.timetable.Name().Bytes();
  const HWND window = app.main_window.Handle();
  const std::optional<TextValue> path = ChooseCsvFile(window, true, name + ".csv");
  if (!path) return;
  const bool started =
      RunThenPost(app.record_opening, window,
                  [name, path = *path,
                   text = TimetableCsvText(app.timetable.Rows())]() -> std::function<void()> {
                    if (ReplaceWholeFile(path, text)) return {};
                    return [name, path] {
                      Tell("课表" + Quoted(name) + "未能导出：\r\n" + path.Bytes() +
                           "\r\n请检查文件是否正被使用。");
                    };
                  });
  if (!started) Tell("课表" + Quoted(name) + "未能导出：没有可用的线程。");
}

// What a worker found in a CSV file for the shown timetable: its rows, missing files marked.
struct TimetableImport {
  std::string problem;  // the file could not be read
  TimetableCsvRead read;
};

// The preview of what a file read, and the rows taken when the user confirms. The shown
// timetable may have changed while the file was read: then nothing is taken.
void ShowTimetableImport(AppObjects& app, const std::string& name, TimetableImport import) {
  if (!import.problem.empty()) {
    Tell(import.problem);
    return;
  }
  if (app.timetable.Name().View() != name) return;
  TimetableCsvRead& read = import.read;
  CsvImportPreview preview;
  preview.caption = "从 CSV 导入到课表" + Quoted(name);
  preview.problems = read.problems;
  for (const TimetableEntry& row : read.rows) {
    preview.items.push_back(row.start_time.Bytes() + "    " +
                            (row.music_missing ? std::string(kMissingFileMarker) : std::string()) +
                            row.music_name.Bytes());
  }
  if (!read.problems.empty()) {
    preview.heading = "有 " + std::to_string(read.problems.size()) +
                      " 行无法识别，没有导入任何一行。请在表格中改正后再导入（每行：时间,音乐）。";
  } else if (read.rows.empty()) {
    preview.heading = "文件中没有可导入的行（每行：时间,音乐）。";
  } else {
    preview.heading = "以下 " + std::to_string(read.rows.size()) + " 行将替换课表" + Quoted(name) +
                      "现有的 " + std::to_string(app.timetable.Count()) +
                      " 行；按“4.保存”后才写入文件。";
  }
  if (!ConfirmCsvImport(app.main_window.Handle(), preview)) return;
  if (app.timetable.Name().View() != name) return;
  app.timetable_view.Replace(std::move(read.rows));
}

// A CSV file's rows, read by a worker and previewed, replace the shown timetable's as an edit
// ("4.保存" saves it); a file with any line that cannot be read changes nothing.
void ImportIntoShown(AppObjects& app) {
  const std::string name = app.timetable.Name().Bytes();
  const HWND window = app.main_window.Handle();
  const std::optional<TextValue> path = ChooseCsvFile(window, false, {});
  if (!path) return;
  const TextValue music_prefix = ConcatTexts(MusicFolderPath(), "\\");
  const bool started = RunThenPost(
      app.record_opening, window, [name, path = *path, music_prefix]() -> std::function<void()> {
        CsvFileRows file = ReadCsvRowsOf(path);
        TimetableImport import{std::move(file.problem), {}};
        if (import.problem.empty()) {
          import.read = TimetableFromCsv(file.rows);
          for (TimetableEntry& row : import.read.rows)
            row.music_missing = !FileExists(ConcatTexts(music_prefix, row.music_name));
        }
        return [name, import = std::move(import)]() mutable {
          if (HaveAppObjects()) ShowTimetableImport(App(), name, std::move(import));
        };
      });
  if (!started) Tell("无法导入：没有可用的线程。");
}

void FillChoice(AppObjects& app) {
  std::vector<TimetableChoiceItem>& items = app.choice_state.items;
  items = TimetableChoiceItems(ListTimetableNames(app.program_dir), app.timetable.Name().View(),
                               app.choice_state.read_only);
  DropListControl& list = app.timetable_choice;
  list.DeleteAllItems();
  int shown = -1;
  for (const TimetableChoiceItem& item : items) {
    const int index = list.AddItem(item.text);
    if (item.kind == Kind::kTimetable && item.name == app.timetable.Name().View()) shown = index;
  }
  list.CurrentSelection(shown);
}

// Runs what the chosen item says, then lists the timetables again with the shown one chosen.
void ActOnChoice() {
  if (!HaveAppObjects() || App().choice_state.acting) return;
  AppObjects& app = App();
  TimetableChoiceState& state = app.choice_state;
  const int index = app.timetable_choice.CurrentSelection();
  const std::vector<TimetableChoiceItem>& items = state.items;
  if (index < 0 || index >= static_cast<int>(items.size())) return;
  // A copy: the list is filled anew by what runs.
  const TimetableChoiceItem item = items[static_cast<std::size_t>(index)];
  if (item.kind == Kind::kTimetable && item.name == app.timetable.Name().View()) return;
  // An action item listed before the timetables became read-only does nothing.
  if (item.kind != Kind::kTimetable && state.read_only) {
    FillChoice(app);
    return;
  }
  state.acting = true;
  switch (item.kind) {
    case Kind::kTimetable:
      if (MayLeaveShown(app)) ShowTimetable(app, item.name);
      break;
    case Kind::kCreate:
      CreateTimetable(app);
      break;
    case Kind::kRename:
      RenameShown(app);
      break;
    case Kind::kDelete:
      DeleteShown(app);
      break;
    case Kind::kExportCsv:
      ExportShownAsCsv(app);
      break;
    case Kind::kImportCsv:
      ImportIntoShown(app);
      break;
  }
  FillChoice(app);
  state.acting = false;
}

std::int32_t OnChoiceChanged(const EventArgs&) {
  // While the list is down the keys walk through its items: the choice counts once it closes.
  if (HaveAppObjects() && !App().timetable_choice.IsDroppedDown()) ActOnChoice();
  return 0;
}

std::int32_t OnChoiceClosed(const EventArgs&) {
  ActOnChoice();
  return 0;
}

std::int32_t OnChoiceDropped(const EventArgs&) {
  // Files copied in or removed by hand show up when the user looks.
  if (HaveAppObjects() && !App().choice_state.acting) FillChoice(App());
  return 0;
}

std::int32_t OnPlanButton(const EventArgs&) {
  if (!HaveAppObjects()) return 0;
  AppObjects& app = App();
  // A copy: the window it opens may set another opener while it runs.
  if (const auto opener = app.choice_state.plan_opener) opener(app.main_window.Handle());
  return 0;
}

}  // namespace

std::vector<TimetableChoiceItem> TimetableChoiceItems(const std::vector<std::string>& names,
                                                      std::string_view shown, bool read_only) {
  std::vector<TimetableChoiceItem> items;
  for (const std::string& name : names) items.push_back({Kind::kTimetable, name, name});
  const auto named = items.begin() + (items.empty() ? 0 : 1);
  if (std::none_of(items.begin(), items.end(),
                   [shown](const TimetableChoiceItem& item) { return item.name == shown; })) {
    const auto place = std::lower_bound(
        named, items.end(), shown,
        [](const TimetableChoiceItem& item, std::string_view name) { return item.name < name; });
    items.insert(place, {Kind::kTimetable, std::string(shown), std::string(shown)});
  }
  if (read_only) return items;
  items.push_back({Kind::kCreate, "新建课表…", {}});
  if (shown != kDefaultTimetableName) {
    items.push_back({Kind::kRename, "重命名" + Quoted(shown) + "…", std::string(shown)});
    items.push_back({Kind::kDelete, "删除" + Quoted(shown) + "…", std::string(shown)});
  }
  items.push_back({Kind::kExportCsv, "导出为 CSV…", std::string(shown)});
  items.push_back({Kind::kImportCsv, "从 CSV 导入…", std::string(shown)});
  return items;
}

std::string NewTimetableNameProblem(std::string_view name, const std::vector<std::string>& names,
                                    std::string_view renaming) {
  std::string problem = TimetableNameProblem(name);
  if (!problem.empty()) return problem;
  // The plan would read such a name as a day without bells or a make-up day. Only new names:
  // a file named so already is listed and rings as before.
  if (name.starts_with(kQuietValue) || name.starts_with("按周"))
    return "课表名称不能以“停铃”或“按周”开头：日历中它们另有含义。";
  for (const std::string& other : names) {
    if (other != renaming && SameFileName(name, other))
      return "已有同名课表" + Quoted(other) + "。";
  }
  return {};
}

void AttachTimetableChoice(HWND dialog, MainWindowControls& controls) {
  controls.timetable_choice.AttachToDialogItem(dialog, BELVANE_ID_TIMETABLE_CHOICE);
  controls.today_line.AttachToDialogItem(dialog, BELVANE_ID_TODAY_LINE);
  controls.plan_button.AttachToDialogItem(dialog, BELVANE_ID_PLAN_BUTTON);
  controls.follow_line.AttachToDialogItem(dialog, BELVANE_ID_FOLLOW_LINE);
}

void StartTimetableChoice() {
  AppObjects& app = App();
  app.timetable_choice.BindSelectionChanged(&OnChoiceChanged);
  app.timetable_choice.BindClosedUp(&OnChoiceClosed);
  app.timetable_choice.BindDroppedDown(&OnChoiceDropped);
  app.plan_button.SetClickHandler(&OnPlanButton);
  FillChoice(app);
  ShowTodayLine();
}

void RefreshTimetableChoice() {
  if (HaveAppObjects()) FillChoice(App());
}

void ShownFilesReplaced(const std::vector<std::string>& names) {
  if (!HaveAppObjects()) return;
  AppObjects& app = App();
  const std::string shown = app.timetable.Name().Bytes();
  const std::string relative = TimetableFileName(shown);
  bool replaced = false;
  for (const std::string& name : names) replaced = replaced || SameFileName(name, relative);
  // Edits made here are kept: only what the user has not touched follows the files. While a
  // shared folder manages them the files are what rings, so the window shows them.
  if (replaced && (!app.timetable.Modified() || app.choice_state.read_only)) {
    if (!FileExists(TimetableFilePath(app.program_dir, shown)) && shown != kDefaultTimetableName) {
      ShowTimetable(app, kDefaultTimetableName);
    } else {
      ShowTimetable(app, shown);
    }
  }
  FillChoice(app);
}

void ShowTodayLine() {
  if (!HaveAppObjects()) return;
  AppObjects& app = App();
  const std::string today = TodayLineText(TodaysChoice());
  // The report at the followed folder says the same.
  app.campus.TodayIs(TodaysChoice().quiet ? "停铃" : TodaysChoice().name,
                     TodaysChoice().quiet ? TodaysChoice().reason : TodaysChoice().why);
  const std::vector<std::string>& parts = app.choice_state.today_additions;
  const std::string& wake = app.choice_state.wake_text;
  std::string line = wake.empty() ? today : today + "  " + wake;
  std::string tip;
  std::string follow;
  if (!parts.empty() || !wake.empty()) {
    tip = wake.empty() ? today : today + "\r\n" + wake;
    for (const std::string& part : parts) {
      line += "  " + part;
      tip += "\r\n" + part;
      follow += (follow.empty() ? std::string() : std::string("  ")) + part;
    }
  }
  app.today_line.Caption(line);
  // The strip beside the clock is narrow: the additions are also shown whole below the list.
  const std::string& notice = app.choice_state.notice;
  if (!notice.empty()) follow += (follow.empty() ? std::string() : std::string("  ")) + notice;
  app.follow_line.Caption(follow);
  // Never made while nothing is added: the line stays as it always was.
  if (!tip.empty() || app.choice_state.today_tip != nullptr) ShowTodayTip(app, tip);
}

void ShowWakeText(const std::string& text) {
  if (!HaveAppObjects() || App().choice_state.wake_text == text) return;
  App().choice_state.wake_text = text;
  ShowTodayLine();
}

void SetTodayLineAdditions(std::vector<std::string> parts) {
  if (HaveAppObjects()) App().choice_state.today_additions = std::move(parts);
}

void ShowNotice(std::string notice) {
  if (!HaveAppObjects()) return;
  App().choice_state.notice = std::move(notice);
  ShowTodayLine();
}

void SetTimetablesReadOnly(bool read_only) {
  if (!HaveAppObjects() || App().choice_state.read_only == read_only) return;
  App().choice_state.read_only = read_only;
  RefreshTimetableChoice();
}

bool TimetablesReadOnly() {
  return HaveAppObjects() && App().choice_state.read_only;
}

bool MayStartFollowing() {
  if (!HaveAppObjects()) return true;
  AppObjects& app = App();
  if (!MayLeaveShown(app, "跟随共享文件夹", "跟随共享文件夹")) return false;
  // Dropped: the file's rows, which the clock rings, are shown again.
  if (app.timetable.Modified()) {
    const std::string shown = app.timetable.Name().Bytes();
    if (!ShowTimetable(app, shown)) ShowTimetable(app, kDefaultTimetableName);
  }
  return true;
}

void SetPlanWindowOpener(std::function<void(HWND owner)> opener) {
  if (HaveAppObjects()) App().choice_state.plan_opener = std::move(opener);
}

void SaveTimetable() {
  // The shared folder's copy is not overwritten here: the button is disabled while following.
  if (TimetablesReadOnly()) return;
  SaveShownTimetable();
}

}  // namespace belvane
