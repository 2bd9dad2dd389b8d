// The timetable file at a full day of rows, measured two ways in one run:
//
// 1. In process, side by side: the application's LoadTimetableFrom / SaveTimetableTo between a
//    file and a shown list view, through the whole-file store (what the program uses) and
//    through the per-value store (one platform profile call a value). Per-value runs stop at a
//    time limit and are extrapolated: they visit the values in a strided order (every value
//    once) so that early and late keys are sampled alike, and one value costs about the same
//    throughout (a whole-file pass), so the figure scales linearly with the values left.
//    Also: showing a full day of rows in the program's list view (it asks the model for the
//    cells it shows) against a list view that holds every cell, filled row by row with its
//    redraw suspended and left on; and clearing and destroying such a list with the delete-all
//    notification answered and left to per-row ones.
// 2. The real program: Belvane.exe copied into a fresh folder with a timetable of n rows,
//    timed from its start until its main window is visible with all rows and until it is
//    drawn, then deleting the first row (which renumbers every row), "4.保存", and closing
//    (from the confirmation's OK to the end of the process). Two cases have a file of only
//    its row count and no mp3 folder, so every row is one whose music is missing.
//
// Usage: timetable_bench.exe [limit_seconds]   (per-value time limit, default 20)
//        timetable_bench.exe --program [--runs N] A.exe [B.exe ...]
//            (part 2 only, the exes side by side, N times over with the medians)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/timetable/profile_store.h"
#include "app/timetable/timetable_file.h"
#include "app/timetable/timetable.h"
#include "app/timetable/timetable_view.h"
#include "app/timetable/timetable_rules.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "tests/support/file_tree.h"
#include "ui/controls/list_view_control.h"
#include "ui/form_window.h"
#include "ui/window_layer.h"

namespace belvane {
namespace {

using testing::RemoveTree;

constexpr int kSizes[] = {100, 8000, 86400};
const char* const kMusic[] = {"1.组织考生进入考场.m4a", "2.宣读考试规则.m4a",
                              "3.监考员启封试卷袋.m4a", "4.分发试题卷和答题卷.m4a",
                              "5.请考生开始答题.m4a",   "6.考前15分钟提醒.m4a",
                              "7.停止答题.m4a"};

double Now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(frequency.QuadPart);
}

// ---- Files

// A timetable file of `n` rows (times shifted by `shift` seconds) with the row count `count`.
std::string TimetableText(int n, int shift, const std::string& count) {
  std::string time = "[time]\r\n", music = "[music]\r\n", remark = "[remark]\r\n";
  for (int i = 0; i < n; ++i) {
    const int s = (i + shift) % 86400;
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    const std::string k = std::to_string(i + 1);
    time += k + "=" + t + "\r\n";
    music += k + "=" + kMusic[(i + shift) % 7] + "\r\n";
    remark += k + "=" + std::to_string(s) + "\r\n";
  }
  return time + music + remark + "[total]\r\nn=" + count + "\r\n";
}

void PutFile(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD put = 0;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
  // The platform keeps a parsed copy of a profile file that is recent; an old file time makes
  // every way meet the file as a program does at start-up.
  FILETIME old{};
  SYSTEMTIME st{2020, 1, 0, 1, 0, 0, 0, 0};
  SystemTimeToFileTime(&st, &old);
  SetFileTime(f, nullptr, nullptr, &old);
  CloseHandle(f);
}

std::string TempFolder(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  static int counter = 0;
  for (;;) {
    const std::string path = std::string(temp) + "belvane_bench_" + tag + "_" +
                             std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(++counter);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
  }
}

// A program folder: the mp3 folder with the seven files the rows name.
void MakeMusicFolder(const std::string& dir) {
  CreateDirectoryA((dir + "\\mp3").c_str(), nullptr);
  for (const char* name : kMusic) PutFile(dir + "\\mp3\\" + name, "x");
}

// ---- The per-value way under a time limit

// Reads or writes through the per-value store one value at a time in a strided order, and
// stops at the limit; `Figure` then gives the time measured or extrapolated.
class TimeLimitedPerValueStore final : public ProfileStore {
 public:
  TimeLimitedPerValueStore(const TextValue& file, double limit) : inner_(file), limit_(limit) {}

