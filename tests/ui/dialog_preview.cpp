// Shows the main window as the layer sets it up (attached controls, the clock's font and colour,
// the timetable's columns, no data) for a few seconds, for screenshots of the real rendering.
// Usage: ui_dialog_preview.exe [seconds]  (default 5)

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

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

namespace {

using namespace belvane;

struct Preview {
  FormWindow form;
  LabelControl clock_caption, clock;
  ButtonControl add, delete_row, play, save;
  FrameControl placeholder;
  ListViewControl timetable;
  DropListControl hour, minute, second;
  EditControl note;
  ListBoxControl music;
};

Preview* g_preview = nullptr;
UINT g_seconds = 5;

void CALLBACK EndPreview(HWND window, UINT, UINT_PTR, DWORD) {
  KillTimer(window, 1);
  EndDialog(window, 0);
}

std::int32_t SetUp(const EventArgs& args) {
  auto dialog = reinterpret_cast<HWND>(args[0]);
  Preview& p = *g_preview;
  p.clock_caption.AttachToDialogItem(dialog, BELVANE_ID_CLOCK_CAPTION);
  p.clock.AttachToDialogItem(dialog, BELVANE_ID_CLOCK);
  p.clock.SetFont(
      CreateFontA(20, 0, 0, 0, 800, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体"));
  p.clock.TextColour(0xFF0000);
  p.add.AttachToDialogItem(dialog, BELVANE_ID_ADD);
  p.delete_row.AttachToDialogItem(dialog, BELVANE_ID_DELETE_ROW);
  p.play.AttachToDialogItem(dialog, BELVANE_ID_PLAY);
  p.save.AttachToDialogItem(dialog, BELVANE_ID_SAVE);
  p.placeholder.AttachToDialogItem(dialog, BELVANE_ID_PLACEHOLDER);
  p.placeholder.Visible(false);
  p.timetable.CreateListView(dialog, LVS_REPORT, p.placeholder.Left(), p.placeholder.Top(),
                             p.placeholder.Width(), p.placeholder.Height());
  p.timetable.InsertColumn(0, "顺序", 50);
  p.timetable.InsertColumn(1, "开始时间", 100);
  p.timetable.InsertColumn(2, "音乐", 300);
  p.timetable.InsertColumn(3, "数值", 60);
  p.timetable.AddListViewExStyle(LVS_EX_GRIDLINES);
  p.timetable.AddListViewExStyle(LVS_EX_FULLROWSELECT);
  p.timetable.AddStyle(LVS_SINGLESEL);
  p.hour.AttachToDialogItem(dialog, BELVANE_ID_HOUR);
  p.minute.AttachToDialogItem(dialog, BELVANE_ID_MINUTE);
  p.second.AttachToDialogItem(dialog, BELVANE_ID_SECOND);
  p.note.AttachToDialogItem(dialog, BELVANE_ID_NOTE);
  p.music.AttachToDialogItem(dialog, BELVANE_ID_MUSIC_LIST);
  p.form.SetIcon(LoadIconA(LayerInstance(), MAKEINTRESOURCEA(BELVANE_ICON_APP)));
  SetTimer(dialog, 1, g_seconds * 1000, &EndPreview);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  if (command_line && *command_line) g_seconds = static_cast<UINT>(std::atoi(command_line));
  if (!StartWindowLayer()) return 1;
  {
    Preview preview;
    g_preview = &preview;
    preview.form.RunDialog(nullptr, BELVANE_DIALOG_MAIN, &SetUp);
    g_preview = nullptr;
  }
  StopWindowLayer();
  return 0;
}
