// Timetable load and save: the platform's per-value profile calls against one ProfileDocument,
// at 100, 8,000 and 86,400 rows, side by side. The per-value way grows with the square of the
// rows; each of its runs stops at a time limit (first argument, seconds, default 30) and the
// rest is extrapolated from the calls done, taken in a strided order so that early and late
// keys are sampled alike. Usage: inifile_bench.exe [limit_seconds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/inifile/profile_document.h"

namespace {

using belvane::ProfileDocument;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Row {
  std::string time, music, remark;
};

std::vector<Row> MakeRows(int n, int shift) {
  std::vector<Row> rows(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const int s = (i + shift) % 86400;
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    rows[static_cast<std::size_t>(i)] = {t, std::to_string(i + 1) + ".请考生开始答题.m4a",
                                         std::to_string(s)};
  }
  return rows;
}

void WriteTimetable(const std::string& path, const std::vector<Row>& rows) {
  ProfileDocument doc;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string k = std::to_string(i + 1);
    doc.Write("time", k, rows[i].time);
    doc.Write("music", k, rows[i].music);
    doc.Write("remark", k, rows[i].remark);
  }
  doc.Write("total", "n", std::to_string(rows.size()));
  DeleteFileA(path.c_str());
  doc.SaveAtomically(path);
}

// The platform keeps a parsed copy of a file that has not changed for two seconds: give the
// file an old time so that loading measures the way a program meets its file at start-up.
void MakeOld(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME old{};
  SYSTEMTIME st{2020, 1, 0, 1, 0, 0, 0, 0};
  SystemTimeToFileTime(&st, &old);
  SetFileTime(f, nullptr, nullptr, &old);
  CloseHandle(f);
}

std::string ReadOne(const std::string& path, const char* section, const std::string& key) {
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD got = GetPrivateProfileStringA(section, key.c_str(), "", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), path.c_str());
    if (got + 1 < buffer.size()) return std::string(buffer.data(), got);
    buffer.resize(buffer.size() * 2);
  }
}

// Key order for the per-value runs: every row once, strided.
int StridedRow(long long j, int n) {
  return static_cast<int>((j * 7919) % n) + 1;
}

struct Timing {
  double seconds;
  bool extrapolated;
};

Timing PerValueLoad(const std::string& path, int n, double limit) {
  MakeOld(path);
  const double start = Now();
  const int total = std::atoi(ReadOne(path, "total", "n").c_str());
  long long done = 0;
  std::string sink;
  for (long long j = 0; j < total; ++j) {
    const std::string k = std::to_string(StridedRow(j, total));
    sink = ReadOne(path, "time", k);
    sink = ReadOne(path, "music", k);
    sink = ReadOne(path, "remark", k);
    ++done;
    if (Now() - start > limit) break;
  }
  const double spent = Now() - start;
  if (done == n) return {spent, false};
  return {spent * static_cast<double>(n) / static_cast<double>(done), true};
}

Timing PerValueSave(const std::string& path, const std::vector<Row>& rows, double limit) {
  const int n = static_cast<int>(rows.size());
  const double start = Now();
  long long done = 0;
  for (long long j = 0; j < n; ++j) {
    const int r = StridedRow(j, n);
    const std::string k = std::to_string(r);
    const Row& row = rows[static_cast<std::size_t>(r - 1)];
    WritePrivateProfileStringA("time", k.c_str(), row.time.c_str(), path.c_str());
    WritePrivateProfileStringA("music", k.c_str(), row.music.c_str(), path.c_str());
    WritePrivateProfileStringA("remark", k.c_str(), row.remark.c_str(), path.c_str());
    ++done;
    if (Now() - start > limit) break;
  }
  if (done == n) {
    WritePrivateProfileStringA("total", "n", std::to_string(n).c_str(), path.c_str());
    return {Now() - start, false};
  }
  return {(Now() - start) * static_cast<double>(n) / static_cast<double>(done), true};
}

double DocumentLoad(const std::string& path) {
  MakeOld(path);
  const double start = Now();
  const ProfileDocument doc = ProfileDocument::Load(path);
  const int n = std::atoi(doc.Read("total", "n").CStr());
  std::vector<Row> rows(static_cast<std::size_t>(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i) {
    const std::string k = std::to_string(i + 1);
    rows[static_cast<std::size_t>(i)] = {doc.Read("time", k).Bytes(), doc.Read("music", k).Bytes(),
                                         doc.Read("remark", k).Bytes()};
  }
  return Now() - start;
}

double DocumentSave(const std::string& path, const std::vector<Row>& rows) {
  const double start = Now();
  ProfileDocument doc = ProfileDocument::Load(path);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string k = std::to_string(i + 1);
    doc.Write("time", k, rows[i].time);
    doc.Write("music", k, rows[i].music);
    doc.Write("remark", k, rows[i].remark);
  }
  doc.Write("total", "n", std::to_string(rows.size()));
  const bool ok = doc.SaveAtomically(path);
  const double spent = Now() - start;
  if (!ok) std::printf("document save failed\n");
  return spent;
}

std::string Format(const Timing& t) {
  char text[48];
  std::snprintf(text, sizeof text, "%s%.3f s", t.extrapolated ? "~" : "", t.seconds);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const double limit = argc > 1 ? std::atof(argv[1]) : 30.0;
  char dir[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, dir);
  const std::string base = std::string(dir) + "\\inifile_bench_";

  std::printf("Timetable load (file to all values in memory) and save (all values to file).\n");
  std::printf(
      "Per-value: GetPrivateProfileStringA / WritePrivateProfileStringA, one call a "
      "value, 3n + 1 calls.\n");
  std::printf("Document: ProfileDocument::Load + Read, or Load + Write + SaveAtomically.\n");
  std::printf("Save writes a timetable whose every row differs from the file's (rows shifted).\n");
  std::printf("~ marks a per-value run stopped at %.0f s and extrapolated linearly.\n\n", limit);
  std::printf("%8s | %16s %16s | %16s %16s\n", "rows", "load per-value", "load document",
              "save per-value", "save document");
  for (const int n : {100, 8000, 86400}) {
    const std::vector<Row> old_rows = MakeRows(n, 0);
    const std::vector<Row> new_rows = MakeRows(n, 1);
    const std::string per_value_path = base + std::to_string(n) + "_per_value.ini";
    const std::string document_path = base + std::to_string(n) + "_document.ini";
    WriteTimetable(per_value_path, old_rows);
    WriteTimetable(document_path, old_rows);

    const Timing load_pv = PerValueLoad(per_value_path, n, limit);
    const double load_doc = DocumentLoad(document_path);
    const Timing save_pv = PerValueSave(per_value_path, new_rows, limit);
    const double save_doc = DocumentSave(document_path, new_rows);
    std::printf("%8d | %16s %14.3f s | %16s %14.3f s\n", n, Format(load_pv).c_str(), load_doc,
                Format(save_pv).c_str(), save_doc);
    std::fflush(stdout);
    DeleteFileA(per_value_path.c_str());
    DeleteFileA(document_path.c_str());
  }
  return 0;
}
