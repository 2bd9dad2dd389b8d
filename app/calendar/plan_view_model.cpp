#include "app/calendar/plan_view_model.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "runtime/csv.h"

namespace belvane {

namespace {

using Section = DatedLineRef::Section;

PlanValue QuietValue(std::string reason) {
  return PlanValue{PlanValue::Kind::kQuiet, {}, std::move(reason), 0};
}

bool SameEntry(const std::optional<PlanValue>& a, const std::optional<PlanValue>& b) {
  if (!a || !b) return !a && !b;
  return PlanValueText(*a) == PlanValueText(*b);
}

}  // namespace

std::vector<DatedRow> DatedRows(const DayPlan& plan) {
  struct Keyed {
    PlanDate first;
    DatedRow row;
  };
  std::vector<Keyed> keyed;
  std::set<PlanDate> dated;
  for (int i = 0; i < static_cast<int>(plan.dates.size()); ++i) {
    const DatedLine& line = plan.dates[i];
    DatedRow row{{Section::kDated, i}, PlanDateText(line.date), {}, {}};
    if (line.value.kind == PlanValue::Kind::kQuiet) {
      row.plan = kQuietValue;
      row.note = line.value.reason;
    } else {
      row.plan = PlanValueText(line.value);
    }
    // The first line of a date decides; a later one is kept but never rings.
    if (!dated.insert(line.date).second) row.note = "同一天前面已有一行，此行不起作用";
    keyed.push_back({line.date, std::move(row)});
  }
  for (int i = 0; i < static_cast<int>(plan.quiet.size()); ++i) {
    const QuietRange& quiet = plan.quiet[i];
    keyed.push_back(
        {quiet.range.from,
         {{Section::kQuiet, i}, DateRangeText(quiet.range), kQuietValue, quiet.reason}});
  }
  // Stable, and the [日期] lines went in first: on one date they stay ahead, in file order.
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const Keyed& a, const Keyed& b) { return a.first < b.first; });
  std::vector<DatedRow> rows;
  rows.reserve(keyed.size());
  for (Keyed& k : keyed) rows.push_back(std::move(k.row));
  return rows;
}

DatedEdit EditOfLine(const DayPlan& plan, DatedLineRef line) {
  if (line.section == Section::kQuiet) {
    if (line.index < 0 || line.index >= static_cast<int>(plan.quiet.size())) return {};
    const QuietRange& quiet = plan.quiet[line.index];
    return {quiet.range, QuietValue(quiet.reason)};
  }
  if (line.index < 0 || line.index >= static_cast<int>(plan.dates.size())) return {};
  const DatedLine& dated = plan.dates[line.index];
  return {{dated.date, dated.date}, dated.value};
}

std::string DatedEditProblem(const DatedEdit& edit) {
  if (edit.dates.to < edit.dates.from) return "结束日期早于开始日期。";
  if (edit.dates.from != edit.dates.to && edit.value.kind != PlanValue::Kind::kQuiet)
    return "连续多天只能设为停铃；要让某天用某个课表，请逐天添加。";
  if (edit.value.kind == PlanValue::Kind::kTimetable && edit.value.name.empty())
    return "请选择课表。";
  if (edit.value.reason.find_first_of("\r\n") != std::string::npos) return "说明只能写一行。";
  return {};
}

