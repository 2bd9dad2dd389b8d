// The process frame, fatal errors and the binder's failures, observed from outside: each test
// runs frame_child.exe with one scenario and reads back its exit code and its log.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace belvane {
namespace {

struct ChildRun {
  DWORD exit_code = 0xFFFFFFFF;
  std::vector<std::string> log;
};

// Runs one scenario; `whileRunning` (when given) acts on the running child, whose process id it
// is given, before the wait.
ChildRun RunChild(const std::string& scenario,
                  const std::function<void(DWORD)>& whileRunning = nullptr) {
  const std::string logPath = "frame_child_" + scenario + ".log";
  DeleteFileA(logPath.c_str());
  std::string commandLine = "\"frame_child.exe\" " + scenario + " " + logPath;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ChildRun run;
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start frame_child.exe";
    return run;
  }
  if (whileRunning) whileRunning(process.dwProcessId);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    ADD_FAILURE() << scenario << ": the child did not end";
  }
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::ifstream file(logPath, std::ios::binary);
  for (std::string line; std::getline(file, line);) run.log.push_back(line);
  return run;
}

using Lines = std::vector<std::string>;

const Lines kStart = {"construct mxcsr=1f80", "layer dispatcher=1", "program"};

Lines With(Lines lines, const Lines& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

const Lines kExitSequence = {"exit-hook libraries-ended=0", "hook1", "hook2"};

TEST(ProcessFrame, RunsHooksInOrderAndEndsWithCodeZero) {
  const ChildRun run = RunChild("normal");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.log,
            With(With(kStart,
                      {"arguments=[normal frame_child_normal.log]", "program-returns", "unwound"}),
                 With(kExitSequence, {"after-frame libraries-ended=1 listed=0 still-loaded=0"})));
}

TEST(ProcessFrame, ExitReleasesTheLibrariesItLoaded) {
  const ChildRun run = RunChild("bind-and-end");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.log,
            With(With(kStart, {"bound result=7 listed=1", "program-returns", "unwound"}),
                 With(kExitSequence, {"after-frame libraries-ended=1 listed=0 still-loaded=0"})));
}

TEST(ProcessFrame, WithoutAFrameExitEndsAtOnceWithTheGivenCode) {
  const ChildRun run = RunChild("no-frame");
  EXPECT_EQ(run.exit_code, 7u);
  EXPECT_TRUE(run.log.empty());
}

// A fatal error on the frame's thread: box, whole exit sequence, the abandoned frames unwound,
// back in the application object, code 0.
void ExpectFatal(const std::string& scenario, const std::string& box) {
  SCOPED_TRACE(scenario);
  const ChildRun run = RunChild(scenario);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.log,
            With(With(kStart, {box}), With(kExitSequence, {"unwound",
                                                           "after-frame libraries-ended=1 listed=0 "
                                                           "still-loaded=0"})));
}

TEST(FatalErrors, MissingLibraryShowsItsNameAndEndsTheProgram) {
  ExpectFatal("missing-dll",
              "box caption=[DLL ERROR] text=[同目录下无法找到DLL文件:\"belvane_no_such_library\"."
              "请与作者联系.] style=16 owner=0");
}

TEST(FatalErrors, MissingFunctionNamesLibraryAndFunction) {
  ExpectFatal("missing-function",
              "box caption=[DLL ERROR] text=[无法定位DLL文件:\"runtime_test_lib\"当中的"
              "\"NoSuchFunction\"函数.] style=16 owner=0");
  ExpectFatal("missing-ordinal",  // 65539 must not become ordinal 3
              "box caption=[DLL ERROR] text=[无法定位DLL文件:\"runtime_test_lib\"当中的"
              "\"#65539\"函数.] style=16 owner=0");
}

TEST(FatalErrors, ArrayIndexOutOfRangeRaisesErrorsFourAndOne) {
  ExpectFatal("index-below",
              "box caption=[error] text=[program internal error number is 4. \\r\\n"
              "数组成员引用下标必须大于等于1] style=16 owner=0");
  ExpectFatal("index-above",
              "box caption=[error] text=[program internal error number is 1. \\r\\n"
              "数组成员引用下标超出定义范围] style=16 owner=0");
}

TEST(FatalErrors, DispatcherErrorAndExitServices) {
  ExpectFatal("dispatcher-fatal",
              "box caption=[ERROR] text=[Nightfen RunTime Error:\\r\\n\\r\\nbad] style=16 owner=0");
  const ChildRun exited = RunChild("dispatcher-exit");
  EXPECT_EQ(exited.exit_code, 0u);  // a recorded frame ends with 0 whatever code was asked
  EXPECT_EQ(exited.log, With(With(kStart, kExitSequence),
                             {"unwound", "after-frame libraries-ended=1 listed=0 still-loaded=0"}));
}

TEST(FatalErrors, UnknownServiceNumberIsReportedAndAnswersZero) {
  const ChildRun run = RunChild("unknown-service");
  EXPECT_EQ(run.exit_code, 0u);
  ASSERT_GE(run.log.size(), 5u);
  EXPECT_EQ(run.log[3],
            "box caption=[nightfen] text=[不支持系统功能函数4321. 请将此信息反馈给作者] "
            "style=16 owner=0");
  EXPECT_EQ(run.log[4], "result=0");
}

// Heap exhaustion never hands a null block back: the box, the exit sequence, code 0. The
// allocation may sit in code that cannot unwind, so the process ends directly.
TEST(FatalErrors, OutOfMemoryEndsTheProgramWithItsMessage) {
  for (const char* scenario :
       {"allocate-out-of-memory", "resize-out-of-memory", "new-out-of-memory"}) {
    SCOPED_TRACE(scenario);
    const ChildRun run = RunChild(scenario);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.log, With(With(kStart, {"box caption=[error] text=[内存不足] style=16 owner=0"}),
                            kExitSequence));
  }
}

