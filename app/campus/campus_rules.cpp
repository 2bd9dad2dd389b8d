#include "app/campus/campus_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/campus/campus.h"
#include "runtime/file_name.h"
#include "runtime/gbk.h"
#include "runtime/inifile/profile_document.h"

namespace belvane {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() > end.size() && SameFileName(text.substr(text.size() - end.size()), end);
}

// The part after "<folder>\", when `name` is directly in that folder.
std::optional<std::string_view> InFolder(std::string_view name, std::string_view folder) {
  if (name.size() <= folder.size() + 1 || !SameFileName(name.substr(0, folder.size()), folder) ||
      name[folder.size()] != '\\')
    return std::nullopt;
  const std::string_view rest = name.substr(folder.size() + 1);
  // A GBK trail byte may be 0x5C: only a lead byte's pair is skipped over.
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rest[i]);
    if (c >= 0x81 && c <= 0xFE) {
      ++i;
    } else if (c == '\\') {
      return std::nullopt;
    }
  }
  return rest;
}

bool IsKeyPresent(const ProfileDocument& document, const char* section, const std::string& key) {
  // A default no file can hold tells a missing key from an empty one.
  static const TextValue kAbsent("\x01");
  return !(document.Read(section, key, kAbsent) == kAbsent);
}

}  // namespace

FollowedKind KindOfName(std::string_view name) {
  if (SameFileName(name, "Belvane配置.ini")) return FollowedKind::kTimetable;
  if (SameFileName(name, "Belvane日历.ini")) return FollowedKind::kPlan;
  if (const auto file = InFolder(name, "课表"); file && EndsWithNoCase(*file, ".ini"))
    return FollowedKind::kTimetable;
  if (const auto file = InFolder(name, "mp3")) {
    for (const char* extension : {".mp3", ".m4a", ".aac", ".wma", ".wav"}) {
      if (EndsWithNoCase(*file, extension)) return FollowedKind::kMusic;
    }
  }
  return FollowedKind::kNone;
}

namespace {

constexpr const char* kFollowedFolders[] = {"mp3", "课表"};

// The followed folder `name` stands in ("mp3", "课表"); empty for the root's two files.
std::string_view FolderOf(std::string_view name) {
  for (const char* folder : kFollowedFolders) {
    if (InFolder(name, folder)) return folder;
  }
  return {};
}

}  // namespace

