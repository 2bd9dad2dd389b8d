#pragma once
// Runs the real dialog 1000 in-process through the window layer and drives it with steps that
// run one per timer tick inside the modal loop, on the user-interface thread.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/controls/button_control.h"
#include "ui/controls/drop_list_control.h"
#include "ui/controls/edit_control.h"
#include "ui/controls/frame_control.h"
#include "ui/controls/label_control.h"
#include "ui/controls/list_box_control.h"
#include "ui/controls/list_view_control.h"
#include "ui/form_window.h"
#include "ui/window_layer.h"

namespace belvane::testing {

// A FormWindow that logs what its own dialog procedure sees, to check reflection order.
class LoggingForm : public FormWindow {
 public:
  INT_PTR DialogMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
};

// The main window's objects, attached as the program attaches them.
struct MainControls {
  LoggingForm form;
  LabelControl clock_caption, clock;
  ButtonControl add, delete_row, play, save;
  FrameControl placeholder;
  ListViewControl timetable;
  DropListControl hour, minute, second;
  EditControl note;
  ListBoxControl music;
};

// What the handlers saw; reset for each test.
struct Observed {
  HWND init_window = nullptr;
  bool all_controls_at_init = false;
  int init_calls = 0;
  int resized_after_init = 0;
  int resized_width = -1, resized_height = -1;
  int close_calls = 0;
  std::int32_t close_answer = 0;
  std::vector<std::string> log;
};

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs dialog 1000 with the steps, then returns RunDialog's result. A dialog still open
  // 5 s after its last step is ended with -99 so that no test hangs.
  INT_PTR Run(std::vector<std::function<void()>> steps, bool show_in_taskbar = true);

 public:
  static MainControls* ui;  // the objects of the running test
  static Observed* seen;
};

// The running dialog's window.
inline HWND Dialog() {
  return MainDialogTest::ui->form.Handle();
}
// Asks the running dialog to close, posted as a user's close would be.
inline void Close() {
  PostMessageA(Dialog(), WM_CLOSE, 0, 0);
}

}  // namespace belvane::testing