TEST(ExitProgram, OnAWorkerThreadRunsTheSequenceAndEndsTheProcess) {
  const ChildRun run = RunChild("worker-exit");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.log, With(With(kStart, {"worker parameter=42 frame-thread=0"}), kExitSequence));
}

TEST(ExitProgram, InsideAWindowProcedureEndsWithoutUnwindingThroughIt) {
  for (const char* scenario : {"window-procedure-exit", "window-procedure-throw"}) {
    SCOPED_TRACE(scenario);
    const ChildRun run = RunChild(scenario);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.log, With(With(kStart, {"window-procedure"}), kExitSequence));
  }
}

// The window layer's procedures mark their extent: a fatal error or an escaping exception in a
// subclassed window's message or a dialog's init handler takes the program's own way out (one
// box, the exit sequence, code 0), never an abort.
TEST(FatalErrors, InsideTheWindowLayersProceduresEndWithCodeZero) {
  const std::string missingDll =
      "box caption=[DLL ERROR] text=[同目录下无法找到DLL文件:\"belvane_no_such_library\"."
      "请与作者联系.] style=16 owner=0";
  const struct {
    const char* scenario;
    const char* where;
    Lines boxes;
  } cases[] = {
      {"layer-window-fatal", "layer-hook", {missingDll}},
      {"layer-window-throw", "layer-hook", {}},
      {"layer-window-dispatcher-exit", "layer-hook", {}},
      {"layer-window-index",
       "layer-hook",
       {"box caption=[error] text=[program internal error number is 1. \\r\\n"
        "数组成员引用下标超出定义范围] style=16 owner=0"}},
      {"layer-dialog-fatal", "init-handler", {missingDll}},
      {"layer-dialog-out-of-memory",
       "init-handler",
       {"box caption=[error] text=[内存不足] style=16 owner=0"}},
      {"layer-dialog-throw", "init-handler", {}},
      {"layer-dialog-dispatcher-fatal",
       "init-handler",
       {"box caption=[ERROR] text=[Nightfen RunTime Error:\\r\\n\\r\\nbad] style=16 owner=0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const ChildRun run = RunChild(c.scenario);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.log, With(With(kStart, {c.where}), With(c.boxes, kExitSequence)));
  }
}

// Once one thread shows its fatal box, another thread that fails or ends the program must
// neither show a second box nor end the process while the first is read: it waits for the first
// thread's exit.
TEST(FatalErrors, ASecondThreadFailingWaitsUnderTheFirstBox) {
  for (const char* scenario :
       {"second-thread-out-of-memory", "second-thread-missing-dll", "second-thread-exit"}) {
    SCOPED_TRACE(scenario);
    const ChildRun run = RunChild(scenario);
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(
        run.log,
        With(With(kStart, {"box caption=[error] text=[内存不足] style=16 owner=0", "box-answered"}),
             kExitSequence));
  }
}

TEST(ExitProgram, ASecondCallOnAnotherThreadWaitsForTheFirst) {
  const ChildRun run = RunChild("two-exits");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.log, With(With(kStart, {"program-returns", "unwound", "exit-hook libraries-ended=0",
                                        "hook1", "worker parameter=42 frame-thread=0", "hook2"}),
                          {"after-frame libraries-ended=1 listed=0 still-loaded=0"}));
}

TEST(ExitProgram, ReenteredFromAnExitHookEndsAtOnce) {
  const ChildRun run = RunChild("exit-in-hook");
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.log,
            With(kStart, {"program-returns", "unwound", "exit-hook libraries-ended=0", "hook1"}));
}

// The child's box once it is whole. Only the child's own windows count: other programs under
// test show boxes with the same caption at the same time. A box gets its caption before its
// text, so its caption alone can be found too early.
HWND FindWholeBox(DWORD pid, const std::wstring& caption, const std::wstring& text) {
  struct Search {
    DWORD pid;
    const std::wstring& caption;
    const std::wstring& text;
    HWND box;
  } search{pid, caption, text, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t shown[64] = {};
        if (owner != s->pid || !GetClassNameW(window, shown, 64) ||
            std::wstring(shown) != L"#32770") {
          return TRUE;
        }
        GetWindowTextW(window, shown, 64);
        if (shown != s->caption) return TRUE;
        for (HWND child = GetWindow(window, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
          GetWindowTextW(child, shown, 64);
          if (shown == s->text) s->box = window;
        }
        return s->box == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.box;
}

// With no observer installed the real box appears, in its own text, and can be answered from
// outside the program as a user would.
TEST(MessageBoxes, RealBoxCanBeAnsweredFromOutside) {
  HWND box = nullptr;
  const ChildRun run = RunChild("real-box", [&](DWORD child) {
    // A busy machine can keep the child from starting for many seconds: wait for the box
    // itself, bounded well inside the child's own time limit.
    const ULONGLONG deadline = GetTickCount64() + 45000;
    while ((box = FindWholeBox(child, L"防止误操作", L"关闭吗？")) == nullptr &&
           GetTickCount64() < deadline) {
      Sleep(20);
    }
    if (box != nullptr) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_NE(box, nullptr) << "no box with its text appeared";
  EXPECT_EQ(run.exit_code, 0u);
  ASSERT_GE(run.log.size(), 4u);
  EXPECT_EQ(run.log[3], "answer=1");  // Cancel
}

}  // namespace
}  // namespace belvane