  std::vector<TextValue> ReadValues(const std::vector<ProfileKey>& keys) override {
    std::vector<TextValue> values(keys.size());
    Run(keys.size(), [&](std::size_t i) { values[i] = inner_.ReadValues({keys[i]})[0]; });
    return values;
  }
  bool WriteValues(const std::vector<ProfileValue>& values) override {
    // The row count last, as the application writes it.
    Run(values.size() - 1, [&](std::size_t i) { inner_.WriteValues({values[i]}); });
    if (!stopped_) inner_.WriteValues({values.back()});
    return true;
  }

  // Seconds for every value asked so far; "~" in front when extrapolated.
  std::string Figure() const {
    char text[48];
    const double seconds = done_ == asked_ ? spent_ : spent_ * double(asked_) / double(done_);
    std::snprintf(text, sizeof text, "%s%.2f s", stopped_ ? "~" : "", seconds);
    return text;
  }

 private:
  template <class Step>
  void Run(std::size_t count, const Step& step) {
    const double start = Now();
    asked_ += count;
    std::size_t j = 0;
    for (; j < count; ++j) {
      // 7919 is prime and divides no count used here, so this visits every index once.
      step(std::size_t((unsigned long long)j * 7919u % count));
      if (Now() - start > limit_) {
        ++j;
        stopped_ = j < count;
        break;
      }
    }
    done_ += j;
    spent_ += Now() - start;
  }

