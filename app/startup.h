#pragma once
// Start-up: the application's start routine and the one-time set-up of the main window.
//
// Thread policy: user-interface thread only; the set-up runs inside the dialog's
// initialisation, before the window is first shown.

#include <windows.h>

#include "app/main_window.h"
#include "ui/form_window.h"
#include "ui/gdi_object.h"

namespace belvane {

// Runs the main window (dialog template 1000) modally; returns 0 when it has ended.
int StartProgram();

// Init handler of the main window, in this order: SetUpMainWindow, BindEvents, SetMainIcon,
// the system menu's items (app/system_menu.h), PrepareData.
void OnMainWindowInit(HWND dialog);

// Attaches `controls` to the main window's items and styles them (the clock's font and colour),
// hides the placeholder and creates the timetable list view in its place with its columns and
// styles. What the user sees before any data; the UI tests and the preview use it too.
// Sizes set in pixels (the clock's font, the columns) are scaled to the window's DPI, and the
// layout is captured for RescaleMainWindow.
void SetUpMainWindow(HWND dialog, MainWindowControls& controls);
// Lays the main window out for `dpi` (WM_DPICHANGED): the window takes `suggested` (screen
// coordinates; null keeps it), the controls their template places scaled, the fonts and the
// columns' present widths the new DPI.
void RescaleMainWindow(HWND dialog, MainWindowControls& controls, unsigned dpi,
                       const RECT* suggested);
// Binds the four buttons' click handlers and the close handler.
void BindEvents();
// Loads icon resource BELVANE_ICON_APP into `icon` and makes it `window`'s small icon.
void SetMainIcon(FormWindow& window, OwnedIcon& icon);
// Fills the window's data: program folder, time lists, default timetable file, the timetable,
// the music list, then the audio and clock steps, and the no-sound box's task when needed.
void PrepareData();

// Follows the shared folder "Belvane同步.ini" names, if any, and binds the system menu's follow
// window.
void StartFollowingStep();
// Step 8 of PrepareData: writes bass.dll beside the program when missing and initialises the
// player; false when the output could not be initialised (not told here). Start-up goes on.
bool ProvisionAudioStep();
// Step 9 of PrepareData: the main window's hook runs the tasks the clock and the watcher post,
// the system menu's items and WM_DPICHANGED; starts the clock thread.
void StartClockStep();
// Step 10 of PrepareData, after a failed step 8: posts the task that shows the main window and
// the no-sound box over it, so nothing of start-up waits for its answer.
void TellNoSoundStep();

}  // namespace belvane
