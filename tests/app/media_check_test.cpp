// Start-up's look for Media Foundation through its probe: either DLL missing counts as missing,
// and only a missing one reaches the window's thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/media_check.h"
#include "ui/ui_task.h"

namespace belvane::testing {
namespace {

// Runs the check with a probe that lacks `absent` (none: empty) and pumps the test thread's
// messages for the posted task; true when it was told missing.
bool ToldMissing(const std::wstring& absent) {
  const HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  WorkerPool workers;
  bool told = false;
  EXPECT_TRUE(StartMediaCheck(
      workers, window, [absent](const wchar_t* name) { return name != absent; },
      [&told] { told = true; }));
  EXPECT_TRUE(workers.Stop());
  MSG msg;
  while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
    RunUiTask(msg.message, msg.wParam, msg.lParam);
  DestroyWindow(window);
  return told;
}

TEST(MediaCheckTest, EitherDllMissingIsToldOnTheWindowsThreadAndBothPresentIsNot) {
  EXPECT_FALSE(ToldMissing(L""));
  EXPECT_TRUE(ToldMissing(L"mfplat.dll"));
  EXPECT_TRUE(ToldMissing(L"mfreadwrite.dll"));
  std::vector<std::wstring> asked;
  EXPECT_TRUE(MediaFoundationPresent([&asked](const wchar_t* name) {
    asked.push_back(name);
    return true;
  }));
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"mfplat.dll", L"mfreadwrite.dll"}));
}

}  // namespace
}  // namespace belvane::testing
