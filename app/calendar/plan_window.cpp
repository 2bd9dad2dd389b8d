#include "app/calendar/plan_window.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/calendar/plan_view_model.h"
#include "app/calendar/today.h"
#include "app/timetable/gbk_save.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable/timetable_library.h"
#include "app/timetable/timetable_rules.h"
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
#include "ui/dialog_frame.h"
#include "ui/dpi.h"
#include "ui/form_window.h"

namespace belvane {

namespace {

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

// ---- Drop-lists

void FillDropList(DropListControl& list, const std::vector<std::string>& texts, int select) {
  list.DeleteAllItems();
  for (const std::string& text : texts) list.AddItem(text);
  list.CurrentSelection(select);
}

// Attaches the seven weekday drop-downs (Monday's id first) and shows the week's entries.
void ShowWeekdayChoices(std::array<DropListControl, 7>& days, HWND dialog, int monday_id,
                        const WeekPlan& week, const std::vector<std::string>& names,
                        bool seasonal) {
  const std::vector<std::string> choices = WeekdayChoiceTexts(names, seasonal);
  for (int day = 0; day < 7; ++day) {
    days[day].AttachToDialogItem(dialog, monday_id + day);
    FillDropList(days[day], choices, WeekdayChoiceIndex(week.days[day], names));
  }
}

// Takes the seven drop-downs' choices into the week; true when any entry changed. An unchanged
// choice keeps its entry as written (a quiet day's reason too).
bool TakeWeekdayChoices(const std::array<DropListControl, 7>& days,
                        const std::vector<std::string>& names, WeekPlan& week) {
  bool any = false;
  for (int day = 0; day < 7; ++day) {
    const int index = days[day].CurrentSelection();
    if (index == WeekdayChoiceIndex(week.days[day], names)) continue;
    week.days[day] = WeekdayChoiceValue(index, names);
    any = true;
  }
  return any;
}

// ---- The plan's two small dialogs

// What the dated line's and the seasonal plan's dialogs share: the frame (OK, Cancel, Enter,
// Esc, the refusal box), the timetables offered, the from and to pickers, and taking or
// refusing an answer. A dialog keeps its value unchanged until an answer is taken.
class PlanLineDialog {
 public:
  PlanLineDialog(const PlanLineDialog&) = delete;
  PlanLineDialog& operator=(const PlanLineDialog&) = delete;

 protected:
  // The template and its items' ids.
  struct Ids {
    int dialog;
    int from;
    int to;
    int ok;
    int cancel;
  };

  PlanLineDialog(std::string caption, const Ids& ids, const std::vector<std::string>& names)
      : frame_(std::move(caption)), ids_(ids), names_(names) {}
  virtual ~PlanLineDialog() = default;

  // Runs the dialog over `owner`, the pickers showing `dates`; true when an answer was taken.
  bool Run(HWND owner, DateRange dates) {
    return frame_.Run(owner, ids_.dialog, [this, dates](HWND dialog) {
      from_.AttachToDialogItem(dialog, ids_.from);
      to_.AttachToDialogItem(dialog, ids_.to);
      from_.Date(SystemTimeOf(dates.from));
      to_.Date(SystemTimeOf(dates.to));
      // The buttons take the program's font, as the dialog's other controls do.
      frame_.BindAcceptAndCancel(
          dialog, ids_.ok, ids_.cancel, [this] { return Accept(); }, /*keep_fonts=*/true);
      Init(dialog);
    });
  }

  DateRange PickedDates() const { return {PickedDate(from_), PickedDate(to_)}; }
  const std::vector<std::string>& Names() const { return names_; }
  DatePickerControl& From() { return from_; }
  DatePickerControl& To() { return to_; }

 private:
  // Sets up the dialog's own controls, once the pickers and the buttons are in place.
  virtual void Init(HWND dialog) = 0;
  // Takes the answer the controls show into the dialog's value; why it cannot be taken (the
  // value then unchanged), empty when it was.
  virtual std::string TakeAnswer() = 0;

  bool Accept() {
    const std::string problem = TakeAnswer();
    if (problem.empty()) return true;
    frame_.Refuse(problem);
    return false;
  }

