// Tasks posted to the user-interface thread: they run there, in order, and only what PostUiTask
// posted runs.

#include "ui/ui_task.h"

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ui/window_layer.h"
#include "tests/support/message_pump.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

LRESULT CALLBACK TaskProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (RunUiTask(message, wparam, lparam)) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

// A message-only window that runs the tasks posted to it, as the main window's hook does.
class TaskWindow {
 public:
  TaskWindow() {
    WNDCLASSA c{};
    c.lpfnWndProc = &TaskProcedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "BelvaneTaskWindow";
    RegisterClassA(&c);
    window_ = CreateWindowExA(0, "BelvaneTaskWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  }
  ~TaskWindow() { DestroyWindow(window_); }
  HWND Handle() const { return window_; }

 private:
  HWND window_ = nullptr;
};

using belvane::testing::PumpUntil;

TEST(UiTask, RunsOnTheWindowsThreadOnlyWhatWasPostedThere) {
  ASSERT_TRUE(StartWindowLayer());
  TaskWindow window;
  std::vector<std::string> ran;
  DWORD ran_on = 0;
  std::thread worker([&] {
    EXPECT_TRUE(PostUiTask(window.Handle(), [&] {
      ran.push_back("first");
      ran_on = GetCurrentThreadId();
    }));
    EXPECT_TRUE(PostUiTask(window.Handle(), [&] { ran.push_back("second, text of any length"); }));
  });
  worker.join();
  EXPECT_TRUE(ran.empty()) << "a task ran on the worker";
  ASSERT_TRUE(PumpUntil([&] { return ran.size() == 2; }, 2000));
  EXPECT_EQ(ran, (Strings{"first", "second, text of any length"}));
  EXPECT_EQ(ran_on, GetCurrentThreadId());

  // A task message that was not posted by PostUiTask (another program's, say) is never called.
  std::function<void()> forged = [&] { ran.push_back("forged"); };
  PostMessageA(window.Handle(), kUiTaskMessage, 0, reinterpret_cast<LPARAM>(&forged));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(ran.size(), 2u);
  // No window: nothing is posted and the task is not run.
  EXPECT_FALSE(PostUiTask(nullptr, [&] { ran.push_back("lost"); }));
  EXPECT_EQ(ran.size(), 2u);
}

}  // namespace
}  // namespace belvane::testing