  PerValueProfileStore inner_;
  double limit_;
  std::size_t asked_ = 0, done_ = 0;
  double spent_ = 0;
  bool stopped_ = false;
};

// ---- In process

// The list view as it was before delete-all was answered: every row's LVN_DELETEITEM goes
// through the parent's routing.
class PerRowDeleteListView final : public ListViewControl {
 public:
  LRESULT NotifyReflection(HWND parent, HWND sender, int code, int id, LPARAM lparam) override {
    if (static_cast<UINT>(code) == LVN_DELETEALLITEMS) return 0;
    return ListViewControl::NotifyReflection(parent, sender, code, id, lparam);
  }
};

// A shown top-level window routed by the window layer, holding the timetable's list view (or,
// with LVS_REPORT, a list view that holds its cells).
struct Host {
  explicit Host(ListViewControl& view, DWORD style = kTimetableListStyle)
      : list(view), rows(model, view) {
    form.CreateTopLevel("STATIC", "timetable bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640,
                        480);
    view.CreateListView(form.Handle(), style | LVS_SINGLESEL, 0, 0, 620, 440);
    view.InsertColumn(0, "顺序", 50);
    view.InsertColumn(1, "开始时间", 100);
    view.InsertColumn(2, "音乐", 300);
    view.InsertColumn(3, "数值", 60);
    Paint();
  }
  ~Host() { Destroy(); }
  void Paint() {
    UpdateWindow(form.Handle());
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  void Destroy() {
    if (form.Handle()) DestroyWindow(form.Handle());
  }
  FormWindow form;
  ListViewControl& list;
  Timetable model;
  TimetableView rows;
};

// The list view as it was filled before it asked for its cells: a row and its four cells at a
// time, the redraw suspended when asked; stops at `limit` seconds. Returns the rows filled.
int FillCells(ListViewControl& view, const std::vector<TimetableEntry>& entries, bool suspend,
              double limit) {
  const int n = static_cast<int>(entries.size());
  if (suspend) view.SuspendRedraw();
  view.SetRowCount(n);
  const double start = Now();
  int filled = 0;
  for (; filled < n && Now() - start < limit; ++filled) {
    const TimetableEntry& entry = entries[std::size_t(filled)];
    const int row = view.InsertRow(filled, IntegerText(filled + 1));
    view.SetCellText(row, 1, entry.start_time);
    view.SetCellText(row, 2, entry.music_name);
    view.SetCellText(row, 3, entry.seconds);
  }
  if (suspend) {
    view.ResumeRedraw();
    view.Redraw();
  }
  return filled;
}

// The program's existence test: each distinct name looked up once per load.
MusicExistsTest ExistsIn(const std::string& dir) {
  const TextValue prefix = TextValue(dir + "\\mp3\\");
  auto known = std::make_shared<std::unordered_map<std::string, bool>>();
  return [prefix, known](const TextValue& name) {
    const auto [it, added] = known->try_emplace(name.Bytes(), false);
    if (added) it->second = FileExists(ConcatTexts(prefix, name));
    return it->second;
  };
}

bool SameCells(const Host& host, const std::string& path) {
  ListViewControl view;
  Host check(view);
  WholeFileProfileStore store{TextValue(path)};
  LoadTimetableFrom(
      store, [](const TextValue&) { return true; }, check.rows);
  if (check.rows.Count() != host.rows.Count()) return false;
  for (int r = 0; r < host.rows.Count(); ++r) {
    for (int c = 0; c < 4; ++c) {
      if (check.list.GetWholeCellText(r, c).View() != host.list.GetWholeCellText(r, c).View())
        return false;
    }
  }
  return true;
}

void SideBySide(double limit) {
  std::printf("1. In process: file -> shown list view (load), list view -> file (save)\n");
  std::printf("   whole-file: the program's store (one read, one atomic write)\n");
  std::printf(
      "   per-value: one platform profile call a value (~ = stopped at %.0f s and "
      "extrapolated)\n\n",
      limit);
  std::printf("%8s | %14s %14s | %14s %14s | %s\n", "rows", "load whole", "load per-value",
              "save whole", "save per-value", "saved file reads back");
  const std::string dir = TempFolder("inproc");
  MakeMusicFolder(dir);
  const MusicExistsTest exists = ExistsIn(dir);
  for (const int n : kSizes) {
    const std::string whole = dir + "\\whole.ini", per_value = dir + "\\per_value.ini";
    const std::string text = TimetableText(n, 0, std::to_string(n));
    PutFile(whole, text);
    PutFile(per_value, text);

    ListViewControl view;
    Host host(view);
    double start = Now();
    {
      WholeFileProfileStore store{TextValue(whole)};
      LoadTimetableFrom(store, exists, host.rows);
      host.Paint();
    }
    const double load_whole = Now() - start;

    ListViewControl other_view;
    Host other(other_view);
    TimeLimitedPerValueStore load_store(TextValue(per_value), limit);
    LoadTimetableFrom(load_store, exists, other.rows);
    other.Paint();
    other.Destroy();

    // Every value the save writes differs from the file's: the file moves one second on.
    const std::string shifted = TimetableText(n, 1, std::to_string(n));
    PutFile(whole, shifted);
    PutFile(per_value, shifted);
    start = Now();
    {
      WholeFileProfileStore store{TextValue(whole)};
      if (!SaveTimetableTo(host.model, store)) std::printf("whole-file save failed\n");
    }
    const double save_whole = Now() - start;
    TimeLimitedPerValueStore save_store(TextValue(per_value), limit);
    SaveTimetableTo(host.model, save_store);

    std::printf("%8d | %12.2f s %14s | %12.2f s %14s | %s\n", n, load_whole,
                load_store.Figure().c_str(), save_whole, save_store.Figure().c_str(),
                SameCells(host, whole) ? "identical" : "DIFFERENT");
    std::fflush(stdout);
  }

  // Showing the rows: the program's list asks for the cells it shows; a list that holds its
  // cells is filled row by row (with its redraw left on, it stops at the limit and is
  // extrapolated linearly, which is a lower bound).
  std::printf("\n   Showing rows in a shown list view:\n");
  std::printf("%8s | %18s | %18s %18s\n", "rows", "asks for cells", "cells, suspended",
              "cells, left on");
  for (const int n : {8000, 86400}) {
    std::vector<TimetableEntry> entries(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) entries[std::size_t(i)] = {"08:00:00", kMusic[i % 7], "28800"};
    ListViewControl a_view;
    Host a(a_view);
    double start = Now();
    a.rows.Load(entries);
    a.Paint();
    const double asked = Now() - start;
    ListViewControl b_view;
    Host b(b_view, LVS_REPORT);
    start = Now();
    FillCells(b_view, entries, true, 1e9);
    b.Paint();
    const double suspended = Now() - start;
    ListViewControl c_view;
    Host c(c_view, LVS_REPORT);
    start = Now();
    const int filled = FillCells(c_view, entries, false, limit);
    c.Paint();
    const double left_on = (Now() - start) * double(n) / double(filled);
    std::printf("%8d | %16.2f s | %16.2f s %s%15.2f s\n", n, asked, suspended,
                filled < n ? "~" : " ", left_on);
    std::fflush(stdout);
  }

  // Clearing and destroying a full day of rows.
  std::printf("\n   A list view holding 86,400 rows of cells in a routed parent:\n");
  std::printf("%28s | %12s %12s\n", "", "DeleteAllRows", "destroy");
  std::vector<TimetableEntry> day(86400);
  for (int i = 0; i < 86400; ++i) day[std::size_t(i)] = {"08:00:00", kMusic[i % 7], "28800"};
  auto clear_and_destroy = [&day](ListViewControl& view, const char* label) {
    double cleared = 0, destroyed = 0;
    {
      Host host(view, LVS_REPORT);
      FillCells(view, day, true, 1e9);
      double start = Now();
      view.DeleteAllRows();
      cleared = Now() - start;
      FillCells(view, day, true, 1e9);
      start = Now();
      host.Destroy();
      destroyed = Now() - start;
    }
    std::printf("%28s | %11.2f s %10.2f s\n", label, cleared, destroyed);
    std::fflush(stdout);
  };
  ListViewControl answered;
  clear_and_destroy(answered, "delete-all answered TRUE");
  PerRowDeleteListView per_row;
  clear_and_destroy(per_row, "per-row notifications");
  RemoveTree(dir);
}

// ---- The real program

struct Found {
  DWORD pid;
  HWND main = nullptr;  // the visible window holding the list view
  HWND box = nullptr;   // another visible dialog: a message box
};

BOOL CALLBACK FindWindows(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != found->pid || !IsWindowVisible(window)) return TRUE;
  if (FindWindowExA(window, nullptr, "SysListView32", nullptr)) {
    found->main = window;
  } else {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770") found->box = window;
  }
  return TRUE;
}

Found Look(DWORD pid) {
  Found found{pid};
  EnumWindows(&FindWindows, reinterpret_cast<LPARAM>(&found));
  return found;
}

LRESULT SendWaiting(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, 600000, &result);
  return LRESULT(result);
}