  DialogFrame frame_;
  const Ids ids_;
  const std::vector<std::string>& names_;
  DatePickerControl from_;
  DatePickerControl to_;
};

// A [日期] line or a [停铃] range. The value drop-down: the timetables, "按周一" ... "按周日",
// then "停铃".
class DatedDialog : public PlanLineDialog {
 public:
  DatedDialog(const std::vector<std::string>& names, const DatedEdit& edit)
      : PlanLineDialog("按日期",
                       {BELVANE_DIALOG_PLAN_DATED, BELVANE_ID_DATED_FROM, BELVANE_ID_DATED_TO,
                        BELVANE_ID_DATED_OK, BELVANE_ID_DATED_CANCEL},
                       names),
        edit_(edit) {}

  // Runs over `owner`; true, with `edit` changed, when accepted.
  bool Edit(HWND owner, DatedEdit& edit) {
    if (!Run(owner, edit_.dates)) return false;
    edit = edit_;
    return true;
  }

 private:
  int NameCount() const { return static_cast<int>(Names().size()); }
  int QuietIndex() const { return NameCount() + 7; }

  int ValueIndex(const PlanValue& value) const {
    switch (value.kind) {
      case PlanValue::Kind::kQuiet:
        return QuietIndex();
      case PlanValue::Kind::kAsWeekday:
        return NameCount() + value.weekday;
      case PlanValue::Kind::kTimetable:
        for (int i = 0; i < NameCount(); ++i)
          if (Names()[i] == value.name) return i;
        return 0;
    }
    return 0;
  }

  PlanValue ValueOf(int index) const {
    const int n = NameCount();
    if (index >= 0 && index < n) return {PlanValue::Kind::kTimetable, Names()[index], {}, 0};
    if (index >= n && index < n + 7) return {PlanValue::Kind::kAsWeekday, {}, {}, index - n};
    return {PlanValue::Kind::kQuiet, {}, TrimmedText(reason_), 0};
  }

  void Init(HWND dialog) override {
    kind_.AttachToDialogItem(dialog, BELVANE_ID_DATED_KIND);
    value_.AttachToDialogItem(dialog, BELVANE_ID_DATED_VALUE);
    reason_.AttachToDialogItem(dialog, BELVANE_ID_DATED_REASON);
    FillDropList(kind_, {"一天", "连续多天停铃"}, edit_.dates.from != edit_.dates.to ? 1 : 0);
    std::vector<std::string> values = Names();
    for (int day = 0; day < 7; ++day)
      values.push_back(PlanValueText({PlanValue::Kind::kAsWeekday, {}, {}, day}));
    values.emplace_back(kQuietValue);
    FillDropList(value_, values, ValueIndex(edit_.value));
    if (edit_.value.kind == PlanValue::Kind::kQuiet) reason_.Text(edit_.value.reason);
    ShowKind();
    kind_.BindSelectionChanged(EventHandler::Member(this, &DatedDialog::ShowKind));
    value_.BindSelectionChanged(EventHandler::Member(this, &DatedDialog::ShowKind));
    kind_.SetFocus();
  }

  // A range is quiet; the reason belongs to a quiet day only.
  void ShowKind() {
    const bool range = kind_.CurrentSelection() == 1;
    To().Disabled(!range);
    if (range) value_.CurrentSelection(QuietIndex());
    value_.Disabled(range);
    reason_.Disabled(value_.CurrentSelection() != QuietIndex());
  }

  std::string TakeAnswer() override {
    DatedEdit edit;
    edit.dates = PickedDates();
    if (kind_.CurrentSelection() != 1) edit.dates.to = edit.dates.from;
    edit.value = ValueOf(value_.CurrentSelection());
    std::string problem = DatedEditProblem(edit);
    if (problem.empty()) edit_ = edit;
    return problem;
  }

  DatedEdit edit_;
  DropListControl kind_;  // 0 one day, 1 a range of quiet days
  DropListControl value_;
  EditControl reason_;
};

// A seasonal weekly plan: its range and its seven entries.
class SeasonDialog : public PlanLineDialog {
 public:
  SeasonDialog(const std::vector<std::string>& names, const SeasonalWeek& season)
      : PlanLineDialog("按季节的每周",
                       {BELVANE_DIALOG_PLAN_SEASON, BELVANE_ID_SEASON_FROM, BELVANE_ID_SEASON_TO,
                        BELVANE_ID_SEASON_OK, BELVANE_ID_SEASON_CANCEL},
                       names),
        season_(season) {}

  // Runs over `owner`; true, with `season` changed, when accepted.
  bool Edit(HWND owner, SeasonalWeek& season) {
    if (!Run(owner, season_.range)) return false;
    season = season_;
    return true;
  }

