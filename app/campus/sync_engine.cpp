#include "app/campus/sync_engine.h"

#include <windows.h>

#include <cstdio>
#include <utility>

#include "runtime/byte_block.h"
#include "runtime/file_name.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/text.h"

namespace belvane {

namespace {

// Beside the local name while a file is copied; no music pattern or ".ini" matches it.
constexpr const char* kTemporarySuffix = ".sync~";
// A timetable or plan larger than this is not one.
constexpr std::uint64_t kMaxSettingsFileBytes = 16u << 20;

constexpr const char* kTimetableFolder = "课表";
constexpr const char* kMusicFolder = "mp3";

std::optional<FileStamp> StampOf(const TextValue& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.CStr(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return std::nullopt;
  return FileStamp{(std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                   (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                       data.ftLastWriteTime.dwLowDateTime};
}

// Adds the followed files of `folder` (listed as `prefix`\name) to `files`; false with `error`
// when it cannot be listed.
bool AddFolder(const std::string& folder, const char* prefix, StampMap& files,
               std::map<std::string, std::string>* actual, DWORD& error) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries, error)) return false;
  for (const FolderEntry& entry : entries) {
    if (entry.folder) continue;
    std::string name = std::string(prefix) + "\\" + entry.name.Bytes();
    if (KindOfName(name) == FollowedKind::kNone) continue;
    if (actual) (*actual)[name] = folder + "\\" + entry.name.Bytes();
    files[std::move(name)] = {entry.size, entry.write_time};
  }
  return true;
}

// Reads a whole file that no one is writing (it is opened sharing reading only).
bool ReadWhole(const TextValue& path, std::string& bytes, DWORD& error) {
  const OwnedKernelHandle file(CreateFileA(path.CStr(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size)) {
    error = GetLastError();
    return false;
  }
  if (static_cast<std::uint64_t>(size.QuadPart) > kMaxSettingsFileBytes) {
    error = ERROR_FILE_TOO_LARGE;
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() &&
      (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    error = read != bytes.size() ? ERROR_HANDLE_EOF : GetLastError();
    return false;
  }
  return true;
}

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                            DWORD, HANDLE, HANDLE, LPVOID stop) {
  return static_cast<const std::atomic<bool>*>(stop)->load() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

std::string ClockText(const RecordTime& at) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", at.hour, at.minute, at.second);
  return text;
}

}  // namespace

SourceListing ListSource(const std::string& source) {
  SourceListing listing;
  std::vector<FolderEntry> root;
  DWORD error = 0;
  if (!ListFolder(source, root, error)) {
    listing.reason = SystemErrorText(error);
    return listing;
  }
  listing.reachable = true;
  for (const FolderEntry& entry : root) {
    const std::string& name = entry.name.Bytes();
    const std::string path = source + "\\" + name;
    if (entry.folder) {
      const bool timetables = SameFileName(name, kTimetableFolder);
      if (!timetables && !SameFileName(name, kMusicFolder)) continue;
      const char* prefix = timetables ? kTimetableFolder : kMusicFolder;
      if (!AddFolder(path, prefix, listing.files, &listing.actual, error)) {
        (timetables ? listing.timetables_unlisted : listing.music_unlisted) = true;
        listing.problem = std::string(prefix) + "：" + SystemErrorText(error);
      }
      continue;
    }
    // The root's two files keep their local spelling whatever the source's case.
    const FollowedKind kind = KindOfName(name);
    if (kind == FollowedKind::kNone) continue;
    const std::string local = kind == FollowedKind::kPlan ? "Belvane日历.ini" : "Belvane配置.ini";
    listing.actual[local] = path;
    listing.files[local] = {entry.size, entry.write_time};
  }
  return listing;
}

SyncEngine::SyncEngine(TextValue program_dir, SharedSyncSettings& settings,
                       ServerTimeQuery server_time, std::function<std::int64_t()> utc_now_ms,
                       const std::atomic<bool>& stop)
    : program_dir_(std::move(program_dir)),
      settings_(settings),
      server_time_(std::move(server_time)),
      utc_now_ms_(std::move(utc_now_ms)),
      stop_(stop) {}

StampMap SyncEngine::LocalStamps() const {
  StampMap local;
  for (const char* name : {"Belvane配置.ini", "Belvane日历.ini"}) {
    if (const auto stamp = StampOf(ConcatTexts(program_dir_, "\\", name))) local[name] = *stamp;
  }
  DWORD error = 0;
  for (const char* folder : {kTimetableFolder, kMusicFolder})
    AddFolder(ConcatTexts(program_dir_, "\\", folder).Bytes(), folder, local, nullptr, error);
  return local;
}

std::string SyncEngine::Take(const std::string& name, const std::string& source_path,
                             const FileStamp& stamp, FileStamp& local) {
  const TextValue target = ConcatTexts(program_dir_, "\\", std::string_view(name));
  const TextValue temporary = ConcatTexts(target, kTemporarySuffix);
  if (temporary.Length() >= MAX_PATH || source_path.size() >= MAX_PATH) return "名称太长";
  if (const std::size_t slash = name.find('\\'); slash != std::string::npos)
    CreateDirectoryA(
        ConcatTexts(program_dir_, "\\", std::string_view(name).substr(0, slash)).CStr(), nullptr);
  DWORD error = 0;
  if (KindOfName(name) == FollowedKind::kMusic) {
    if (!CopyFileExA(source_path.c_str(), temporary.CStr(), &CopyProgress,
                     const_cast<std::atomic<bool>*>(&stop_), nullptr, 0)) {
      error = GetLastError();
      DeleteFileA(temporary.CStr());
      return SystemErrorText(error);
    }
  } else {
    std::string bytes;
    if (!ReadWhole(source_path, bytes, error)) return SystemErrorText(error);
    const bool whole =
        KindOfName(name) == FollowedKind::kPlan ? PlanIsWhole(bytes) : TimetableIsWhole(bytes);
    if (!whole) return "内容不完整";
    if (!WriteWholeFile(temporary, ByteBlock(bytes))) {
      error = GetLastError();
      DeleteFileA(temporary.CStr());
      return SystemErrorText(error);
    }
  }
  // Changed or renamed while it was copied: the copy is not the file that held still.
  if (StampOf(source_path) != stamp) {
    DeleteFileA(temporary.CStr());
    return "复制时文件已改变";
  }
  if (!MoveFileExA(temporary.CStr(), target.CStr(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
    DeleteFileA(temporary.CStr());
    return SystemErrorText(error);
  }
  local = StampOf(target).value_or(FileStamp{});
  return {};
}

std::optional<double> SyncEngine::CheckClock(const std::string& server, const RecordTime& at,
                                             std::vector<std::string>& record) {
  if (!server_time_) return std::nullopt;
  const std::int64_t before = utc_now_ms_();
  const std::optional<std::int64_t> answer = server_time_(server);
  const std::int64_t after = utc_now_ms_();
  if (!answer) return std::nullopt;
  const double offset = ClockOffsetSeconds(before, *answer, after);
  switch (DecideClockNews(clock_off_, offset, kClockOffsetLimitSeconds)) {
    case ClockNews::kOff:
      clock_off_ = true;
      record.push_back(ClockOffLine(at, ClockOffsetText(offset)));
      break;
    case ClockNews::kBack:
      clock_off_ = false;
      record.push_back(ClockBackLine(at));
      break;
    case ClockNews::kNone:
      break;
  }
  return offset;
}

LookReport SyncEngine::Look(std::int64_t tick_ms, const RecordTime& at) {
  LookReport report;
  TakenMap taken;
  std::string source;
  {
    const std::lock_guard lock(settings_.mutex);
    source = settings_.settings.source;
    taken = settings_.settings.taken;
  }
  if (source != source_) {
    source_ = source;
    reachable_.reset();
    previous_.clear();
    recorded_problems_.clear();
    clock_off_ = false;
    clock_offset_.reset();
    last_taken_at_.clear();
  }
  FollowStatus& status = report.status;
  status.source = source;
  if (source.empty()) return report;

  if (const std::string server = ServerOfSource(source); !server.empty())
    clock_offset_ = CheckClock(server, at, report.record);
  status.clock_offset_seconds = clock_offset_;

  const SourceListing listing = ListSource(source);
  if (!listing.reachable) {
    if (reachable_ != false)
      report.record.push_back(SyncUnreachableLine(at, source, listing.reason));
    reachable_ = false;
    // Back again, every file has to hold still anew.
    previous_.clear();
    status.reachable = false;
    status.reason = listing.reason;
    status.last_taken_at = last_taken_at_;
    return report;
  }
  if (reachable_ == false) report.record.push_back(SyncBackLine(at));
  reachable_ = true;

  LookFacts facts;
  facts.source = listing.files;
  facts.previous = std::move(previous_);
  facts.since_previous_ms = tick_ms - previous_tick_;
  facts.local = LocalStamps();
  facts.taken = taken;
  facts.music_unlisted = listing.music_unlisted;
  facts.timetables_unlisted = listing.timetables_unlisted;
  const LookDecision decision = DecideLook(facts, kSyncBatch);
  previous_ = listing.files;
  previous_tick_ = tick_ms;

  std::map<std::string, std::string> problems;
  std::vector<std::string> took, removed;
  for (const std::string& name : decision.take) {
    if (stop_.load()) break;
    FileStamp local;
    const FileStamp& stamp = listing.files.at(name);
    std::string why = Take(name, listing.actual.at(name), stamp, local);
    if (why.empty()) {
      taken[name] = {stamp, local};
      took.push_back(name);
    } else {
      problems[name] = std::move(why);
    }
  }
  for (const std::string& name : decision.refused) problems[name] = "0 字节";
  for (const std::string& name : decision.remove) {
    if (DeleteFileA(ConcatTexts(program_dir_, "\\", std::string_view(name)).CStr()) ||
        GetLastError() == ERROR_FILE_NOT_FOUND) {
      taken.erase(name);
      removed.push_back(name);
    } else {
      problems[name] = "无法删除：" + SystemErrorText(GetLastError());
    }
  }
  for (const std::string& name : decision.forget) taken.erase(name);

  // A file's trouble is recorded once, and again only when it changes or comes back.
  for (const auto& [name, why] : problems) {
    const auto it = recorded_problems_.find(name);
    if (it == recorded_problems_.end() || it->second != why)
      report.record.push_back(SyncNotTakenLine(at, name, why));
  }
  recorded_problems_ = problems;

  std::string problem = listing.problem;
  {
    const std::lock_guard lock(settings_.mutex);
    if (settings_.settings.taken != taken) {
      settings_.settings.taken = taken;
      if (!settings_.WriteLocked()) problem = "无法写入 Belvane同步.ini";
    }
  }
  if (!took.empty()) report.record.push_back(SyncFilesLine(at, false, took));
  if (!removed.empty()) report.record.push_back(SyncFilesLine(at, true, removed));
  report.changed = std::move(took);
  report.changed.insert(report.changed.end(), removed.begin(), removed.end());

  if (problem.empty() && !problems.empty()) {
    problem = problems.begin()->first + "：" + problems.begin()->second;
    if (problems.size() > 1)
      problem += "（另有 " + std::to_string(problems.size() - 1) + " 个文件未取）";
  }
  if (problem.empty() && listing.files.empty()) problem = "来源中没有课表、日历或音乐文件";
  report.again_soon = !decision.wait.empty();
  if (decision.wait.empty()) last_taken_at_ = ClockText(at);
  status.last_taken_at = last_taken_at_;
  status.problem = std::move(problem);
  return report;
}

}  // namespace belvane
