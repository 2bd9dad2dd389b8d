#include "runtime/record_writer.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <utility>

#include "runtime/gbk.h"

namespace belvane {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kNoTickMs = 60 * 60 * 1000;
// The most one write takes at once, short of a single longer line.
constexpr std::size_t kBatchBytes = 64 * 1024;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Which file a handle holds, whatever its name now; nothing when the system does not say.
std::optional<std::array<DWORD, 3>> FileIdentity(const OwnedKernelHandle& file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return std::array<DWORD, 3>{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// The name as the rename wants it: a whole path under \??\ (a bare name is taken from the
// file's own folder by some systems and from the current folder by others).
std::wstring RenameTarget(const std::wstring& path) {
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  full.resize(
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  if (full.starts_with(L"\\\\?\\")) return L"\\??\\" + full.substr(4);
  if (full.starts_with(L"\\\\")) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

// A file deleted while open keeps its name until its last handle closes, where the system
// does not remove names at once: ours would keep it there for good.
bool DeletePending(const OwnedKernelHandle& file) {
  FILE_STANDARD_INFO info{};
  return GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &info, sizeof info) &&
         info.DeletePending;
}

// Renames the file `file` holds, not whatever its name holds by then, to `name`.
bool RenameHeld(const OwnedKernelHandle& file, const std::wstring& name) {
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  name.copy(info->FileName, name.size());
  return SetFileInformationByHandle(file.Get(), FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size()));
}

// The record file, opened for appending, shared with every other writer and with a rename.
class RecordFile {
 public:
  RecordFile(const TextValue& path, const TextValue& old_path, std::uint64_t limit)
      : path_(WideFromGbk(path.View())),
        old_target_(RenameTarget(WideFromGbk(old_path.View()))),
        limit_(limit) {}

  bool Write(std::string_view line) {
    const std::string_view lines[] = {line};
    return Write(lines) == 1;
  }

  // Writes `lines` in order, up to kBatchBytes of them in one write (a line at a time, a full
  // day of missing files would take minutes of system calls). Returns how many of the first
  // were written; the rest stay for a later try.
  template <class Lines>
  std::size_t Write(const Lines& lines) {
    std::size_t done = 0;
    std::string bytes;
    while (done < std::size(lines)) {
      if (!Open()) break;
      // Another process may have appended since: ask the file, not a count of our own.
      std::optional<std::uint64_t> at = Size();
      bytes.clear();
      std::size_t end = done;
      for (; end < std::size(lines) && bytes.size() < kBatchBytes; ++end) {
        const std::size_t line_bytes = std::string_view(lines[end]).size() + sizeof kLineEnd - 1;
        // A line that would pass the limit begins the next write, after the rotation.
        if (at && RecordNeedsRotation(*at + bytes.size(), line_bytes, limit_)) {
          if (end > done) break;
          RotateHeld();
          file_.Reset();
          // Should the rename fail (the old file held open elsewhere), the line still goes on.
          if (!Open()) return done;
          at = Size();
        }
        bytes.append(lines[end]).append(kLineEnd);
      }
      DWORD written = 0;
      const bool ok = WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                &written, nullptr) &&
                      written == bytes.size();
      FlushFileBuffers(file_.Get());
      if (!ok) {
        file_.Reset();  // opened again for the next line: the folder may come back
        break;
      }
      done = end;
    }
    return done;
  }

  // Lets go of the file (its writer has ended), so that nothing holds it open when it is renamed
  // or replaced later.
  void Close() { file_.Reset(); }

 private:
  // The handle held is kept only while it is still the file at the record's name: a record
  // deleted or renamed meanwhile would take every later line out of sight.
  bool Open() {
    if (file_ && !HeldAtName()) file_.Reset();
    if (file_) return true;
    file_.Reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    identity_ = FileIdentity(file_);
    return static_cast<bool>(file_);
  }

  OwnedKernelHandle OpenName(DWORD access) const {
    return OwnedKernelHandle(CreateFileW(path_.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  // Where the system cannot tell a file's identity, the name is taken to hold ours, as before.
  bool IsHeld(const OwnedKernelHandle& named) const {
    return named && (!identity_ || FileIdentity(named) == identity_);
  }

  bool HeldAtName() const {
    return IsHeld(OpenName(FILE_READ_ATTRIBUTES)) && !DeletePending(file_);
  }

  // Only the file measured, and only while it is at the record's name: another copy may have
  // rotated it since, and renaming what the name holds then would put its fresh file over the
  // history. The rename goes by a handle checked to be that file, so no third file can slip in
  // between the look and the rename.
  void RotateHeld() {
    const OwnedKernelHandle named = OpenName(DELETE | FILE_READ_ATTRIBUTES);
    if (IsHeld(named)) RenameHeld(named, old_target_);
  }

  std::optional<std::uint64_t> Size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.Get(), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::wstring path_;
  std::wstring old_target_;
  std::uint64_t limit_;
  OwnedKernelHandle file_;
  std::optional<std::array<DWORD, 3>> identity_;  // of file_, taken when it was opened
};

}  // namespace

bool RecordNeedsRotation(std::uint64_t file_bytes, std::uint64_t line_bytes, std::uint64_t limit) {
  return file_bytes > 0 && file_bytes + line_bytes > limit;
}

bool AppendRecordLineNow(const TextValue& path, const TextValue& old_path, std::string_view line,
                         std::uint64_t limit) {
  RecordFile file(path, old_path, limit);
  return file.Write(line);
}

struct RecordWriter::Shared {
  Shared(const TextValue& path, const TextValue& old_path, Tick tick_routine, std::uint64_t limit)
      : file(path, old_path, limit), tick(std::move(tick_routine)) {}

  RecordFile file;                 // the writer thread's alone
  std::deque<std::string> unsent;  // the writer thread's alone: lines the file did not take yet
  Tick tick;
  OwnedKernelHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // auto-reset
  std::mutex mutex;                                                      // guards queue, stop
  std::deque<Job> queue;
  bool stop = false;
  std::atomic<std::uint64_t> written{0};
  std::atomic<std::uint64_t> dropped{0};

  // Lines wait, in order, behind any the file did not take before.
  void Write(std::vector<std::string> lines) {
    for (std::string& line : lines) unsent.push_back(std::move(line));
    const std::size_t taken = file.Write(unsent);
    unsent.erase(unsent.begin(), unsent.begin() + static_cast<std::ptrdiff_t>(taken));
    written.fetch_add(taken);
    // The oldest go first: the latest bells are the ones asked about.
    while (unsent.size() > kRecordUnsentLines) {
      unsent.pop_front();
      dropped.fetch_add(1);
    }
  }
};

RecordWriter::~RecordWriter() {
  Stop();
}

void RecordWriter::Run(const std::shared_ptr<Shared>& shared) {
  int tick_ms = kNoTickMs;
  if (shared->tick) shared->Write(shared->tick(tick_ms));
  ULONGLONG tick_at = GetTickCount64() + (tick_ms < 0 ? 0 : tick_ms);
  for (;;) {
    std::deque<Job> jobs;
    bool stop = false;
    {
      std::lock_guard lock(shared->mutex);
      jobs.swap(shared->queue);
      stop = shared->stop;
    }
    for (Job& job : jobs) shared->Write(job());
    if (stop) {
      shared->dropped.fetch_add(shared->unsent.size());
      return;
    }
    if (!jobs.empty()) continue;  // more may have come while these were written
    const ULONGLONG now = GetTickCount64();
    ULONGLONG wait_ms = !shared->tick ? kNoTickMs : tick_at > now ? tick_at - now : 0;
    if (!shared->unsent.empty()) wait_ms = std::min<ULONGLONG>(wait_ms, kRecordRetryMs);
    if (WaitForHandle(shared->wake.Ref(), static_cast<int>(wait_ms))) continue;
    if (shared->tick && GetTickCount64() >= tick_at) {
      tick_ms = kNoTickMs;
      shared->Write(shared->tick(tick_ms));
      tick_at = GetTickCount64() + (tick_ms < 0 ? 0 : tick_ms);
    } else {
      shared->Write({});  // the lines kept, once more
    }
  }
}

bool RecordWriter::Start(const TextValue& path, const TextValue& old_path, Tick tick,
                         std::uint64_t limit) {
  std::lock_guard lock(mutex_);
  if (shared_) return false;
  auto shared = std::make_shared<Shared>(path, old_path, std::move(tick), limit);
  if (!shared->wake) return false;
  if (!thread_.Start([shared] { Run(shared); })) return false;
  shared_ = std::move(shared);
  return true;
}

void RecordWriter::Add(std::string line) {
  AddLines([line = std::move(line)] { return std::vector<std::string>{line}; });
}

void RecordWriter::AddLines(Job job) {
  std::shared_ptr<Shared> shared;
  {
    std::lock_guard lock(mutex_);
    shared = shared_;
  }
  if (!shared) return;
  {
    std::lock_guard lock(shared->mutex);
    if (shared->stop) return;
    shared->queue.push_back(std::move(job));
  }
  SignalEvent(shared->wake.Ref());
}

bool RecordWriter::Stop(int timeout_ms) {
  std::lock_guard lock(mutex_);
  if (!shared_) return true;
  {
    std::lock_guard queue_lock(shared_->mutex);
    shared_->stop = true;
  }
  SignalEvent(shared_->wake.Ref());
  const bool ended = thread_.Stop(timeout_ms);
  // Kept for the counts; a thread that outlived the wait holds its own reference.
  if (ended) shared_->file.Close();
  return ended;
}

bool RecordWriter::Running() {
  return thread_.Running();
}

std::uint64_t RecordWriter::LinesWritten() const {
  std::lock_guard lock(mutex_);
  const std::shared_ptr<Shared> shared = shared_;
  return shared ? shared->written.load() : 0;
}

std::uint64_t RecordWriter::LinesDropped() const {
  std::lock_guard lock(mutex_);
  const std::shared_ptr<Shared> shared = shared_;
  return shared ? shared->dropped.load() : 0;
}

}  // namespace belvane