 private:
  void Init(HWND dialog) override {
    ShowWeekdayChoices(days_, dialog, BELVANE_ID_SEASON_WEEKDAY, season_.week, Names(), true);
    From().SetFocus();
  }

  std::string TakeAnswer() override {
    const DateRange range = PickedDates();
    if (range.to < range.from) return "结束日期早于开始日期。";
    season_.range = range;
    TakeWeekdayChoices(days_, Names(), season_.week);
    return {};
  }

  SeasonalWeek season_;
  std::array<DropListControl, 7> days_;
};

// ---- The plan window

class PlanWindow {
 public:
  PlanWindow(const TextValue& program_dir, const TextValue& music_folder, bool read_only)
      : program_dir_(program_dir), music_folder_(music_folder), read_only_(read_only) {}
  PlanWindow(const PlanWindow&) = delete;
  PlanWindow& operator=(const PlanWindow&) = delete;

  // Reads the plan, runs the window over `owner`; true when the plan was saved.
  bool Run(HWND owner) {
    // A plan that exists but cannot be read now (locked, no rights) would be saved over as empty.
    const TextValue plan_file = PlanFilePath(program_dir_);
    if (FileExists(plan_file) && !ReadFileBytes(plan_file)) {
      ShowMessageBox(owner,
                     ("日历文件无法读取，只能查看，不能保存：\r\n" + plan_file.Bytes()).c_str(),
                     "日历", MB_OK | MB_ICONWARNING);
      read_only_ = true;
    }
    plan_ = ReadPlanFile(program_dir_).plan;
    names_ = NamesOffered(ListTimetableNames(program_dir_), plan_);
    form_.RunDialog(owner, BELVANE_DIALOG_PLAN, [this](const EventArgs& args) {
      SetUp(reinterpret_cast<HWND>(args[0]));
      Bind();
    });
    return saved_;
  }

