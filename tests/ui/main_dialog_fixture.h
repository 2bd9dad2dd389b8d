#pragma once
// Runs the real dialog 1000 in-process through the window layer, set up by the program's own
// SetUpMainWindow, and drives it with steps that run one per timer tick inside the modal loop,
// on the user-interface thread.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "resources/resource.h"
#include "ui/form_window.h"
#include "ui/window_layer.h"

namespace belvane::testing {

// A FormWindow that logs what its own dialog procedure sees, to check reflection order.
class LoggingForm : public FormWindow {
 public:
  INT_PTR DialogMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
};

// The main window's objects: the program's own controls, attached by its SetUpMainWindow, under
// the short names the tests use.
struct MainControls {
  LoggingForm form;
  MainWindowControls controls;
  LabelControl& clock_caption = controls.time_caption;
  LabelControl& clock = controls.clock_label;
  ButtonControl& add = controls.add_button;
  ButtonControl& delete_row = controls.delete_button;
  ButtonControl& play = controls.play_button;
  ButtonControl& save = controls.save_button;
  FrameControl& placeholder = controls.placeholder;
  ListViewControl& timetable = controls.timetable_list;
  DropListControl& hour = controls.hour_list;
  DropListControl& minute = controls.minute_list;
  DropListControl& second = controls.second_list;
  EditControl& note = controls.note;
  ListBoxControl& music = controls.music_list;
  DropListControl& choice = controls.timetable_choice;
  LabelControl& today = controls.today_line;
  ButtonControl& plan = controls.plan_button;
  LabelControl& follow = controls.follow_line;
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
