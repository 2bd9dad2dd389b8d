#include "app/campus/sync_engine.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <utility>

#include "app/campus/station_report.h"
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
constexpr const char* kBackupFolder = "同步备份";
constexpr DWORD kCopyChunkBytes = 1u << 20;

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

// Copies `from` to a new file `to` (plain attributes: a read-only recording must not make a
// read-only copy, which Windows would refuse to replace or delete), a chunk at a time so that
// `abandoned` cuts it short.
bool CopyInChunks(const std::string& from, const TextValue& to,
                  const std::function<bool()>& abandoned, DWORD& error) {
  const OwnedKernelHandle in(CreateFileA(from.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) {
    error = GetLastError();
    return false;
  }
  const OwnedKernelHandle out(CreateFileA(to.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) {
    error = GetLastError();
    return false;
  }
  std::vector<char> buffer(kCopyChunkBytes);
  for (;;) {
    if (abandoned()) {
      error = ERROR_CANCELLED;
      return false;
    }
    DWORD read = 0, written = 0;
    if (!ReadFile(in.Get(), buffer.data(), kCopyChunkBytes, &read, nullptr)) {
      error = GetLastError();
      return false;
    }
    if (read == 0) return true;
    if (!WriteFile(out.Get(), buffer.data(), read, &written, nullptr) || written != read) {
      error = written != read ? ERROR_DISK_FULL : GetLastError();
      return false;
    }
  }
}

// Whether two files hold the same bytes.
bool SameBytes(const std::string& a, const TextValue& b) {
  const OwnedKernelHandle first(CreateFileA(a.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  const OwnedKernelHandle second(CreateFileA(b.CStr(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!first || !second) return false;
  std::vector<char> x(kCopyChunkBytes), y(kCopyChunkBytes);
  for (;;) {
    DWORD x_read = 0, y_read = 0;
    if (!ReadFile(first.Get(), x.data(), kCopyChunkBytes, &x_read, nullptr) ||
        !ReadFile(second.Get(), y.data(), kCopyChunkBytes, &y_read, nullptr) || x_read != y_read ||
        !std::equal(x.begin(), x.begin() + x_read, y.begin()))
      return false;
    if (x_read == 0) return true;
  }
}

// Windows refuses to replace or delete a read-only file; the follower's own copies are not,
// but an earlier version's may be.
void ClearReadOnly(const TextValue& path) {
  const DWORD attributes = GetFileAttributesA(path.CStr());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesA(path.CStr(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
}

// "mp3\上课.mp3" -> "mp3\上课 (2).mp3".
std::string NumberedName(const std::string& name, int number) {
  const std::size_t slash = name.rfind('\\');
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(number) + ")" + name.substr(dot);
}

std::string ClockText(const RecordTime& at) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", at.hour, at.minute, at.second);
  return text;
}

}  // namespace

bool SharedSyncSettings::ChangeSource(const std::string& source) {
  const std::lock_guard lock(mutex);
  if (path.IsEmpty()) return false;
  const std::string old = settings.source;
  settings.source = source;
  if (!WriteLocked()) {
    settings.source = old;
    return false;
  }
  // Under the mutex: a look's next local write sees it, and none is under way meanwhile.
  generation.fetch_add(1);
  return true;
}

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

void SyncEngine::RemoveStaleTemporaries() const {
  for (const std::string& folder :
       {std::string(), "\\" + std::string(kTimetableFolder), "\\" + std::string(kMusicFolder)}) {
    const TextValue path = ConcatTexts(program_dir_, std::string_view(folder));
    std::vector<FolderEntry> entries;
    DWORD error = 0;
    if (!ListFolder(path, entries, error)) continue;
    for (const FolderEntry& entry : entries) {
      if (!entry.folder && entry.name.Bytes().ends_with(kTemporarySuffix))
        DeleteFileA(ConcatTexts(path, "\\", entry.name).CStr());
    }
  }
}

bool SyncEngine::Abandoned() const {
  return stop_.load() || settings_.generation.load() != generation_;
}

bool SyncEngine::Commit(const std::function<void()>& write) {
  const std::lock_guard lock(settings_.mutex);
  if (Abandoned()) return false;
  write();
  return true;
}

std::string SyncEngine::BackUp(const std::string& name) {
  std::string folder = kBackupFolder;
  CreateDirectoryA(ConcatTexts(program_dir_, "\\", std::string_view(folder)).CStr(), nullptr);
  if (const std::size_t slash = name.find('\\'); slash != std::string::npos) {
    folder += "\\" + name.substr(0, slash);
    CreateDirectoryA(ConcatTexts(program_dir_, "\\", std::string_view(folder)).CStr(), nullptr);
  }
  const TextValue own = ConcatTexts(program_dir_, "\\", std::string_view(name));
  const std::string backup = std::string(kBackupFolder) + "\\" + name;
  // One already there is kept: the new one takes the next free number.
  for (int number = 1; number < 1000; ++number) {
    const std::string candidate = number == 1 ? backup : NumberedName(backup, number);
    if (MoveFileExA(own.CStr(), ConcatTexts(program_dir_, "\\", std::string_view(candidate)).CStr(),
                    MOVEFILE_WRITE_THROUGH | MOVEFILE_COPY_ALLOWED))
      return {};
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
      return "无法备份：" + SystemErrorText(error);
  }
  return "无法备份：备份文件太多";
}

SyncEngine::TakeResult SyncEngine::Take(const std::string& name, const std::string& source_path,
                                        const FileStamp& stamp, const TakeContext& context) {
  const TextValue target = ConcatTexts(program_dir_, "\\", std::string_view(name));
  const TextValue temporary = ConcatTexts(target, kTemporarySuffix);
  if (source_path.size() >= MAX_PATH) return {TakeResult::kFailed, "名称太长"};
  if (Abandoned()) return {TakeResult::kAbandoned};
  if (const std::size_t slash = name.find('\\'); slash != std::string::npos)
    CreateDirectoryA(
        ConcatTexts(program_dir_, "\\", std::string_view(name).substr(0, slash)).CStr(), nullptr);
  DWORD error = 0;
  const FollowedKind kind = KindOfName(name);
  if (context.own && stamp.size == context.own_size && SameBytes(source_path, target))
    return {TakeResult::kSame};
  if (kind == FollowedKind::kMusic) {
    ULARGE_INTEGER free{};
    if (GetDiskFreeSpaceExA(program_dir_.CStr(), &free, nullptr, nullptr) &&
        stamp.size > free.QuadPart)
      return {TakeResult::kFailed, "磁盘空间不足"};
    if (!CopyInChunks(
            source_path, temporary, [this] { return Abandoned(); }, error)) {
      DeleteFileA(temporary.CStr());
      if (Abandoned()) return {TakeResult::kAbandoned};
      return {TakeResult::kFailed, SystemErrorText(error)};
    }
  } else {
    std::string bytes;
    if (!ReadWhole(source_path, bytes, error)) return {TakeResult::kFailed, SystemErrorText(error)};
    const bool whole = kind == FollowedKind::kPlan ? PlanIsWhole(bytes) : TimetableIsWhole(bytes);
    if (!whole) return {TakeResult::kFailed, "内容不完整"};
    // Not before the music it names is here: the timetable would ring a file still missing.
    if (kind == FollowedKind::kTimetable) {
      for (const std::string& music : MusicNamedBy(bytes)) {
        if (std::any_of(context.waiting_music.begin(), context.waiting_music.end(),
                        [&](const std::string& w) { return SameFileName(w, music); }))
          return {TakeResult::kHeld};
      }
    }
    if (Abandoned()) return {TakeResult::kAbandoned};
    if (!WriteWholeFile(temporary, ByteBlock(bytes))) {
      error = GetLastError();
      DeleteFileA(temporary.CStr());
      return {TakeResult::kFailed, SystemErrorText(error)};
    }
  }
  // Changed or renamed while it was copied: the copy is not the file that held still.
  if (StampOf(source_path) != stamp) {
    DeleteFileA(temporary.CStr());
    return {TakeResult::kFailed, "复制时文件已改变"};
  }
  TakeResult result{TakeResult::kTaken};
  const bool committed = Commit([&] {
    if (context.own) {
      result.why = BackUp(name);
      if (!result.why.empty()) {
        result.outcome = TakeResult::kFailed;
        return;
      }
      result.backed_up = true;
    }
    ClearReadOnly(target);
    if (!MoveFileExA(temporary.CStr(), target.CStr(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      result.outcome = TakeResult::kFailed;
      result.why = SystemErrorText(GetLastError());
      return;
    }
    result.local = StampOf(target).value_or(FileStamp{});
  });
  if (!committed) result.outcome = TakeResult::kAbandoned;
  if (result.outcome != TakeResult::kTaken) DeleteFileA(temporary.CStr());
  return result;
}

std::optional<double> SyncEngine::CheckClock(const std::string& server, const RecordTime& at,
                                             std::vector<std::string>& record) {
  if (!server_time_) return std::nullopt;
  const std::int64_t before = utc_now_ms_();
  const std::optional<std::int64_t> answer = server_time_(server);
  const std::int64_t after = utc_now_ms_();
  if (!answer) return std::nullopt;
  const double offset = ClockOffsetSeconds(before, *answer, after);
  last_answer_ =
      ServerAnswer{static_cast<std::int32_t>(std::llround(-offset * 1000)), after - before};
  switch (DecideClockNews(clock_off_, offset)) {
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
  LookWork work = BeginLook(at);
  if (work.source.empty()) {
    if (correction_) correction_->Publish(std::nullopt);
    published_.reset();
    return std::move(work.report);
  }
  const SourceListing listing = ListSource(SourcePath(program_dir_.Bytes(), work.source));
  if (!Reach(listing, at, work)) return std::move(work.report);
  RemoveStaleTemporaries();
  LookFacts facts;
  const LookDecision decision = Decide(listing, tick_ms, facts, work);
  TakeFiles(decision, listing, facts, at, work);
  RemoveFiles(decision, work);
  for (const std::string& name : decision.forget) work.taken.erase(name);
  RecordProblems(decision, at, work);
  std::string problem = FinishLook(decision, listing, at, work);
  FollowStatus& status = work.report.status;
  work.report.again_soon = !decision.wait.empty() || work.held;
  if (!work.report.again_soon) last_taken_at_ = ClockText(at);
  status.last_taken_at = last_taken_at_;
  status.problem = std::move(problem);
  return std::move(work.report);
}

SyncEngine::LookWork SyncEngine::BeginLook(const RecordTime& at) {
  LookWork work;
  std::string bad_interval;
  bool on_server = false;
  {
    const std::lock_guard lock(settings_.mutex);
    work.source = settings_.settings.source;
    on_server = RingsOnServerTime(settings_.settings);
    work.taken = settings_.settings.taken;
    bad_interval = settings_.settings.bad_interval;
    generation_ = settings_.generation.load();
  }
  if (work.source != source_) ForgetSource(work.source);
  FollowStatus& status = work.report.status;
  status.source = work.source;
  if (work.source.empty()) return work;
  ++look_number_;
  if (bad_interval != recorded_interval_) {
    recorded_interval_ = bad_interval;
    if (!bad_interval.empty())
      work.report.record.push_back(SyncIntervalLine(at, bad_interval, kSyncLookIntervalMs / 1000));
  }
  last_answer_.reset();
  if (const std::string server = ServerOfSource(work.source); !server.empty())
    clock_offset_ = CheckClock(server, at, work.report.record);
  PublishCorrection(on_server, at, work);
  status.clock_offset_seconds = clock_offset_;
  status.clock_off = clock_off_;
  return work;
}

void SyncEngine::PublishCorrection(bool on_server, const RecordTime& at, LookWork& work) {
  if (!on_server) correction_choice_ = CorrectionChoice{};
  const std::optional<std::int32_t> target =
      on_server ? correction_choice_.Take(last_answer_) : std::nullopt;
  std::vector<std::string>& record = work.report.record;
  if (target) {
    local_recorded_ = false;
    const std::int32_t step = *target - published_.value_or(0);
    if (std::abs(step) >= kStepCorrectionMs)
      record.push_back(ClockServerLine(at, ClockOffsetText(step / 1000.0)));
  } else if (on_server && !local_recorded_) {
    local_recorded_ = true;
    record.push_back(ClockLocalLine(at));
  }
  published_ = target;
  if (correction_) correction_->Publish(target);
  work.report.status.on_server_time = target.has_value();
}

void SyncEngine::ForgetSource(const std::string& source) {
  source_ = source;
  reachable_.reset();
  previous_.clear();
  recorded_problems_.clear();
  failing_.clear();
  emptied_.clear();
  clock_off_ = false;
  clock_offset_.reset();
  correction_choice_ = CorrectionChoice{};
  local_recorded_ = false;
  last_taken_at_.clear();
}

bool SyncEngine::Reach(const SourceListing& listing, const RecordTime& at, LookWork& work) {
  LookReport& report = work.report;
  if (!listing.reachable) {
    if (reachable_ != false)
      report.record.push_back(SyncUnreachableLine(at, work.source, listing.reason));
    reachable_ = false;
    // Back again, every file has to hold still anew.
    previous_.clear();
    report.status.reachable = false;
    report.status.reason = listing.reason;
    report.status.last_taken_at = last_taken_at_;
    return false;
  }
  if (reachable_ == false) report.record.push_back(SyncBackLine(at));
  reachable_ = true;
  return true;
}

LookDecision SyncEngine::Decide(const SourceListing& listing, std::int64_t tick_ms,
                                LookFacts& facts, const LookWork& work) {
  facts.source = listing.files;
  facts.previous = std::move(previous_);
  facts.since_previous_ms = tick_ms - previous_tick_;
  facts.local = LocalStamps();
  facts.taken = work.taken;
  facts.music_unlisted = listing.music_unlisted;
  facts.timetables_unlisted = listing.timetables_unlisted;
  LookDecision decision = DecideLook(facts, kSyncBatch);
  previous_ = listing.files;
  previous_tick_ = tick_ms;
  return decision;
}

void SyncEngine::TakeFiles(const LookDecision& decision, const SourceListing& listing,
                           const LookFacts& facts, const RecordTime& at, LookWork& work) {
  TakeContext context;
  for (const std::string& name : decision.wait) {
    if (KindOfName(name) == FollowedKind::kMusic) context.waiting_music.push_back(name);
  }
  for (const std::string& name : decision.take) {
    if (Abandoned()) break;
    const FileStamp& stamp = listing.files.at(name);
    const std::string target = program_dir_.Bytes() + "\\" + name + kTemporarySuffix;
    // A name no local file can have is never tried: its one line says so.
    if (!CanBeLocalName(name) || target.size() >= MAX_PATH) {
      work.problems[name] = CanBeLocalName(name) ? "名称太长" : "不能用作本机文件名";
      continue;
    }
    const FollowedKind kind = KindOfName(name);
    if (kind == FollowedKind::kPlan && work.timetable_held) {
      work.held = true;
      continue;
    }
    Failing& failing = failing_[name];
    if (failing.stamp != stamp) failing = {stamp, 0, 0};
    if (!TryAgainNow(failing.failures, look_number_ - failing.last_try)) {
      if (const auto it = recorded_problems_.find(name); it != recorded_problems_.end())
        work.problems[name] = it->second;
      continue;
    }
    failing.last_try = look_number_;
    context.own = std::find(decision.own.begin(), decision.own.end(), name) != decision.own.end();
    context.own_size = context.own ? facts.local.at(name).size : 0;
    TakeResult result = Take(name, listing.actual.at(name), stamp, context);
    if (result.backed_up) work.report.record.push_back(SyncBackedUpLine(at, name));
    switch (result.outcome) {
      case TakeResult::kTaken:
        work.taken[name] = {stamp, result.local};
        work.took.push_back(name);
        failing_.erase(name);
        break;
      case TakeResult::kSame:
        work.taken[name] = {stamp, facts.local.at(name)};
        failing_.erase(name);
        break;
      case TakeResult::kHeld:
        work.held = true;
        work.timetable_held = true;
        failing_.erase(name);
        break;
      case TakeResult::kFailed:
        ++failing.failures;
        work.problems[name] = std::move(result.why);
        break;
      case TakeResult::kAbandoned:
        break;
    }
  }
  for (const std::string& name : decision.refused) work.problems[name] = "0 字节";
}

void SyncEngine::RemoveFiles(const LookDecision& decision, LookWork& work) {
  for (const std::string& name : decision.remove) {
    const TextValue path = ConcatTexts(program_dir_, "\\", std::string_view(name));
    DWORD error = ERROR_SUCCESS;
    if (!Commit([&] {
          ClearReadOnly(path);
          if (!DeleteFileA(path.CStr())) error = GetLastError();
        }))
      break;
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) {
      work.taken.erase(name);
      work.removed.push_back(name);
    } else {
      work.problems[name] = "无法删除：" + SystemErrorText(error);
    }
  }
}

void SyncEngine::RecordProblems(const LookDecision& decision, const RecordTime& at,
                                LookWork& work) {
  // A file's trouble is recorded once, and again only when it changes or comes back.
  for (const auto& [name, why] : work.problems) {
    const auto it = recorded_problems_.find(name);
    if (it == recorded_problems_.end() || it->second != why)
      work.report.record.push_back(SyncNotTakenLine(at, name, why));
  }
  recorded_problems_ = work.problems;
  for (const std::string& folder : decision.emptied) {
    if (std::find(emptied_.begin(), emptied_.end(), folder) == emptied_.end())
      work.report.record.push_back(SyncFolderEmptyLine(at, folder));
  }
  emptied_ = decision.emptied;
}

std::string SyncEngine::FinishLook(const LookDecision& decision, const SourceListing& listing,
                                   const RecordTime& at, LookWork& work) {
  std::string problem = listing.problem;
  if (!Commit([&] {
        if (settings_.settings.taken != work.taken) {
          settings_.settings.taken = work.taken;
          if (!settings_.WriteLocked()) problem = "无法写入 Belvane同步.ini";
        }
      }))
    problem.clear();
  LookReport& report = work.report;
  if (!work.took.empty()) report.record.push_back(SyncFilesLine(at, false, work.took));
  if (!work.removed.empty()) report.record.push_back(SyncFilesLine(at, true, work.removed));
  report.changed = work.took;
  report.changed.insert(report.changed.end(), work.removed.begin(), work.removed.end());

  const auto& problems = work.problems;
  if (problem.empty() && !problems.empty()) {
    problem = problems.begin()->first + "：" + problems.begin()->second;
    if (problems.size() > 1)
      problem += "（另有 " + std::to_string(problems.size() - 1) + " 个文件未取）";
  }
  if (problem.empty() && !decision.emptied.empty())
    problem = "来源的 " + decision.emptied.front() + " 文件夹为空";
  if (problem.empty() && listing.files.empty()) problem = "来源中没有课表、日历或音乐文件";
  return problem;
}

}  // namespace belvane