DatedLineRef PutDatedEdit(DayPlan& plan, std::optional<DatedLineRef> replacing,
                          const DatedEdit& edit) {
  const bool quiet = edit.value.kind == PlanValue::Kind::kQuiet;
  const bool stays_range = replacing && replacing->section == Section::kQuiet && quiet;
  const Section section =
      (edit.dates.from != edit.dates.to || stays_range) ? Section::kQuiet : Section::kDated;
  if (replacing && replacing->section == section) {
    // Fields, not the whole line: it keeps its place in the file.
    if (section == Section::kQuiet && replacing->index < static_cast<int>(plan.quiet.size())) {
      QuietRange& quiet = plan.quiet[replacing->index];
      quiet.range = edit.dates;
      quiet.reason = edit.value.reason;
      return *replacing;
    }
    if (section == Section::kDated && replacing->index < static_cast<int>(plan.dates.size())) {
      DatedLine& dated = plan.dates[replacing->index];
      dated.date = edit.dates.from;
      dated.value = edit.value;
      return *replacing;
    }
  }
  if (replacing) DeleteDatedLine(plan, *replacing);
  if (section == Section::kQuiet) {
    plan.quiet.push_back({edit.dates, edit.value.reason});
    return {section, static_cast<int>(plan.quiet.size()) - 1};
  }
  plan.dates.push_back({edit.dates.from, edit.value});
  return {section, static_cast<int>(plan.dates.size()) - 1};
}

void DeleteDatedLine(DayPlan& plan, DatedLineRef line) {
  if (line.index < 0) return;
  if (line.section == Section::kQuiet) {
    if (line.index < static_cast<int>(plan.quiet.size()))
      plan.quiet.erase(plan.quiet.begin() + line.index);
  } else if (line.index < static_cast<int>(plan.dates.size())) {
    plan.dates.erase(plan.dates.begin() + line.index);
  }
}

std::vector<std::string> NamesOffered(std::vector<std::string> listed, const DayPlan& plan) {
  auto offer = [&listed](const std::optional<PlanValue>& value) {
    if (!value || value->kind != PlanValue::Kind::kTimetable) return;
    if (std::find(listed.begin(), listed.end(), value->name) == listed.end())
      listed.push_back(value->name);
  };
  for (const auto& day : plan.weekly.days) offer(day);
  for (const SeasonalWeek& season : plan.seasons)
    for (const auto& day : season.week.days) offer(day);
  for (const DatedLine& line : plan.dates) offer(line.value);
  return listed;
}

std::vector<std::string> WeekdayChoiceTexts(const std::vector<std::string>& names, bool seasonal) {
  std::vector<std::string> texts{seasonal ? "（同每周）" : "（默认）", kQuietValue};
  texts.insert(texts.end(), names.begin(), names.end());
  return texts;
}

int WeekdayChoiceIndex(const std::optional<PlanValue>& entry,
                       const std::vector<std::string>& names) {
  if (!entry) return 0;
  if (entry->kind == PlanValue::Kind::kQuiet) return 1;
  const auto it = std::find(names.begin(), names.end(), entry->name);
  return it == names.end() ? 0 : 2 + static_cast<int>(it - names.begin());
}

std::optional<PlanValue> WeekdayChoiceValue(int index, const std::vector<std::string>& names) {
  if (index == 1) return QuietValue({});
  if (index < 2 || index - 2 >= static_cast<int>(names.size())) return std::nullopt;
  return PlanValue{PlanValue::Kind::kTimetable, names[index - 2], {}, 0};
}

std::string SeasonSummary(const SeasonalWeek& season) {
  std::string text = DateRangeText(season.range) + "  ";
  const auto& days = season.week.days;
  bool any = false;
  for (int first = 0; first < 7;) {
    int last = first;
    while (last + 1 < 7 && SameEntry(days[last + 1], days[first])) ++last;
    if (days[first]) {
      if (any) text += ' ';
      text += WeekdayName(first);
      if (last > first) {
        text += '~';
        text += WeekdayName(last);
      }
      text += '=';
      text += PlanValueText(*days[first]);
      any = true;
    }
    first = last + 1;
  }
  return any ? text : text + "（同每周）";
}

std::string UnreadLineText(const UnreadLine& line) {
  if (line.section.empty() || line.section == line.text) return line.text;
  return line.section + " " + line.text;
}