 private:
  void SetUp(HWND dialog) {
    const unsigned dpi = WindowDpi(dialog);
    ShowWeekdayChoices(weekly_, dialog, BELVANE_ID_PLAN_WEEKDAY, plan_.weekly, names_, false);
    seasons_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASONS);
    season_add_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASON_ADD);
    season_change_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASON_CHANGE);
    season_delete_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SEASON_DELETE);
    dated_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED);
    dated_.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    dated_.InsertColumn(0, "日期", ScalePixels(150, dpi));
    dated_.InsertColumn(1, "安排", ScalePixels(60, dpi));
    dated_.InsertColumn(2, "说明", ScalePixels(120, dpi));
    dated_add_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED_ADD);
    dated_change_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED_CHANGE);
    dated_delete_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_DATED_DELETE);
    unread_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_UNREAD);
    preview_date_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_PREVIEW_DATE);
    preview_heading_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_PREVIEW_HEADING);
    preview_rows_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_PREVIEW_ROWS);
    preview_rows_.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    preview_rows_.InsertColumn(0, "时间", ScalePixels(70, dpi));
    preview_rows_.InsertColumn(1, "音乐", ScalePixels(300, dpi));
    save_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SAVE);
    cancel_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_CANCEL);

    ShowSeasons(-1);
    ShowDated(std::nullopt);
    if (plan_.unread.empty()) unread_.AddItem("无");
    for (const UnreadLine& line : plan_.unread) unread_.AddItem(UnreadLineText(line));
    ShowDateInPreview(Today());
    ShowPreview();
    if (read_only_) ShowReadOnly();
  }

  void Bind() {
    for (DropListControl& day : weekly_)
      day.BindSelectionChanged(EventHandler::Member(this, &PlanWindow::WeeklyChosen));
    season_add_.SetClickHandler(EventHandler::Member(this, &PlanWindow::AddSeason));
    season_change_.SetClickHandler(EventHandler::Member(this, &PlanWindow::ChangeSeason));
    seasons_.BindDoubleClick(EventHandler::Member(this, &PlanWindow::ChangeSeason));
    season_delete_.SetClickHandler(EventHandler::Member(this, &PlanWindow::DeleteSeason));
    dated_add_.SetClickHandler(EventHandler::Member(this, &PlanWindow::AddDatedLine));
    dated_change_.SetClickHandler(EventHandler::Member(this, &PlanWindow::ChangeDatedLine));
    dated_.BindDoubleClick(EventHandler::Member(this, &PlanWindow::ChangeDatedLine));
    dated_delete_.SetClickHandler(EventHandler::Member(this, &PlanWindow::DeleteDatedLineChosen));
    preview_date_.BindDateChanged(EventHandler::Member(this, &PlanWindow::ShowPreview));
    save_.SetClickHandler(EventHandler::Member(this, &PlanWindow::Save));
    cancel_.SetClickHandler([this](const EventArgs&) { form_.Close(); });
    // Esc asks as 取消 does; Enter does not save a plan by accident.
    form_.BindMenuCommand([this](const EventArgs& args) {
      if (args[0] == IDCANCEL) form_.Close();
    });
    form_.SetCloseHandler(EventHandler::Member(this, &PlanWindow::ConfirmClose));
  }

  // The lists stay enabled, so that their lines can be scrolled and read.
  void ShowReadOnly() {
    form_.SetText("日历：哪天用哪个课表（由共享文件夹管理，只能查看）");
    for (DropListControl& day : weekly_) day.Disabled(true);
    for (ButtonControl* button : {&season_add_, &season_change_, &season_delete_, &dated_add_,
                                  &dated_change_, &dated_delete_, &save_})
      button->Disabled(true);
    cancel_.Caption("关闭");
  }

  // A timetable's rows as the preview shows them: read once per window.
  const std::vector<TimetableEntry>& RowsOf(const std::string& name) {
    const auto [it, added] = rows_read_.try_emplace(name);
    if (added) {
      const std::unique_ptr<ProfileStore> store =
          OpenTimetableStore(TimetableFilePath(program_dir_, name));
      const TextValue prefix = ConcatTexts(music_folder_, "\\");
      it->second = ReadTimetableFrom(*store, [&prefix](const TextValue& music) {
        return FileExists(ConcatTexts(prefix, music));
      });
    }
    return it->second;
  }

  void ShowPreview() {
    if (preview_rows_.Handle() == nullptr) return;  // still being set up
    const PlanDate date = PickedDate(preview_date_);
    const DayChoice choice = ResolveDay(plan_, date);
    preview_heading_.Caption(PreviewHeading(date, choice));
    preview_rows_.SuspendRedraw();
    preview_rows_.DeleteAllRows();
    if (!choice.quiet) {
      for (const TimetableEntry& entry : RowsOf(choice.name)) {
        const int row = preview_rows_.InsertRow(std::nullopt, entry.start_time);
        preview_rows_.SetCellText(row, 1, ShownMusicText(entry.music_name, !entry.music_missing));
      }
    }
    preview_rows_.ResumeRedraw();
    preview_rows_.Redraw();
  }

  void ShowDateInPreview(PlanDate date) { preview_date_.Date(SystemTimeOf(date)); }

  void ShowSeasons(int select) {
    seasons_.DeleteAllItems();
    for (const SeasonalWeek& season : plan_.seasons) seasons_.AddItem(SeasonSummary(season));
    seasons_.CurrentSelection(select);
  }

  void ShowDated(std::optional<DatedLineRef> select) {
    dated_rows_ = DatedRows(plan_);
    dated_.SuspendRedraw();
    dated_.DeleteAllRows();
    for (const DatedRow& r : dated_rows_) {
      const int row = dated_.InsertRow(std::nullopt, r.date);
      dated_.SetCellText(row, 1, r.plan);
      dated_.SetCellText(row, 2, r.note);
      if (select && r.line == *select) {
        dated_.SetCurrentRow(row);
        dated_.FocusRow(row);
      }
    }
    dated_.ResumeRedraw();
    dated_.Redraw();
    if (const int row = dated_.SelectionMark(); row >= 0) dated_.ScrollRowIntoView(row);
  }

  void PlanChanged() {
    changed_ = true;
    ShowPreview();
  }

  void WeeklyChosen() {
    if (TakeWeekdayChoices(weekly_, names_, plan_.weekly)) PlanChanged();
  }

  void AddSeason() {
    const PlanDate from = PickedDate(preview_date_);
    SeasonalWeek season{{from, DateOfClockDay(ClockDayOf(from) + 29)}, {}};
    if (!SeasonDialog(names_, season).Edit(form_.Handle(), season)) return;
    plan_.seasons.push_back(season);
    ShowSeasons(static_cast<int>(plan_.seasons.size()) - 1);
    PlanChanged();
  }

  void ChangeSeason() {
    if (read_only_) return;  // a double click
    const int index = seasons_.CurrentSelection();
    if (index < 0 || index >= static_cast<int>(plan_.seasons.size())) return;
    SeasonalWeek season = plan_.seasons[index];
    if (!SeasonDialog(names_, season).Edit(form_.Handle(), season)) return;
    plan_.seasons[index] = season;
    ShowSeasons(index);
    PlanChanged();
  }

  void DeleteSeason() {
    const int index = seasons_.CurrentSelection();
    if (index < 0 || index >= static_cast<int>(plan_.seasons.size())) return;
    plan_.seasons.erase(plan_.seasons.begin() + index);
    ShowSeasons(std::min(index, static_cast<int>(plan_.seasons.size()) - 1));
    PlanChanged();
  }

  std::optional<DatedLineRef> CurrentDatedLine() const {
    const std::vector<int> rows = dated_.SelectedRows();
    if (rows.empty() || rows[0] >= static_cast<int>(dated_rows_.size())) return std::nullopt;
    return dated_rows_[rows[0]].line;
  }

  void AddDatedLine() {
    const PlanDate date = PickedDate(preview_date_);
    // A new day most often gets another timetable than the default one.
    const std::string name = names_.size() > 1 ? names_[1] : names_[0];
    DatedEdit edit{{date, date}, {PlanValue::Kind::kTimetable, name, {}, 0}};
    if (!DatedDialog(names_, edit).Edit(form_.Handle(), edit)) return;
    PutDated(std::nullopt, edit);
  }

  void ChangeDatedLine() {
    if (read_only_) return;  // a double click
    const std::optional<DatedLineRef> line = CurrentDatedLine();
    if (!line) return;
    DatedEdit edit = EditOfLine(plan_, *line);
    if (!DatedDialog(names_, edit).Edit(form_.Handle(), edit)) return;
    PutDated(line, edit);
  }

  // The edited line goes into the plan, and the preview moves to its first date.
  void PutDated(std::optional<DatedLineRef> replacing, const DatedEdit& edit) {
    ShowDated(PutDatedEdit(plan_, replacing, edit));
    ShowDateInPreview(edit.dates.from);
    PlanChanged();
  }

  void DeleteDatedLineChosen() {
    const std::optional<DatedLineRef> line = CurrentDatedLine();
    if (!line) return;
    DeleteDatedLine(plan_, *line);
    ShowDated(std::nullopt);
    PlanChanged();
  }

  void Save() {
    if (read_only_) return;
    if (!MaySaveAsGbk(form_.Handle(), PlanFilePath(program_dir_))) return;
    if (!WritePlanFile(program_dir_, plan_)) {
      ShowMessageBox(form_.Handle(),
                     "日历没有保存：无法写入 Belvane日历.ini。\r\n"
                     "请检查程序所在文件夹是否可写、文件是否被其他程序占用，然后再保存。",
                     "错误", MB_OK | MB_ICONERROR);
      return;
    }
    saved_ = true;
    form_.Close();
  }

  // 0 lets the window close.
  int ConfirmClose() {
    if (saved_ || !changed_) return 0;
    return ShowMessageBox(form_.Handle(), "日历已修改，还没有保存。不保存就关闭吗？", "日历",
                          MB_OKCANCEL | MB_ICONQUESTION) == IDOK
               ? 0
               : 1;
  }

  const TextValue program_dir_;
  const TextValue music_folder_;
  bool read_only_;
  DayPlan plan_;                      // as edited
  std::vector<std::string> names_;    // the timetables offered
  std::vector<DatedRow> dated_rows_;  // as the dated list shows them
  // The timetables' rows the preview has read, by name.
  std::map<std::string, std::vector<TimetableEntry>> rows_read_;
  bool changed_ = false;
  bool saved_ = false;

  FormWindow form_;
  std::array<DropListControl, 7> weekly_;
  ListBoxControl seasons_;
  ButtonControl season_add_;
  ButtonControl season_change_;
  ButtonControl season_delete_;
  ListViewControl dated_;
  ButtonControl dated_add_;
  ButtonControl dated_change_;
  ButtonControl dated_delete_;
  ListBoxControl unread_;
  DatePickerControl preview_date_;
  LabelControl preview_heading_;
  ListViewControl preview_rows_;
  ButtonControl save_;
  ButtonControl cancel_;
};

}  // namespace

bool OpenPlanWindow(HWND owner, const TextValue& program_dir, const TextValue& music_folder,
                    bool read_only) {
  return PlanWindow(program_dir, music_folder, read_only).Run(owner);
}

}  // namespace belvane
