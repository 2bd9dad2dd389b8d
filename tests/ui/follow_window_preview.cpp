// Shows the follow window while it follows a share (a clock 3.2 s ahead of the server's, a
// timetable that did not read whole at the last look), with the test's answer, for a few
// seconds, for screenshots of the real rendering. Nothing is followed: the follower is a
// stand-in.
// Usage: ui_follow_preview.exe [seconds]  (default 5)

#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/campus/follow_window.h"
#include "resources/resource.h"
#include "runtime/worker_pool.h"
#include "ui/window_layer.h"

namespace {

using namespace belvane;

UINT g_seconds = 5;

HWND FollowWindow() {
  return FindWindowA("#32770", "跟随共享文件夹");
}

void CALLBACK PressTest(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND window = FollowWindow())
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(BELVANE_ID_FOLLOW_TEST, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, BELVANE_ID_FOLLOW_TEST)));
}

void CALLBACK EndPreview(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND window = FollowWindow()) PostMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  if (command_line && *command_line) g_seconds = static_cast<UINT>(std::atoi(command_line));
  if (!StartWindowLayer()) return 1;
  const FollowStatus status{
      "\\\\教务处\\铃声", true, "", "10:31:05", "课表\\期中.ini 正在写入，下次再取", 3.2};
  SetTimer(nullptr, 0, 1000, &PressTest);
  SetTimer(nullptr, 0, g_seconds * 1000, &EndPreview);
  WorkerPool workers;
  OpenFollowWindow(
      nullptr,
      {[status] { return status; },
       [] { return true; },
       [](const std::string&) { return true; },
       [] {},
       [](const std::string&) -> std::string { return "可以读取：3 个课表，42 个音乐文件"; },
       {},
       {}},
      workers);
  workers.Stop();
  StopWindowLayer();
  return 0;
}