std::string PreviewHeading(PlanDate date, const DayChoice& choice) {
  std::string text = PlanDateText(date) + " " + std::string(WeekdayName(WeekdayOf(date)));
  if (!choice.exams.empty()) {
    text += "：考试 " + ExamCountText(choice.exams) + "（" + ExamSessionsText(choice.exams) + "）";
    if (choice.with_timetable && !choice.quiet) text += "，同时打" + choice.name;
    return text;
  }
  if (!choice.quiet) return text + "：" + choice.name + "（" + choice.why + "）";
  text += " 停铃";
  if (!choice.reason.empty() && choice.reason != choice.why) text += "：" + choice.reason;
  return text + "（" + choice.why + "）";
}

std::string ExamTimesText(const ExamSession& session) {
  return ExamClockText(session.start_second) + "~" + ExamClockText(session.end_second);
}

std::string ExamSessionProblem(const ExamSession& session) {
  if (session.end_second <= session.start_second) return "结束时间必须晚于开始时间。";
  if (session.subject.find_first_of("\r\n") != std::string::npos) return "科目只能写一行。";
  // What the file reads back is the session itself, or the line would not be kept.
  const std::optional<ExamSession> read =
      ParseExamSession(ExamSessionKey(session), session.subject);
  if (!read || *read != session) return "请填写科目（前后不能有空格）。";
  return {};
}

std::vector<ExamSession> PlanSessions(const ExamPlan& exams) {
  std::vector<ExamSession> sessions;
  for (const ExamSessionLine& line : exams.sessions) sessions.push_back(line.session);
  return sessions;
}

std::vector<ExamSession> SessionsToAdd(const ExamPlan& exams,
                                       const std::vector<ExamSession>& imported) {
  std::vector<ExamSession> held = PlanSessions(exams);
  std::vector<ExamSession> added;
  for (const ExamSession& session : imported) {
    if (std::find(held.begin(), held.end(), session) != held.end()) continue;
    held.push_back(session);
    added.push_back(session);
  }
  return added;
}

void AddSessions(ExamPlan& exams, const std::vector<ExamSession>& sessions) {
  for (const ExamSession& session : sessions) exams.sessions.push_back({session, -1});
}

void OwnExamTemplate(ExamPlan& exams) {
  if (exams.has_template) return;
  exams.bells = DefaultExamBells();
  exams.has_template = true;
}

void RestoreDefaultExamTemplate(ExamPlan& exams) {
  exams.bells = DefaultExamBells();
  exams.has_template = true;
}

namespace {

constexpr const char* kBellKinds[] = {"开始前", "开始", "开始后", "结束前", "结束"};

bool KindTakesMinutes(int kind) {
  return kind == 0 || kind == 2 || kind == 3;
}

}  // namespace

std::vector<std::string> ExamBellKindTexts() {
  return {std::begin(kBellKinds), std::end(kBellKinds)};
}

ExamBellChoice ChoiceOfExamBell(const ExamBell& bell) {
  const std::string key = ExamBellKey(bell);
  // The longest kind the key starts with: "开始前" before "开始".
  int kind = -1;
  std::size_t length = 0;
  for (int i = 0; i < 5; ++i) {
    const std::string_view text = kBellKinds[i];
    if (key.starts_with(text) && text.size() > length) {
      kind = i;
      length = text.size();
    }
  }
  if (kind < 0) return {};
  std::string minutes = key.substr(length);
  const std::string_view unit = "分";
  if (minutes.ends_with(unit)) minutes.resize(minutes.size() - unit.size());
  return {kind, minutes};
}

std::optional<ExamBell> ExamBellOfChoice(const ExamBellChoice& choice, const std::string& music) {
  if (choice.kind < 0 || choice.kind >= 5) return std::nullopt;
  std::string key = kBellKinds[choice.kind];
  const std::string minutes(TrimmedField(choice.minutes));
  if (KindTakesMinutes(choice.kind)) {
    if (minutes.empty()) return std::nullopt;
    key += minutes + "分";
  }
  return ParseExamBell(key, music);
}

}  // namespace belvane
