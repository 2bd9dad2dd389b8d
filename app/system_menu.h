#pragma once
// The main window's system menu (the menu at the title bar's icon): below a separator, the
// logon autostart item (checked when the current user's Run entry starts this exe, read again
// each time the menu opens), opening the bell record in the user's text editor, and the about
// box.
//
// Thread policy: user-interface thread only.

#include <windows.h>

#include <string>

#include "runtime/text_value.h"

namespace belvane {

// Appends the separator and the three items to `window`'s system menu.
void AddSystemMenuItems(HWND window);

// For the main window's message hook: sets the autostart check mark when the system menu opens
// and carries out the three items' commands; true when the message was one of those commands.
bool HandleSystemMenuMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The about box's text: name and version, the description, the build date and `folder`.
std::string AboutText(const TextValue& folder);

}  // namespace belvane