struct ProgramRun {
  double shown = -1, drawn = -1, deleted = -1, saved = -1, closed = -1;
  int rows = -1;
  std::string saved_count;
};

// Whether `window` has nothing left to paint, its children included.
bool Drawn(HWND window) {
  if (GetUpdateRect(window, nullptr, FALSE)) return false;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
  }
  return true;
}

// `file_rows` < 0: the timetable file holds only its row count, and there is no mp3 folder
// (every row's music is missing).
ProgramRun RunProgram(const std::string& exe, int file_rows, const std::string& count,
                      int expected_rows) {
  ProgramRun run;
  const std::string dir = TempFolder("program");
  CopyFileA(exe.c_str(), (dir + "\\Belvane.exe").c_str(), FALSE);
  const std::string config = dir + "\\Belvane配置.ini";
  if (file_rows < 0) {
    PutFile(config, "[total]\r\nn=" + count + "\r\n");
  } else {
    MakeMusicFolder(dir);
    PutFile(config, TimetableText(file_rows, 0, count));
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + dir + "\\Belvane.exe\"";
  const double start = Now();
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                      &startup, &process)) {
    std::printf("cannot start %s\n", command.c_str());
    RemoveTree(dir);
    return run;
  }
  Found found{};
  HWND list = nullptr;
  while (Now() - start < 600) {
    found = Look(process.dwProcessId);
    if (found.box) {
      // No sound device on this machine: start-up says so once, beside the window, and goes on.
      PostMessageA(found.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   LPARAM(GetDlgItem(found.box, IDOK)));
    }
    if (found.main) {
      list = FindWindowExA(found.main, nullptr, "SysListView32", nullptr);
      run.rows = int(SendWaiting(list, LVM_GETITEMCOUNT));
      if (run.rows == expected_rows) break;
    }
    Sleep(5);
  }
  run.shown = Now() - start;

  if (found.main && run.rows == expected_rows) {
    // Drawn: the window and its controls have painted what they show.
    while (Now() - start < 600 && !Drawn(found.main)) Sleep(5);
    run.drawn = Now() - start;
    // Delete the first row: every row below moves up and is renumbered.
    SendWaiting(list, LVM_SETSELECTIONMARK, 0, 0);
    double t = Now();
    SendWaiting(GetDlgItem(found.main, 1012), BM_CLICK);
    run.deleted = Now() - t;
    t = Now();
    SendWaiting(GetDlgItem(found.main, 1014), BM_CLICK);
    run.saved = Now() - t;
    run.saved_count = ReadProfileText(config, "total", "n").Bytes();

    // Close: the confirmation comes up; its OK ends the program.
    PostMessageA(found.main, WM_CLOSE, 0, 0);
    const double asked = Now();
    HWND box = nullptr;
    while (Now() - asked < 60 && !box) {
      box = Look(process.dwProcessId).box;
      char caption[64] = {};
      if (box) GetWindowTextA(box, caption, sizeof caption);
      if (box && std::string(caption) != "防止误操作") {
        // The no-sound box, should it have come up after the rows: answered, not confirmed.
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
        box = nullptr;
      }
      Sleep(5);
    }
    if (box) {
      t = Now();
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
      if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) run.closed = Now() - t;
    }
  }
  if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  RemoveTree(dir);
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? -1 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// `programs`: the exes to run, each case for each in turn (side by side in one run), `runs`
// times over; none = the Belvane.exe beside this benchmark.
void RealProgram(std::vector<std::string> programs, int runs) {
  if (programs.empty()) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string here = self;
    programs.push_back(here.substr(0, here.rfind('\\')) + "\\Belvane.exe");
  }
  std::printf("\n2. Belvane.exe in a fresh folder (whole-file store)\n");
  std::printf(
      "   up: start to main window visible with every row; drawn: start to that window "
      "painted;\n   delete: first row, all renumbered; save: \"4.保存\" after it; close: from "
      "the\n   confirmation's OK to the end of the process. \"only n\": the file holds just "
      "[total] n,\n   and there is no mp3 folder\n\n");
  std::printf("%30s | %6s %9s %9s %9s %9s %9s | %s\n", "file", "rows", "up", "drawn", "delete",
              "save", "close", "saved n");
  struct Case {
    const char* label;
    int file_rows;
    std::string count;
    int expected;
  };
  const Case cases[] = {{"100 rows", 100, "100", 100},
                        {"8,000 rows", 8000, "8000", 8000},
                        {"86,400 rows", 86400, "86400", 86400},
                        {"n=2147483647, 7 rows", 7, "2147483647", kMaxTimetableRows},
                        {"n=100000, no row keys", 0, "100000", kMaxTimetableRows},
                        {"only n=100000", -1, "100000", kMaxTimetableRows},
                        {"only n=2147483647", -1, "2147483647", kMaxTimetableRows}};
  for (const Case& c : cases) {
    std::vector<std::vector<double>> shown(programs.size()), drawn(programs.size());
    for (int r = 0; r < runs; ++r) {
      for (std::size_t p = 0; p < programs.size(); ++p) {
        const ProgramRun run = RunProgram(programs[p], c.file_rows, c.count, c.expected);
        shown[p].push_back(run.shown);
        drawn[p].push_back(run.drawn);
        const std::string label = programs.size() > 1
                                      ? std::string(c.label) + " [" + std::to_string(p + 1) + "]"
                                      : c.label;
        std::printf("%30s | %6d %7.2f s %7.2f s %7.2f s %7.2f s %7.2f s | %s\n", label.c_str(),
                    run.rows, run.shown, run.drawn, run.deleted, run.saved, run.closed,
                    run.saved_count.c_str());
        std::fflush(stdout);
      }
    }
    for (std::size_t p = 0; runs > 1 && p < programs.size(); ++p) {
      const std::string label = std::string("median [") + std::to_string(p + 1) + "]";
      std::printf("%30s | %6s %7.2f s %7.2f s\n", label.c_str(), "", Median(shown[p]),
                  Median(drawn[p]));
    }
  }
}

}  // namespace
}  // namespace belvane

int main(int argc, char** argv) {
  // --program [--runs N] A.exe [B.exe ...]: only the real program's cases, for each exe in turn.
  if (argc > 1 && std::string(argv[1]) == "--program") {
    int first = 2, runs = 1;
    if (argc > 3 && std::string(argv[2]) == "--runs") {
      runs = std::max(1, std::atoi(argv[3]));
      first = 4;
    }
    belvane::RealProgram(std::vector<std::string>(argv + first, argv + argc), runs);
    return 0;
  }
  const double limit = argc > 1 ? std::atof(argv[1]) : 20.0;
  if (!belvane::StartWindowLayer()) {
    std::printf("window layer did not start\n");
    return 1;
  }
  belvane::SideBySide(limit);
  belvane::RealProgram({}, 1);
  return 0;
}
