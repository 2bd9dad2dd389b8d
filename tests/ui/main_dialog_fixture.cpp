#include "tests/ui/main_dialog_fixture.h"

#include <commctrl.h>

#include "app/startup.h"

namespace belvane::testing {

MainControls* MainDialogTest::ui = nullptr;
Observed* MainDialogTest::seen = nullptr;

namespace {

constexpr int kControlIds[] = {
    BELVANE_ID_PLACEHOLDER,   BELVANE_ID_TIME_CAPTION, BELVANE_ID_ADD,
    BELVANE_ID_CLOCK_CAPTION, BELVANE_ID_HOUR,         BELVANE_ID_SEPARATOR_1,
    BELVANE_ID_SEPARATOR_2,   BELVANE_ID_MINUTE,       BELVANE_ID_MUSIC_LIST,
    BELVANE_ID_SECOND,        BELVANE_ID_HINT,         BELVANE_ID_DELETE_ROW,
    BELVANE_ID_PLAY,          BELVANE_ID_SAVE,         BELVANE_ID_CLOCK,
    BELVANE_ID_MUSIC_CAPTION, BELVANE_ID_NOTE};

std::vector<std::function<void()>>* g_steps = nullptr;
std::size_t g_next_step = 0;
int g_idle_ticks = 0;

void CALLBACK StepTimer(HWND window, UINT, UINT_PTR, DWORD) {
  if (g_next_step < g_steps->size()) {
    // Steps may post messages; run them one tick apart so those are handled in between.
    (*g_steps)[g_next_step++]();
  } else if (++g_idle_ticks > 250) {
    ADD_FAILURE() << "dialog still open after its last step";
    KillTimer(window, 1);
    EndDialog(window, -99);
  }
}

// The program's own set-up of the main window, with the test's bookkeeping around it.
std::int32_t InitMainWindow(const EventArgs& args) {
  auto* ui = MainDialogTest::ui;
  auto* seen = MainDialogTest::seen;
  auto dialog = reinterpret_cast<HWND>(args[0]);
  seen->init_calls++;
  seen->init_window = dialog;
  seen->all_controls_at_init = true;
  for (int id : kControlIds) seen->all_controls_at_init &= GetDlgItem(dialog, id) != nullptr;
  SetUpMainWindow(dialog, ui->controls);
  SetTimer(dialog, 1, 20, &StepTimer);
  return 0;
}

std::int32_t OnResized(const EventArgs& args) {
  auto* seen = MainDialogTest::seen;
  if (seen->init_calls == 1 && seen->resized_after_init == 0) {
    seen->resized_width = static_cast<int>(args[0]);
    seen->resized_height = static_cast<int>(args[1]);
  }
  if (seen->init_calls == 1) seen->resized_after_init++;
  return 0;
}

std::int32_t OnClose(const EventArgs&) {
  MainDialogTest::seen->close_calls++;
  return MainDialogTest::seen->close_answer;
}

}  // namespace

INT_PTR LoggingForm::DialogMessageHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && MainDialogTest::seen)
    MainDialogTest::seen->log.push_back("dialog WM_COMMAND " + std::to_string(LOWORD(wparam)));
  return FormWindow::DialogMessageHook(window, message, wparam, lparam);
}

void MainDialogTest::SetUp() {
  ASSERT_TRUE(StartWindowLayer());
  ui = new MainControls();
  seen = new Observed();
}

void MainDialogTest::TearDown() {
  delete ui;
  delete seen;
  ui = nullptr;
  seen = nullptr;
}

INT_PTR MainDialogTest::Run(std::vector<std::function<void()>> steps, bool show_in_taskbar) {
  g_steps = &steps;
  g_next_step = 0;
  g_idle_ticks = 0;
  ui->form.BindResized(&OnResized);
  ui->form.SetCloseHandler(&OnClose);
  INT_PTR result =
      ui->form.RunDialog(nullptr, BELVANE_DIALOG_MAIN, &InitMainWindow, "", show_in_taskbar);
  g_steps = nullptr;
  return result;
}

}  // namespace belvane::testing
