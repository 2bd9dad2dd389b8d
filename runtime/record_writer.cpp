#include "runtime/record_writer.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "runtime/gbk.h"

namespace belvane {

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kNoTickMs = 60 * 60 * 1000;

// The record file, opened for appending, shared with every other writer and with a rename.
class RecordFile {
 public:
  RecordFile(const TextValue& path, const TextValue& old_path, std::uint64_t limit)
      : path_(WideFromGbk(path.View())), old_path_(WideFromGbk(old_path.View())), limit_(limit) {}

  bool Write(std::string_view line) {
    std::string bytes(line);
    bytes += kLineEnd;
    if (!Open()) return false;
    LARGE_INTEGER size{};
    // Another process may have appended since: ask the file, not a count of our own.
    if (GetFileSizeEx(file_.Get(), &size) &&
        RecordNeedsRotation(static_cast<std::uint64_t>(size.QuadPart), bytes.size(), limit_)) {
      file_.Reset();
      MoveFileExW(path_.c_str(), old_path_.c_str(), MOVEFILE_REPLACE_EXISTING);
      // Should the rename fail (the old file held open elsewhere), the line still goes on.
      if (!Open()) return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    FlushFileBuffers(file_.Get());
    if (!ok) file_.Reset();  // opened again for the next line: the folder may come back
    return ok;
  }

 private:
  bool Open() {
    if (file_) return true;
    file_.Reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
  }

  std::wstring path_;
  std::wstring old_path_;
  std::uint64_t limit_;
  OwnedKernelHandle file_;
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

  RecordFile file;  // the writer thread's alone
  Tick tick;
  OwnedKernelHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // auto-reset
  std::mutex mutex;                                                      // guards queue, stop
  std::deque<Job> queue;
  bool stop = false;
  std::atomic<std::uint64_t> written{0};
  std::atomic<std::uint64_t> dropped{0};

  void Write(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) (file.Write(line) ? written : dropped).fetch_add(1);
  }
};

RecordWriter::~RecordWriter() {
  Stop();
}

void RecordWriter::Run(const std::shared_ptr<Shared>& shared) {
  int wait_ms = kNoTickMs;
  if (shared->tick) shared->Write(shared->tick(wait_ms));
  for (;;) {
    std::deque<Job> jobs;
    bool stop = false;
    {
      std::lock_guard lock(shared->mutex);
      jobs.swap(shared->queue);
      stop = shared->stop;
    }
    for (Job& job : jobs) shared->Write(job());
    if (stop) return;
    if (!jobs.empty()) continue;  // more may have come while these were written
    if (!WaitForHandle(shared->wake.Ref(), wait_ms < 0 ? 0 : wait_ms) && shared->tick) {
      // A timeout (not a wake for new lines): the tick's time has come.
      wait_ms = kNoTickMs;
      shared->Write(shared->tick(wait_ms));
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
