// Shows the main window as the program sets it up before any data (SetUpMainWindow and the icon:
// attached controls, the clock's font and colour, the timetable's columns) for a few seconds,
// for screenshots of the real rendering.
// Usage: ui_dialog_preview.exe [seconds]  (default 5)

#include <windows.h>

#include <cstdlib>

#include "app/main_window.h"
#include "app/startup.h"
#include "resources/resource.h"
#include "ui/form_window.h"
#include "ui/gdi_object.h"
#include "ui/window_layer.h"

namespace {

using namespace belvane;

struct Preview {
  FormWindow form;
  MainWindowControls controls;
  OwnedIcon icon;
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
  SetUpMainWindow(dialog, p.controls);
  SetMainIcon(p.form, p.icon);
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
