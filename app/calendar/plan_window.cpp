#include "app/calendar/plan_window.h"

#include <algorithm>
#include <array>
#include <commctrl.h>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/calendar/plan_view_model.h"
#include "app/calendar/today.h"
#include "app/schedule/exam_rows.h"
#include "app/schedule/session_csv.h"
#include "app/timetable/csv_file.h"
#include "app/timetable/csv_import_dialog.h"
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
#include "ui/ui_task.h"
#include "ui/window_layer.h"

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

// ---- The exam part's two small dialogs

// A time picker's value at `second` of the day (the date part is today's: only the time shows).
SYSTEMTIME TimeOfDay(int second) {
  SYSTEMTIME time = SystemTimeOf(Today());
  time.wHour = static_cast<WORD>(second / 3600);
  time.wMinute = static_cast<WORD>(second / 60 % 60);
  time.wSecond = static_cast<WORD>(second % 60);
  return time;
}

int PickedSecond(const DatePickerControl& picker) {
  const std::optional<SYSTEMTIME> time = picker.Date();
  return time ? time->wHour * 3600 + time->wMinute * 60 + time->wSecond : 0;
}

// A time picker that shows the seconds whatever the system's time format says.
void ShowSeconds(const DatePickerControl& picker) {
  SendMessageW(picker.Handle(), DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm:ss"));
}

// A session: its date, start, end and subject.
class ExamSessionDialog {
 public:
  explicit ExamSessionDialog(const ExamSession& session) : frame_("考试场次"), session_(session) {}
  ExamSessionDialog(const ExamSessionDialog&) = delete;
  ExamSessionDialog& operator=(const ExamSessionDialog&) = delete;

  // Runs over `owner`; true, with `session` changed, when accepted.
  bool Edit(HWND owner, ExamSession& session) {
    if (!frame_.Run(owner, BELVANE_DIALOG_PLAN_EXAM, [this](HWND dialog) { Init(dialog); }))
      return false;
    session = session_;
    return true;
  }

 private:
  void Init(HWND dialog) {
    date_.AttachToDialogItem(dialog, BELVANE_ID_EXAM_DATE);
    start_.AttachToDialogItem(dialog, BELVANE_ID_EXAM_START);
    end_.AttachToDialogItem(dialog, BELVANE_ID_EXAM_END);
    subject_.AttachToDialogItem(dialog, BELVANE_ID_EXAM_SUBJECT);
    ShowSeconds(start_);
    ShowSeconds(end_);
    date_.Date(SystemTimeOf(session_.date));
    start_.Date(TimeOfDay(session_.start_second));
    end_.Date(TimeOfDay(session_.end_second));
    subject_.LimitText(100);
    subject_.Text(session_.subject);
    frame_.BindAcceptAndCancel(
        dialog, BELVANE_ID_EXAM_OK, BELVANE_ID_EXAM_CANCEL, [this] { return Accept(); },
        /*keep_fonts=*/true);
    subject_.SetFocus();
  }

  bool Accept() {
    const ExamSession session{PickedDate(date_), PickedSecond(start_), PickedSecond(end_),
                              TrimmedText(subject_)};
    const std::string problem = ExamSessionProblem(session);
    if (!problem.empty()) {
      frame_.Refuse(problem, session.end_second > session.start_second ? &subject_ : nullptr);
      return false;
    }
    session_ = session;
    return true;
  }

  DialogFrame frame_;
  ExamSession session_;
  DatePickerControl date_;
  DatePickerControl start_;
  DatePickerControl end_;
  EditControl subject_;
};

// A template line: when, and its file from the music folder.
class ExamBellDialog {
 public:
  ExamBellDialog(const std::vector<std::string>& music, const ExamBell& bell)
      : frame_("考试铃"), music_(music), bell_(bell) {
    // A file the folder lacks now stays offered, so that an unchanged line keeps it.
    if (!bell_.music.empty() &&
        std::find(music_.begin(), music_.end(), bell_.music) == music_.end())
      music_.insert(music_.begin(), bell_.music);
  }
  ExamBellDialog(const ExamBellDialog&) = delete;
  ExamBellDialog& operator=(const ExamBellDialog&) = delete;

  // Runs over `owner`; true, with `bell` changed (its place in the file kept), when accepted.
  bool Edit(HWND owner, ExamBell& bell) {
    if (!frame_.Run(owner, BELVANE_DIALOG_PLAN_EXAM_BELL, [this](HWND dialog) { Init(dialog); }))
      return false;
    bell_.line = bell.line;
    bell = bell_;
    return true;
  }

 private:
  void Init(HWND dialog) {
    kind_.AttachToDialogItem(dialog, BELVANE_ID_BELL_KIND);
    minutes_.AttachToDialogItem(dialog, BELVANE_ID_BELL_MINUTES);
    file_.AttachToDialogItem(dialog, BELVANE_ID_BELL_MUSIC);
    const ExamBellChoice choice = ChoiceOfExamBell(bell_);
    FillDropList(kind_, ExamBellKindTexts(), choice.kind);
    minutes_.LimitText(8);
    minutes_.Text(choice.minutes);
    const auto chosen = std::find(music_.begin(), music_.end(), bell_.music);
    FillDropList(file_, music_,
                 chosen == music_.end() ? 0 : static_cast<int>(chosen - music_.begin()));
    kind_.BindSelectionChanged(EventHandler::Member(this, &ExamBellDialog::ShowKind));
    ShowKind();
    frame_.BindAcceptAndCancel(
        dialog, BELVANE_ID_BELL_OK, BELVANE_ID_BELL_CANCEL, [this] { return Accept(); },
        /*keep_fonts=*/true);
    kind_.SetFocus();
  }

  // 开始 and 结束 take no minutes.
  void ShowKind() {
    const int kind = kind_.CurrentSelection();
    minutes_.Disabled(kind == 1 || kind == 4);
  }

  bool Accept() {
    const int index = file_.CurrentSelection();
    if (index < 0 || index >= static_cast<int>(music_.size())) {
      frame_.Refuse("请选择音乐（mp3 文件夹中没有文件时，请先放入文件）。");
      return false;
    }
    const std::optional<ExamBell> bell =
        ExamBellOfChoice({kind_.CurrentSelection(), TrimmedText(minutes_)}, music_[index]);
    if (!bell) {
      frame_.Refuse("分钟数无法识别：请写整数（如 30），或分和秒（如 1:30）。", &minutes_);
      return false;
    }
    bell_ = *bell;
    return true;
  }

  DialogFrame frame_;
  std::vector<std::string> music_;
  ExamBell bell_;
  DropListControl kind_;
  EditControl minutes_;
  DropListControl file_;
};

// ---- The plan window

class PlanWindow {
 public:
  PlanWindow(const TextValue& program_dir, const TextValue& music_folder, bool read_only,
             PlanWindowExtras extras)
      : program_dir_(program_dir),
        music_folder_(music_folder),
        read_only_(read_only),
        extras_(std::move(extras)) {}
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
    preview_rows_.InsertColumn(1, "音乐", ScalePixels(220, dpi));
    preview_rows_.InsertColumn(2, "来源", ScalePixels(80, dpi));
    exams_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAMS);
    exams_.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    exams_.InsertColumn(0, "日期", ScalePixels(95, dpi));
    exams_.InsertColumn(1, "时间", ScalePixels(110, dpi));
    exams_.InsertColumn(2, "科目", ScalePixels(90, dpi));
    bells_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_BELLS);
    bells_.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    bells_.InsertColumn(0, "时间", ScalePixels(95, dpi));
    bells_.InsertColumn(1, "音乐", ScalePixels(200, dpi));
    exam_add_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAM_ADD);
    exam_change_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAM_CHANGE);
    exam_delete_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAM_DELETE);
    exam_import_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAM_IMPORT);
    exam_export_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAM_EXPORT);
    exam_clock_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_EXAM_CLOCK);
    bell_add_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_BELL_ADD);
    bell_change_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_BELL_CHANGE);
    bell_delete_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_BELL_DELETE);
    bell_default_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_BELL_DEFAULT);
    with_timetable_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_WITH_TIMETABLE);
    save_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_SAVE);
    cancel_.AttachToDialogItem(dialog, BELVANE_ID_PLAN_CANCEL);

    ShowSeasons(-1);
    ShowDated(std::nullopt);
    ShowExams(-1);
    ShowBells(-1);
    exam_clock_.Disabled(!extras_.open_exam_clock);
    // A CSV file read or written by a worker answers through the window's queue.
    SetMessageHook(dialog, [](HWND, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
      return RunUiTask(message, wparam, lparam) ? 1 : 0;
    });
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
    exam_add_.SetClickHandler(EventHandler::Member(this, &PlanWindow::AddExam));
    exam_change_.SetClickHandler(EventHandler::Member(this, &PlanWindow::ChangeExam));
    exams_.BindDoubleClick(EventHandler::Member(this, &PlanWindow::ChangeExam));
    exam_delete_.SetClickHandler(EventHandler::Member(this, &PlanWindow::DeleteExam));
    exam_import_.SetClickHandler(EventHandler::Member(this, &PlanWindow::ImportExams));
    exam_export_.SetClickHandler(EventHandler::Member(this, &PlanWindow::ExportExams));
    exam_clock_.SetClickHandler([this](const EventArgs&) {
      if (extras_.open_exam_clock) extras_.open_exam_clock(form_.Handle());
    });
    bell_add_.SetClickHandler(EventHandler::Member(this, &PlanWindow::AddBell));
    bell_change_.SetClickHandler(EventHandler::Member(this, &PlanWindow::ChangeBell));
    bells_.BindDoubleClick(EventHandler::Member(this, &PlanWindow::ChangeBell));
    bell_delete_.SetClickHandler(EventHandler::Member(this, &PlanWindow::DeleteBell));
    bell_default_.SetClickHandler(EventHandler::Member(this, &PlanWindow::RestoreDefaultBells));
    with_timetable_.SetClickHandler(EventHandler::Member(this, &PlanWindow::WithTimetableChosen));
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
    for (ButtonControl* button :
         {&season_add_, &season_change_, &season_delete_, &dated_add_, &dated_change_,
          &dated_delete_, &exam_add_, &exam_change_, &exam_delete_, &exam_import_, &bell_add_,
          &bell_change_, &bell_delete_, &bell_default_, &with_timetable_, &save_})
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
    auto show = [this](const TimetableEntry& entry) {
      const int row = preview_rows_.InsertRow(std::nullopt, entry.start_time);
      preview_rows_.SetCellText(row, 1, ShownMusicText(entry.music_name, !entry.music_missing));
      preview_rows_.SetCellText(row, 2, entry.source);
    };
    if (!choice.exams.empty()) {
      // The date's worked-out rows, then what cannot ring as written.
      const ExamDay day = WorkOutExamDay(plan_.exams, date);
      std::vector<TimetableEntry> timetable;
      if (choice.with_timetable && !choice.quiet) timetable = RowsOf(choice.name);
      const TextValue prefix = ConcatTexts(music_folder_, "\\");
      for (const TimetableEntry& entry :
           ExamDayRows(day, timetable, choice.name, [&prefix](std::string_view music) {
             return FileExists(ConcatTexts(prefix, music));
           }))
        show(entry);
      for (const std::string& clash : day.clashes) {
        const int row = preview_rows_.InsertRow(std::nullopt, "冲突");
        preview_rows_.SetCellText(row, 1, clash);
      }
      for (const std::string& off : day.off_date) {
        const int row = preview_rows_.InsertRow(std::nullopt, "不在当天");
        preview_rows_.SetCellText(row, 1, off);
      }
    } else if (!choice.quiet) {
      for (const TimetableEntry& entry : RowsOf(choice.name)) show(entry);
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

  // ---- The exam part

  void ShowExams(int select) {
    exams_.SuspendRedraw();
    exams_.DeleteAllRows();
    for (const ExamSessionLine& line : plan_.exams.sessions) {
      const int row = exams_.InsertRow(std::nullopt, PlanDateText(line.session.date));
      exams_.SetCellText(row, 1, ExamTimesText(line.session));
      exams_.SetCellText(row, 2, line.session.subject);
      if (row == select) {
        exams_.SetCurrentRow(row);
        exams_.FocusRow(row);
      }
    }
    exams_.ResumeRedraw();
    exams_.Redraw();
    if (select >= 0) exams_.ScrollRowIntoView(select);
  }

  void ShowBells(int select) {
    bells_.SuspendRedraw();
    bells_.DeleteAllRows();
    const TextValue prefix = ConcatTexts(music_folder_, "\\");
    for (const ExamBell& bell : ExamTemplate(plan_.exams)) {
      const int row = bells_.InsertRow(std::nullopt, ExamBellKey(bell));
      bells_.SetCellText(row, 1,
                         ShownMusicText(bell.music, FileExists(ConcatTexts(
                                                        prefix, std::string_view(bell.music)))));
      if (row == select) {
        bells_.SetCurrentRow(row);
        bells_.FocusRow(row);
      }
    }
    bells_.ResumeRedraw();
    bells_.Redraw();
    SendMessageW(with_timetable_.Handle(), BM_SETCHECK,
                 plan_.exams.with_timetable ? BST_CHECKED : BST_UNCHECKED, 0);
  }

  static int ChosenRow(const ListViewControl& list, std::size_t count) {
    const std::vector<int> rows = list.SelectedRows();
    if (rows.empty() || rows[0] < 0 || rows[0] >= static_cast<int>(count)) return -1;
    return rows[0];
  }

  // The preview moves to the session's date.
  void ExamsChanged(int select, PlanDate date) {
    ShowExams(select);
    ShowDateInPreview(date);
    PlanChanged();
  }

  void AddExam() {
    // After the last session: the next day's morning, as an exam week runs.
    ExamSession session{PickedDate(preview_date_), 9 * 3600, 11 * 3600, {}};
    if (!plan_.exams.sessions.empty()) {
      const ExamSession& last = plan_.exams.sessions.back().session;
      session.date = last.date;
      session.start_second = last.end_second + 2 * 3600;
      session.end_second = session.start_second + 2 * 3600;
      if (session.end_second >= kSecondsPerExamDay) {
        session.date = DateOfClockDay(ClockDayOf(last.date) + 1);
        session.start_second = 9 * 3600;
        session.end_second = 11 * 3600;
      }
    }
    if (!ExamSessionDialog(session).Edit(form_.Handle(), session)) return;
    plan_.exams.sessions.push_back({session, -1});
    ExamsChanged(static_cast<int>(plan_.exams.sessions.size()) - 1, session.date);
  }

  void ChangeExam() {
    if (read_only_) return;  // a double click
    const int index = ChosenRow(exams_, plan_.exams.sessions.size());
    if (index < 0) return;
    ExamSession session = plan_.exams.sessions[index].session;
    if (!ExamSessionDialog(session).Edit(form_.Handle(), session)) return;
    plan_.exams.sessions[index].session = session;
    ExamsChanged(index, session.date);
  }

  void DeleteExam() {
    const int index = ChosenRow(exams_, plan_.exams.sessions.size());
    if (index < 0) return;
    plan_.exams.sessions.erase(plan_.exams.sessions.begin() + index);
    ShowExams(std::min(index, static_cast<int>(plan_.exams.sessions.size()) - 1));
    PlanChanged();
  }

  // The file is read by a worker; what it holds is previewed, and added whole or not at all.
  void ImportExams() {
    const std::optional<TextValue> path = ChooseCsvFile(form_.Handle(), false, {});
    if (!path) return;
    exam_import_.Disabled(true);
    const bool started =
        RunThenPost(workers_, form_.Handle(), [this, path = *path]() -> std::function<void()> {
          CsvFileRows file = ReadCsvRowsOf(path);
          SessionCsvRead read;
          if (file.problem.empty()) read = SessionsFromCsv(file.rows);
          // Run on the window's thread only while the window, and so this object, lives.
          return [this, problem = std::move(file.problem), read = std::move(read)] {
            ExamsRead(problem, read);
          };
        });
    if (!started) {
      exam_import_.Disabled(false);
      Tell("无法导入：没有可用的线程。");
    }
  }

  void ExamsRead(const std::string& problem, const SessionCsvRead& read) {
    exam_import_.Disabled(read_only_);
    if (!problem.empty()) {
      Tell(problem);
      return;
    }
    const std::vector<ExamSession> adding = SessionsToAdd(plan_.exams, read.sessions);
    CsvImportPreview preview;
    preview.caption = "从 CSV 导入考试";
    preview.problems = read.problems;
    for (const ExamSession& session : adding) preview.items.push_back(ExamSessionText(session));
    const std::size_t held = read.sessions.size() - adding.size();
    if (!read.problems.empty()) {
      preview.heading = "有 " + std::to_string(read.problems.size()) +
                        " 行无法识别，没有导入任何一场。请在表格中改正后再导入（每行：日期,开始,"
                        "结束,科目）。";
    } else if (read.sessions.empty()) {
      preview.heading = "文件中没有可导入的考试（每行：日期,开始,结束,科目）。";
    } else if (adding.empty()) {
      preview.heading =
          "文件中的 " + std::to_string(read.sessions.size()) + " 场考试日历中都已有。";
    } else {
      preview.heading = "以下 " + std::to_string(adding.size()) + " 场考试将加入日历" +
                        (held ? "（另有 " + std::to_string(held) + " 场日历中已有）" : "") +
                        "；按“保存”后才写入日历文件。";
    }
    if (!ConfirmCsvImport(form_.Handle(), preview)) return;
    AddSessions(plan_.exams, adding);
    ExamsChanged(static_cast<int>(plan_.exams.sessions.size()) - 1, adding.front().date);
  }

  void ExportExams() {
    const std::optional<TextValue> path = ChooseCsvFile(form_.Handle(), true, "考试.csv");
    if (!path) return;
    const bool started =
        RunThenPost(workers_, form_.Handle(),
                    [this, path = *path,
                     text = SessionsCsvText(PlanSessions(plan_.exams))]() -> std::function<void()> {
                      if (ReplaceWholeFile(path, text)) return {};
                      return [this, path] {
                        Tell("考试未能导出：\r\n" + path.Bytes() + "\r\n请检查文件是否正被使用。");
                      };
                    });
    if (!started) Tell("考试未能导出：没有可用的线程。");
  }

  void Tell(const std::string& text) {
    ShowMessageBox(form_.Handle(), text, "日历", MB_OK | MB_ICONWARNING);
  }

  // The template's lines change: a plan that had none takes the default as its own first.
  void BellsChanged(int select) {
    ShowBells(select);
    PlanChanged();
  }

  void AddBell() {
    ExamBell bell{ExamBell::Anchor::kStart, 0, {}, -1};
    if (!ExamBellDialog(extras_.music, bell).Edit(form_.Handle(), bell)) return;
    OwnExamTemplate(plan_.exams);
    plan_.exams.bells.push_back(bell);
    BellsChanged(static_cast<int>(plan_.exams.bells.size()) - 1);
  }

  void ChangeBell() {
    if (read_only_) return;  // a double click
    const std::vector<ExamBell> shown = ExamTemplate(plan_.exams);
    const int index = ChosenRow(bells_, shown.size());
    if (index < 0) return;
    ExamBell bell = shown[index];
    if (!ExamBellDialog(extras_.music, bell).Edit(form_.Handle(), bell)) return;
    OwnExamTemplate(plan_.exams);
    plan_.exams.bells[index] = bell;
    BellsChanged(index);
  }

  void DeleteBell() {
    const std::size_t count = ExamTemplate(plan_.exams).size();
    const int index = ChosenRow(bells_, count);
    if (index < 0) return;
    // A template without lines would ring nothing in an exam (and a file without [考试铃]
    // lines reads as the default one again).
    if (count == 1) {
      Tell("考试铃至少要有一行。不需要某天的考试广播时，请删除那天的考试场次。");
      return;
    }
    OwnExamTemplate(plan_.exams);
    plan_.exams.bells.erase(plan_.exams.bells.begin() + index);
    BellsChanged(std::min(index, static_cast<int>(plan_.exams.bells.size()) - 1));
  }

  void RestoreDefaultBells() {
    RestoreDefaultExamTemplate(plan_.exams);
    BellsChanged(-1);
  }

  void WithTimetableChosen() {
    const bool on = SendMessageW(with_timetable_.Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (on == plan_.exams.with_timetable) return;
    OwnExamTemplate(plan_.exams);
    plan_.exams.with_timetable = on;
    BellsChanged(-1);
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
  const PlanWindowExtras extras_;
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
  ListViewControl exams_;
  ButtonControl exam_add_;
  ButtonControl exam_change_;
  ButtonControl exam_delete_;
  ButtonControl exam_import_;
  ButtonControl exam_export_;
  ButtonControl exam_clock_;
  ListViewControl bells_;
  ButtonControl bell_add_;
  ButtonControl bell_change_;
  ButtonControl bell_delete_;
  ButtonControl bell_default_;
  ButtonControl with_timetable_;
  ButtonControl save_;
  ButtonControl cancel_;
  // The threads that read and write CSV files; a job's answer reaches this object only through
  // the window's queue, so one that outlives the window touches nothing.
  WorkerPool workers_;
};

}  // namespace

bool OpenPlanWindow(HWND owner, const TextValue& program_dir, const TextValue& music_folder,
                    bool read_only, PlanWindowExtras extras) {
  return PlanWindow(program_dir, music_folder, read_only, std::move(extras)).Run(owner);
}

}  // namespace belvane
