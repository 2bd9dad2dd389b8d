#include "app/calendar/plan_window.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/calendar/plan_view_model.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable/timetable_library.h"
#include "app/timetable/timetable_rules.h"
#include "app/calendar/today.h"
#include "app/timetable/gbk_save.h"
#include "resources/resource.h"
#include "runtime/files.h"
#include "runtime/inifile/profile_document.h"
#include "runtime/message_box.h"
#include "runtime/text.h"
#include "ui/controls/button_control.h"
#include "ui/controls/date_picker_control.h"
#include "ui/controls/drop_list_control.h"
#include "ui/controls/edit_control.h"
#include "ui/controls/label_control.h"
#include "ui/controls/list_box_control.h"
#include "ui/controls/list_view_control.h"
#include "ui/dpi.h"
#include "ui/form_window.h"

namespace belvane {

namespace {

// The window's handlers are plain functions: each finds what it works on through the pointer
// to the one dialog of its kind that is open (set for the dialog's modal run, on this thread).

// ---- Dates between the pickers and the plan

PlanDate PlanDateOf(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth, time.wDay};
}

SYSTEMTIME SystemTimeOf(PlanDate date) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(date.year);
  time.wMonth = static_cast<WORD>(date.month);
  time.wDay = static_cast<WORD>(date.day);
  time.wDayOfWeek = static_cast<WORD>((WeekdayOf(date) + 1) % 7);  // 0 = Sunday there
  return time;
}

PlanDate Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return PlanDateOf(now);
}

PlanDate PickedDate(const DatePickerControl& picker) {
  const std::optional<SYSTEMTIME> date = picker.Date();
  return date ? PlanDateOf(*date) : Today();
}

