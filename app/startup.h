#pragma once
// Start-up: the application's start routine and the one-time set-up of the main window.
//
// Thread policy: user-interface thread only; the set-up runs inside the dialog's
// initialisation, before the window is first shown.

#include <windows.h>

namespace belvane {

// Runs the main window (dialog template 1000) modally; returns 0 when it has ended.
int StartProgram();

// Init handler of the main window, in this order: SetUpControls, BindEvents, SetMainIcon,
// PrepareData.
void OnMainWindowInit(HWND dialog);

// Attaches and styles the controls and creates the timetable list view over the placeholder.
void SetUpControls(HWND dialog);
// Binds the four buttons' click handlers and the close handler.
void BindEvents();
// Loads icon resource 100 and makes it the main window's small icon.
void SetMainIcon();
// Fills the window's data: program folder, time lists, default timetable file, the timetable,
// the music list, then the audio and clock steps.
void PrepareData();

// Step 8 of PrepareData: writes bass.dll beside the program when missing and initialises the
// player; a failure is told to the user and start-up goes on.
void ProvisionAudioStep();
// Step 9 of PrepareData, the last: hooks the clock's and the watcher's messages on the main
// window, sets ClockRunning and starts the clock thread.
void StartClockStep();

}  // namespace belvane
