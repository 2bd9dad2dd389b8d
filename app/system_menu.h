#pragma once
// The main window's system menu (the menu at the title bar's icon): below a separator, the
// logon autostart item (checked when the current user's Run entry starts this exe, read again
// each time the menu opens), opening the bell record in the user's text editor, the about box,
// following a campus's shared folder (the follow window, app/campus/follow_window.h), every PC's
// report at it (the campus window, app/campus/campus_window.h), the exam-hall clock
// (app/exam_hall_clock.h) and the sound settings (app/bell/sound_dialog.h).
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <functional>
#include <string>

#include "runtime/text_value.h"

namespace belvane {

// Appends the separator and the items to `window`'s system menu.
void AddSystemMenuItems(HWND window);

// For the main window's message hook: sets the autostart check mark when the system menu opens
// and carries out the items' commands; true when the message was one of those commands.
bool HandleSystemMenuMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// What "跟随共享文件夹…" runs, with the main window as owner; until set, the item does nothing.
void SetFollowWindowOpener(std::function<void(HWND owner)> opener);
// What "声音…" runs, with the main window as owner; until set, the item does nothing.
void SetSoundWindowOpener(std::function<void(HWND owner)> opener);

// The about box's text: name and version, the description, the build date and `folder`.
std::string AboutText(const TextValue& folder);

}  // namespace belvane