std::string Trimmed(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Sets the running dialog's pointer for its modal run.
template <typename Dialog>
class OpenDialog {
 public:
  OpenDialog(Dialog*& slot, Dialog& dialog) : slot_(slot), before_(slot) { slot_ = &dialog; }
  ~OpenDialog() { slot_ = before_; }
  OpenDialog(const OpenDialog&) = delete;
  OpenDialog& operator=(const OpenDialog&) = delete;

 private:
  Dialog*& slot_;
  Dialog* before_;
};

void FillDropList(DropListControl& list, const std::vector<std::string>& texts, int select) {
  list.DeleteAllItems();
  for (const std::string& text : texts) list.AddItem(text);
  list.CurrentSelection(select);
}

// ---- The dated line's dialog

// The value drop-down: the timetables, "按周一" ... "按周日", then "停铃".
struct DatedDialog {
  DatedEdit edit;
  const std::vector<std::string>* names = nullptr;
  bool accepted = false;
  FormWindow form;
  DropListControl kind;  // 0 one day, 1 a range of quiet days
  DatePickerControl from;
  DatePickerControl to;
  DropListControl value;
  EditControl reason;
  ButtonControl ok;
  ButtonControl cancel;

  int QuietIndex() const { return static_cast<int>(names->size()) + 7; }
};
DatedDialog* g_dated = nullptr;

int DatedValueIndex(const DatedDialog& d, const PlanValue& value) {
  const int n = static_cast<int>(d.names->size());
  switch (value.kind) {
    case PlanValue::Kind::kQuiet:
      return d.QuietIndex();
    case PlanValue::Kind::kAsWeekday:
      return n + value.weekday;
    case PlanValue::Kind::kTimetable:
      for (int i = 0; i < n; ++i)
        if ((*d.names)[i] == value.name) return i;
      return 0;
  }
  return 0;
}

PlanValue DatedValueOf(const DatedDialog& d, int index) {
  const int n = static_cast<int>(d.names->size());
  if (index >= 0 && index < n) return {PlanValue::Kind::kTimetable, (*d.names)[index], {}, 0};
  if (index >= n && index < n + 7) return {PlanValue::Kind::kAsWeekday, {}, {}, index - n};
  return {PlanValue::Kind::kQuiet, {}, Trimmed(d.reason.Text().Bytes()), 0};
}

// A range is quiet; the reason belongs to a quiet day only.
void DatedShowKind() {
  DatedDialog& d = *g_dated;
  const bool range = d.kind.CurrentSelection() == 1;
  d.to.Disabled(!range);
  if (range) d.value.CurrentSelection(d.QuietIndex());
  d.value.Disabled(range);
  d.reason.Disabled(d.value.CurrentSelection() != d.QuietIndex());
}

// A small dialog's OK and cancel buttons, with Enter and Esc doing the same.
template <void (*Accept)(), void (*Cancel)()>
void BindAcceptAndCancel(FormWindow& form, ButtonControl& ok, ButtonControl& cancel) {
  ok.SetClickHandler([](const EventArgs&) -> std::int32_t {
    Accept();
    return 0;
  });
  cancel.SetClickHandler([](const EventArgs&) -> std::int32_t {
    Cancel();
    return 0;
  });
  form.BindMenuCommand([](const EventArgs& a) -> std::int32_t {
    if (a[0] == IDOK) Accept();
    if (a[0] == IDCANCEL) Cancel();
    return 0;
  });
}

void DatedClose() {
  g_dated->form.Close();
}

void DatedAccept() {
  DatedDialog& d = *g_dated;
  DatedEdit edit;
  edit.dates.from = PickedDate(d.from);
  edit.dates.to = d.kind.CurrentSelection() == 1 ? PickedDate(d.to) : edit.dates.from;
  edit.value = DatedValueOf(d, d.value.CurrentSelection());
  const std::string problem = DatedEditProblem(edit);
  if (!problem.empty()) {
    ShowMessageBox(d.form.Handle(), problem, "按日期", MB_OK | MB_ICONWARNING);
    return;
  }
  d.edit = edit;
  d.accepted = true;
  d.form.Close();
}

std::int32_t DatedInit(const EventArgs& args) {
  const auto dialog = reinterpret_cast<HWND>(args[0]);
  DatedDialog& d = *g_dated;
  d.kind.AttachToDialogItem(dialog, BELVANE_ID_DATED_KIND);
  d.from.AttachToDialogItem(dialog, BELVANE_ID_DATED_FROM);
  d.to.AttachToDialogItem(dialog, BELVANE_ID_DATED_TO);
  d.value.AttachToDialogItem(dialog, BELVANE_ID_DATED_VALUE);
  d.reason.AttachToDialogItem(dialog, BELVANE_ID_DATED_REASON);
  d.ok.AttachToDialogItem(dialog, BELVANE_ID_DATED_OK);
  d.cancel.AttachToDialogItem(dialog, BELVANE_ID_DATED_CANCEL);

  const bool range = d.edit.dates.from != d.edit.dates.to;
  FillDropList(d.kind, {"一天", "连续多天停铃"}, range ? 1 : 0);
  d.from.Date(SystemTimeOf(d.edit.dates.from));
  d.to.Date(SystemTimeOf(d.edit.dates.to));
  std::vector<std::string> values = *d.names;
  for (int day = 0; day < 7; ++day)
    values.push_back(PlanValueText({PlanValue::Kind::kAsWeekday, {}, {}, day}));
  values.emplace_back(kQuietValue);
  FillDropList(d.value, values, DatedValueIndex(d, d.edit.value));
  if (d.edit.value.kind == PlanValue::Kind::kQuiet) d.reason.Text(d.edit.value.reason);
  DatedShowKind();

  auto show_kind = [](const EventArgs&) -> std::int32_t {
    DatedShowKind();
    return 0;
  };
  d.kind.BindSelectionChanged(show_kind);
  d.value.BindSelectionChanged(show_kind);
  BindAcceptAndCancel<&DatedAccept, &DatedClose>(d.form, d.ok, d.cancel);
  d.kind.SetFocus();
  return 0;
}

// Runs the dated line's dialog over `owner`; true, with `edit` changed, when accepted.
bool EditDatedLine(HWND owner, const std::vector<std::string>& names, DatedEdit& edit) {
  DatedDialog dialog;
  dialog.edit = edit;
  dialog.names = &names;
  const OpenDialog<DatedDialog> open(g_dated, dialog);
  dialog.form.RunDialog(owner, BELVANE_DIALOG_PLAN_DATED, &DatedInit);
  if (dialog.accepted) edit = dialog.edit;
  return dialog.accepted;
}

// ---- The seasonal weekly plan's dialog

struct SeasonDialog {
  SeasonalWeek season;
  const std::vector<std::string>* names = nullptr;
  bool accepted = false;
  FormWindow form;
  DatePickerControl from;
  DatePickerControl to;
  std::array<DropListControl, 7> days;
  ButtonControl ok;
  ButtonControl cancel;
};
SeasonDialog* g_season = nullptr;

void SeasonClose() {
  g_season->form.Close();
}

void SeasonAccept() {
  SeasonDialog& d = *g_season;
  const DateRange range{PickedDate(d.from), PickedDate(d.to)};
  if (range.to < range.from) {
    ShowMessageBox(d.form.Handle(), "结束日期早于开始日期。", "按季节的每周",
                   MB_OK | MB_ICONWARNING);
    return;
  }
  d.season.range = range;
  for (int day = 0; day < 7; ++day) {
    const int index = d.days[day].CurrentSelection();
    // An unchanged choice keeps its entry as written (a quiet day's reason too).
    if (index != WeekdayChoiceIndex(d.season.week.days[day], *d.names))
      d.season.week.days[day] = WeekdayChoiceValue(index, *d.names);
  }
  d.accepted = true;
  d.form.Close();
}

std::int32_t SeasonInit(const EventArgs& args) {
  const auto dialog = reinterpret_cast<HWND>(args[0]);
  SeasonDialog& d = *g_season;
  d.from.AttachToDialogItem(dialog, BELVANE_ID_SEASON_FROM);
  d.to.AttachToDialogItem(dialog, BELVANE_ID_SEASON_TO);
  d.ok.AttachToDialogItem(dialog, BELVANE_ID_SEASON_OK);
  d.cancel.AttachToDialogItem(dialog, BELVANE_ID_SEASON_CANCEL);
  d.from.Date(SystemTimeOf(d.season.range.from));
  d.to.Date(SystemTimeOf(d.season.range.to));
  const std::vector<std::string> choices = WeekdayChoiceTexts(*d.names, true);
  for (int day = 0; day < 7; ++day) {
    d.days[day].AttachToDialogItem(dialog, BELVANE_ID_SEASON_WEEKDAY + day);
    FillDropList(d.days[day], choices, WeekdayChoiceIndex(d.season.week.days[day], *d.names));
  }
  BindAcceptAndCancel<&SeasonAccept, &SeasonClose>(d.form, d.ok, d.cancel);
  d.from.SetFocus();
  return 0;
}

bool EditSeason(HWND owner, const std::vector<std::string>& names, SeasonalWeek& season) {
  SeasonDialog dialog;
  dialog.season = season;
  dialog.names = &names;
  const OpenDialog<SeasonDialog> open(g_season, dialog);
  dialog.form.RunDialog(owner, BELVANE_DIALOG_PLAN_SEASON, &SeasonInit);
  if (dialog.accepted) season = dialog.season;
  return dialog.accepted;
}

// ---- The plan window

struct PlanWindow {
  TextValue program_dir;
  TextValue music_folder;
  DayPlan plan;                      // as edited
  std::vector<std::string> names;    // the timetables offered
  std::vector<DatedRow> dated_rows;  // as the dated list shows them
  // The timetables' rows the preview has read, by name: read once per window.
  std::map<std::string, std::vector<TimetableEntry>> rows_read;
  bool changed = false;
  bool saved = false;
  bool read_only = false;

  FormWindow form;
  std::array<DropListControl, 7> weekly;
  ListBoxControl seasons;
  ButtonControl season_add;
  ButtonControl season_change;
  ButtonControl season_delete;
  ListViewControl dated;
  ButtonControl dated_add;
  ButtonControl dated_change;
  ButtonControl dated_delete;
  ListBoxControl unread;
  DatePickerControl preview_date;
  LabelControl preview_heading;
  ListViewControl preview_rows;
  ButtonControl save;
  ButtonControl cancel;
};
PlanWindow* g_plan = nullptr;

const std::vector<TimetableEntry>& RowsOf(PlanWindow& w, const std::string& name) {
  const auto [it, added] = w.rows_read.try_emplace(name);
  if (added) {
    const std::unique_ptr<ProfileStore> store =
        OpenTimetableStore(TimetableFilePath(w.program_dir, name));
    const TextValue prefix = ConcatTexts(w.music_folder, "\\");
    it->second = ReadTimetableFrom(*store, [&prefix](const TextValue& music) {
      return FileExists(ConcatTexts(prefix, music));
    });
  }
  return it->second;
}

void ShowPreview() {
  PlanWindow& w = *g_plan;
  if (w.preview_rows.Handle() == nullptr) return;  // still being set up
  const PlanDate date = PickedDate(w.preview_date);
  const DayChoice choice = ResolveDay(w.plan, date);
  w.preview_heading.Caption(PreviewHeading(date, choice));
  w.preview_rows.SuspendRedraw();
  w.preview_rows.DeleteAllRows();
  if (!choice.quiet) {
    for (const TimetableEntry& entry : RowsOf(w, choice.name)) {
      const int row = w.preview_rows.InsertRow(std::nullopt, entry.start_time);
      w.preview_rows.SetCellText(row, 1, ShownMusicText(entry.music_name, !entry.music_missing));
    }
  }
  w.preview_rows.ResumeRedraw();
  w.preview_rows.Redraw();
}

void ShowSeasons(int select) {
  PlanWindow& w = *g_plan;
  w.seasons.DeleteAllItems();
  for (const SeasonalWeek& season : w.plan.seasons) w.seasons.AddItem(SeasonSummary(season));
  w.seasons.CurrentSelection(select);
}

void ShowDated(std::optional<DatedLineRef> select) {
  PlanWindow& w = *g_plan;
  w.dated_rows = DatedRows(w.plan);
  w.dated.SuspendRedraw();
  w.dated.DeleteAllRows();
  for (const DatedRow& r : w.dated_rows) {
    const int row = w.dated.InsertRow(std::nullopt, r.date);
    w.dated.SetCellText(row, 1, r.plan);
    w.dated.SetCellText(row, 2, r.note);
    if (select && r.line == *select) {
      w.dated.SetCurrentRow(row);
      w.dated.FocusRow(row);
    }
  }
  w.dated.ResumeRedraw();
  w.dated.Redraw();
  if (const int row = w.dated.SelectionMark(); row >= 0) w.dated.ScrollRowIntoView(row);
}

void PlanChanged() {
  g_plan->changed = true;
  ShowPreview();
}

void ShowDateInPreview(PlanDate date) {
  g_plan->preview_date.Date(SystemTimeOf(date));
}

void WeeklyChosen() {
  PlanWindow& w = *g_plan;
  bool any = false;
  for (int day = 0; day < 7; ++day) {
    const int index = w.weekly[day].CurrentSelection();
    // An unchanged choice keeps its entry as written (a quiet day's reason too).
    if (index == WeekdayChoiceIndex(w.plan.weekly.days[day], w.names)) continue;
    w.plan.weekly.days[day] = WeekdayChoiceValue(index, w.names);
    any = true;
  }
  if (any) PlanChanged();
}

void AddSeason() {
  PlanWindow& w = *g_plan;
  const PlanDate from = PickedDate(w.preview_date);
  SeasonalWeek season{{from, DateOfClockDay(ClockDayOf(from) + 29)}, {}};
  if (!EditSeason(w.form.Handle(), w.names, season)) return;
  w.plan.seasons.push_back(season);
  ShowSeasons(static_cast<int>(w.plan.seasons.size()) - 1);
  PlanChanged();
}

void ChangeSeason() {
  PlanWindow& w = *g_plan;
  if (w.read_only) return;  // a double click
  const int index = w.seasons.CurrentSelection();
  if (index < 0 || index >= static_cast<int>(w.plan.seasons.size())) return;
  SeasonalWeek season = w.plan.seasons[index];
  if (!EditSeason(w.form.Handle(), w.names, season)) return;
  w.plan.seasons[index] = season;
  ShowSeasons(index);
  PlanChanged();
}

void DeleteSeason() {
  PlanWindow& w = *g_plan;
  const int index = w.seasons.CurrentSelection();
  if (index < 0 || index >= static_cast<int>(w.plan.seasons.size())) return;
  w.plan.seasons.erase(w.plan.seasons.begin() + index);
  ShowSeasons(std::min(index, static_cast<int>(w.plan.seasons.size()) - 1));
  PlanChanged();
}

std::optional<DatedLineRef> CurrentDatedLine() {
  PlanWindow& w = *g_plan;
  const std::vector<int> rows = w.dated.SelectedRows();
  if (rows.empty() || rows[0] >= static_cast<int>(w.dated_rows.size())) return std::nullopt;
  return w.dated_rows[rows[0]].line;
}

void AddDatedLine() {
  PlanWindow& w = *g_plan;
  const PlanDate date = PickedDate(w.preview_date);
  // A new day most often gets another timetable than the default one.
  const std::string name = w.names.size() > 1 ? w.names[1] : w.names[0];
  DatedEdit edit{{date, date}, {PlanValue::Kind::kTimetable, name, {}, 0}};
  if (!EditDatedLine(w.form.Handle(), w.names, edit)) return;
  ShowDated(PutDatedEdit(w.plan, std::nullopt, edit));
  w.changed = true;
  ShowDateInPreview(edit.dates.from);
  ShowPreview();
}

void ChangeDatedLine() {
  PlanWindow& w = *g_plan;
  if (w.read_only) return;  // a double click
  const std::optional<DatedLineRef> line = CurrentDatedLine();
  if (!line) return;
  DatedEdit edit = EditOfLine(w.plan, *line);
  if (!EditDatedLine(w.form.Handle(), w.names, edit)) return;
  ShowDated(PutDatedEdit(w.plan, line, edit));
  w.changed = true;
  ShowDateInPreview(edit.dates.from);
  ShowPreview();
}

void DeleteDatedLineChosen() {
  PlanWindow& w = *g_plan;
  const std::optional<DatedLineRef> line = CurrentDatedLine();
  if (!line) return;
  DeleteDatedLine(w.plan, *line);
  ShowDated(std::nullopt);
  PlanChanged();
}

void SavePlan() {
  PlanWindow& w = *g_plan;
  if (w.read_only) return;
  if (!MaySaveAsGbk(w.form.Handle(), PlanFilePath(w.program_dir))) return;
  if (!WritePlanFile(w.program_dir, w.plan)) {
    ShowMessageBox(w.form.Handle(),
                   "日历没有保存：无法写入 Belvane日历.ini。\r\n"
                   "请检查程序所在文件夹是否可写、文件是否被其他程序占用，然后再保存。",
                   "错误", MB_OK | MB_ICONERROR);
    return;
  }
  w.saved = true;
  w.form.Close();
}

// 0 lets the window close.
std::int32_t ConfirmPlanClose(const EventArgs&) {
  const PlanWindow& w = *g_plan;
  if (w.saved || !w.changed) return 0;
  return ShowMessageBox(w.form.Handle(), "日历已修改，还没有保存。不保存就关闭吗？", "日历",
                        MB_OKCANCEL | MB_ICONQUESTION) == IDOK
             ? 0
             : 1;
}

// The lists stay enabled, so that their lines can be scrolled and read.
void ShowReadOnly(PlanWindow& w) {
  w.form.SetText("日历：哪天用哪个课表（由共享文件夹管理，只能查看）");
  for (DropListControl& day : w.weekly) day.Disabled(true);
  for (ButtonControl* button : {&w.season_add, &w.season_change, &w.season_delete, &w.dated_add,
                                &w.dated_change, &w.dated_delete, &w.save})
    button->Disabled(true);
  w.cancel.Caption("关闭");
}

void SetUpPlanWindow(HWND dialog) {
  PlanWindow& w = *g_plan;
  const unsigned dpi = WindowDpi(dialog);
  const std::vector<std::string> weekly_choices = WeekdayChoiceTexts(w.names, false);
  for (int day = 0; day < 7; ++day) {
    w.weekly[day].AttachToDialogItem(dialog, BELVANE_ID_PLAN_WEEKDAY + day);
    FillDropList(w.weekly[day], weekly_choices,
                 WeekdayChoiceIndex(w.plan.weekly.days[day], w.names));
  }
  w.seasons.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASONS);
  w.season_add.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASON_ADD);
  w.season_change.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASON_CHANGE);
  w.season_delete.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASON_DELETE);
  w.dated.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED);
  w.dated.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  w.dated.InsertColumn(0, "日期", ScalePixels(150, dpi));
  w.dated.InsertColumn(1, "安排", ScalePixels(60, dpi));
  w.dated.InsertColumn(2, "说明", ScalePixels(120, dpi));
  w.dated_add.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED_ADD);
  w.dated_change.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED_CHANGE);
  w.dated_delete.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED_DELETE);
  w.unread.AttachToDialogItem(dialog, BELVANE_ID_PLAN_UNREAD);
  w.preview_date.AttachToDialogItem(dialog, BELVANE_ID_PLAN_PREVIEW_DATE);
  w.preview_heading.AttachToDialogItem(dialog, BELVANE_ID_PLAN_PREVIEW_HEADING);
  w.preview_rows.AttachToDialogItem(dialog, BELVANE_ID_PLAN_PREVIEW_ROWS);
  w.preview_rows.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  w.preview_rows.InsertColumn(0, "时间", ScalePixels(70, dpi));
  w.preview_rows.InsertColumn(1, "音乐", ScalePixels(300, dpi));
  w.save.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SAVE);
  w.cancel.AttachToDialogItem(dialog, BELVANE_ID_PLAN_CANCEL);

  ShowSeasons(-1);
  ShowDated(std::nullopt);
  if (w.plan.unread.empty()) w.unread.AddItem("无");
  for (const UnreadLine& line : w.plan.unread) w.unread.AddItem(UnreadLineText(line));
  ShowDateInPreview(Today());
  ShowPreview();
  if (w.read_only) ShowReadOnly(w);
}