LookDecision DecideLook(const LookFacts& facts, std::size_t batch) {
  LookDecision decision;
  // By kind, then by name: music before the timetables that name it, the plan last.
  std::vector<std::pair<FollowedKind, std::string>> ready;
  bool timetable_waits = false;
  for (const auto& [name, stamp] : facts.source) {
    const FollowedKind kind = KindOfName(name);
    if (kind == FollowedKind::kNone) continue;
    const auto taken = facts.taken.find(name);
    const auto local = facts.local.find(name);
    const bool current = taken != facts.taken.end() && taken->second.source == stamp &&
                         local != facts.local.end() && local->second == taken->second.local;
    if (current) continue;
    const auto before = facts.previous.find(name);
    const bool settled = before != facts.previous.end() && before->second == stamp &&
                         facts.since_previous_ms >= kSyncSettleMs;
    if (!settled) {
      decision.wait.push_back(name);
      timetable_waits = timetable_waits || kind == FollowedKind::kTimetable;
    } else if (kind == FollowedKind::kMusic && stamp.size == 0) {
      decision.refused.push_back(name);
    } else {
      ready.emplace_back(kind, name);
    }
  }
  std::stable_sort(ready.begin(), ready.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // Music still changing holds back only the timetables naming it, which the engine tells from
  // their bytes; a timetable still changing holds back the plan, which may name it.
  for (const auto& [kind, name] : ready) {
    const bool held = kind == FollowedKind::kPlan && timetable_waits;
    if (held || decision.take.size() >= batch) {
      decision.wait.push_back(name);
      timetable_waits = timetable_waits || kind == FollowedKind::kTimetable;
    } else {
      decision.take.push_back(name);
      if (facts.local.contains(name) && !facts.taken.contains(name)) decision.own.push_back(name);
    }
  }
  bool plan_waits = false;
  for (const std::string& name : decision.wait)
    plan_waits = plan_waits || KindOfName(name) == FollowedKind::kPlan;

  if (!facts.source.empty()) {
    // A followed folder that shows up empty or missing is more likely a share's trouble than
    // every file removed: none of its files goes.
    for (const char* folder : kFollowedFolders) {
      // A folder that could not be listed is told as such.
      if ((folder == std::string_view("mp3") && facts.music_unlisted) ||
          (folder == std::string_view("课表") && facts.timetables_unlisted))
        continue;
      const auto in_folder = [&](const auto& entry) { return FolderOf(entry.first) == folder; };
      if (std::none_of(facts.source.begin(), facts.source.end(), in_folder) &&
          std::any_of(facts.taken.begin(), facts.taken.end(), in_folder))
        decision.emptied.push_back(folder);
    }
    for (const auto& [name, taken] : facts.taken) {
      if (facts.source.contains(name)) continue;
      const FollowedKind kind = KindOfName(name);
      const std::string_view folder = FolderOf(name);
      if ((kind == FollowedKind::kMusic && facts.music_unlisted) ||
          (folder == "课表" && facts.timetables_unlisted) ||
          (!folder.empty() && std::find(decision.emptied.begin(), decision.emptied.end(), folder) !=
                                  decision.emptied.end()))
        continue;
      // Gone as a file is taken: missing at two looks at least kSyncSettleMs apart (a look
      // that listed nothing is no look to go by), and not before what may name it is taken.
      const bool settled = !facts.previous.empty() && !facts.previous.contains(name) &&
                           facts.since_previous_ms >= kSyncSettleMs;
      const bool named_by_waiting = (kind == FollowedKind::kMusic && timetable_waits) ||
                                    (kind == FollowedKind::kTimetable && plan_waits);
      if (!settled || named_by_waiting) {
        decision.wait.push_back(name);
        continue;
      }
      const auto local = facts.local.find(name);
      const bool as_taken = local != facts.local.end() && local->second == taken.local;
      if (as_taken && !SameFileName(name, "Belvane配置.ini")) {
        decision.remove.push_back(name);
      } else {
        decision.forget.push_back(name);
      }
    }
  }
  std::sort(decision.wait.begin(), decision.wait.end());
  // The plan first, music last: nothing left naming a file already gone.
  std::stable_sort(
      decision.remove.begin(), decision.remove.end(),
      [](const std::string& a, const std::string& b) { return KindOfName(a) > KindOfName(b); });
  return decision;
}

bool TimetableIsWhole(std::string_view bytes) {
  const ProfileDocument document = ProfileDocument::FromBytes(bytes);
  const std::string total = document.Read("total", "n").Bytes();
  if (total.empty() || total.size() > 6 ||
      !std::all_of(total.begin(), total.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const int rows = std::stoi(total);
  for (int row = 1; row <= rows; ++row) {
    const std::string key = std::to_string(row);
    if (!IsKeyPresent(document, "time", key) || !IsKeyPresent(document, "music", key)) return false;
  }
  return true;
}

bool PlanIsWhole(std::string_view bytes) {
  // As the plan reader reads it: a UTF-16 plan is all NULs and letters until decoded.
  return GbkTextOfFile(bytes).find('\0') == std::string::npos;
}

bool TryAgainNow(int failures, int looks_since_try) {
  return failures < kSyncFailuresBeforeRest || looks_since_try >= kSyncRestLooks;
}

bool CanBeLocalName(std::string_view name) {
  std::string_view base = name.substr(name.rfind('\\') + 1);
  if (base.empty() || base.back() == '.' || base.back() == ' ') return false;
  // A device name stays a device whatever extension follows it.
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (SameFileName(base, device)) return false;
  }
  return !(base.size() == 4 &&
           (SameFileName(base.substr(0, 3), "COM") || SameFileName(base.substr(0, 3), "LPT")) &&
           base[3] >= '0' && base[3] <= '9');
}

std::string SourcePath(std::string_view program_dir, std::string_view source) {
  const bool absolute = source.starts_with('\\') || (source.size() >= 2 && source[1] == ':');
  if (source.empty() || absolute || program_dir.empty()) return std::string(source);
  return std::string(program_dir) + "\\" + std::string(source);
}

std::vector<std::string> MusicNamedBy(std::string_view timetable_bytes) {
  const ProfileDocument document = ProfileDocument::FromBytes(timetable_bytes);
  const std::string total = document.Read("total", "n").Bytes();
  int rows = 0;
  if (!total.empty() && total.size() <= 6 &&
      std::all_of(total.begin(), total.end(), [](char c) { return c >= '0' && c <= '9'; }))
    rows = std::stoi(total);
  std::vector<std::string> names;
  for (int row = 1; row <= rows; ++row) {
    const std::string music = document.Read("music", std::to_string(row)).Bytes();
    if (!music.empty()) names.push_back("mp3\\" + music);
  }
  return names;
}

std::string ServerOfSource(std::string_view source) {
  if (source.size() < 3 || source.substr(0, 2) != "\\\\") return {};
  const std::string_view rest = source.substr(2);
  // "\\?\" and "\\.\" name local devices and long paths, not a server.
  if (rest.starts_with("?\\") || rest.starts_with(".\\")) return {};
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != '\\') {
    const unsigned char c = static_cast<unsigned char>(rest[end]);
    end += (c >= 0x81 && c <= 0xFE && end + 1 < rest.size()) ? 2 : 1;
  }
  if (end == 0) return {};
  return "\\\\" + std::string(rest.substr(0, end));
}

double ClockOffsetSeconds(std::int64_t local_before_ms, std::int64_t server_ms,
                          std::int64_t local_after_ms) {
  const double middle = (static_cast<double>(local_before_ms) + local_after_ms) / 2.0;
  return (middle - static_cast<double>(server_ms)) / 1000.0;
}

ClockNews DecideClockNews(bool was_off, std::optional<double> offset_seconds) {
  if (!offset_seconds) return ClockNews::kNone;
  const double offset = std::fabs(*offset_seconds);
  // Apart, so a clock near the limit does not write a line at every look.
  if (!was_off && offset > kClockOffsetLimitSeconds) return ClockNews::kOff;
  if (was_off && offset < kClockBackLimitSeconds) return ClockNews::kBack;
  return ClockNews::kNone;
}

std::string ClockOffsetText(double offset_seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f s", offset_seconds);
  return text;
}

}  // namespace belvane
