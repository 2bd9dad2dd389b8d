#include "tests/ui/main_dialog_fixture.h"

#include <commctrl.h>

namespace belvane::testing {

MainControls* MainDialogTest::ui = nullptr;
Observed* MainDialogTest::seen = nullptr;

namespace {

constexpr int kControlIds[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009,
                               1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017};

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

// The program's own set-up of the main window, as far as the layer is concerned.
std::int32_t InitMainWindow(const EventArgs& args) {
  auto* ui = MainDialogTest::ui;
  auto* seen = MainDialogTest::seen;
  auto dialog = reinterpret_cast<HWND>(args[0]);
  seen->init_calls++;
  seen->init_window = dialog;
  seen->all_controls_at_init = true;
  for (int id : kControlIds) seen->all_controls_at_init &= GetDlgItem(dialog, id) != nullptr;

  ui->clock_caption.AttachToDialogItem(dialog, BELVANE_ID_CLOCK_CAPTION);
  ui->clock.AttachToDialogItem(dialog, BELVANE_ID_CLOCK);
  ui->add.AttachToDialogItem(dialog, BELVANE_ID_ADD);
  ui->delete_row.AttachToDialogItem(dialog, BELVANE_ID_DELETE_ROW);
  ui->play.AttachToDialogItem(dialog, BELVANE_ID_PLAY);
  ui->save.AttachToDialogItem(dialog, BELVANE_ID_SAVE);
  ui->placeholder.AttachToDialogItem(dialog, BELVANE_ID_PLACEHOLDER);
  ui->placeholder.Visible(false);
  ui->timetable.CreateListView(dialog, LVS_REPORT, ui->placeholder.Left(), ui->placeholder.Top(),
                               ui->placeholder.Width(), ui->placeholder.Height());
  ui->timetable.InsertColumn(0, "顺序", 50);
  ui->timetable.InsertColumn(1, "开始时间", 100);
  ui->timetable.InsertColumn(2, "音乐", 300);
  ui->timetable.InsertColumn(3, "数值", 60);
  ui->timetable.AddListViewExStyle(LVS_EX_GRIDLINES);
  ui->timetable.AddListViewExStyle(LVS_EX_FULLROWSELECT);
  ui->hour.AttachToDialogItem(dialog, BELVANE_ID_HOUR);
  ui->minute.AttachToDialogItem(dialog, BELVANE_ID_MINUTE);
  ui->second.AttachToDialogItem(dialog, BELVANE_ID_SECOND);
  ui->note.AttachToDialogItem(dialog, BELVANE_ID_NOTE);
  ui->music.AttachToDialogItem(dialog, BELVANE_ID_MUSIC_LIST);
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