void BindPlanWindow() {
  PlanWindow& w = *g_plan;
  for (DropListControl& day : w.weekly) {
    day.BindSelectionChanged([](const EventArgs&) -> std::int32_t {
      WeeklyChosen();
      return 0;
    });
  }
  w.season_add.SetClickHandler([](const EventArgs&) -> std::int32_t {
    AddSeason();
    return 0;
  });
  w.season_change.SetClickHandler([](const EventArgs&) -> std::int32_t {
    ChangeSeason();
    return 0;
  });
  w.seasons.BindDoubleClick([](const EventArgs&) -> std::int32_t {
    ChangeSeason();
    return 0;
  });
  w.season_delete.SetClickHandler([](const EventArgs&) -> std::int32_t {
    DeleteSeason();
    return 0;
  });
  w.dated_add.SetClickHandler([](const EventArgs&) -> std::int32_t {
    AddDatedLine();
    return 0;
  });
  w.dated_change.SetClickHandler([](const EventArgs&) -> std::int32_t {
    ChangeDatedLine();
    return 0;
  });
  w.dated.BindDoubleClick([](const EventArgs&) -> std::int32_t {
    ChangeDatedLine();
    return 0;
  });
  w.dated_delete.SetClickHandler([](const EventArgs&) -> std::int32_t {
    DeleteDatedLineChosen();
    return 0;
  });
  w.preview_date.BindDateChanged([](const EventArgs&) -> std::int32_t {
    ShowPreview();
    return 0;
  });
  w.save.SetClickHandler([](const EventArgs&) -> std::int32_t {
    SavePlan();
    return 0;
  });
  w.cancel.SetClickHandler([](const EventArgs&) -> std::int32_t {
    g_plan->form.Close();
    return 0;
  });
  // Esc asks as 取消 does; Enter does not save a plan by accident.
  w.form.BindMenuCommand([](const EventArgs& a) -> std::int32_t {
    if (a[0] == IDCANCEL) g_plan->form.Close();
    return 0;
  });
  w.form.SetCloseHandler(&ConfirmPlanClose);
}

}  // namespace

bool OpenPlanWindow(HWND owner, const TextValue& program_dir, const TextValue& music_folder,
                    bool read_only) {
  PlanWindow window;
  window.read_only = read_only;
  window.program_dir = program_dir;
  window.music_folder = music_folder;
  // A plan that exists but cannot be read now (locked, no rights) would be saved over as empty.
  const TextValue plan_file = PlanFilePath(program_dir);
  if (FileExists(plan_file) && !ReadFileBytes(plan_file)) {
    ShowMessageBox(owner,
                   ("日历文件无法读取，只能查看，不能保存：\r\n" + plan_file.Bytes()).c_str(),
                   "日历", MB_OK | MB_ICONWARNING);
    window.read_only = true;
  }
  window.plan = ReadPlanFile(program_dir).plan;
  window.names = NamesOffered(ListTimetableNames(program_dir), window.plan);
  const OpenDialog<PlanWindow> open(g_plan, window);
  window.form.RunDialog(owner, BELVANE_DIALOG_PLAN, [](const EventArgs& args) -> std::int32_t {
    SetUpPlanWindow(reinterpret_cast<HWND>(args[0]));
    BindPlanWindow();
    return 0;
  });
  return window.saved;
}

}  // namespace belvane
