#pragma once
// The program saves its files as GBK. A file staff saved in Notepad as UTF-8 or UTF-16 is
// converted when the program saves it; a character in it that GBK lacks would be lost, so that
// save is refused, with a box naming the character and the file, before any byte is written.
//
// Thread policy: user-interface thread (it shows a box).

#include <windows.h>

#include <string>

#include "runtime/gbk.h"
#include "runtime/text_value.h"

namespace belvane {

// The box's text: the file, the character ("U+1F600") and its line.
std::string GbkLacksText(const TextValue& path, const CharacterGbkLacks& lack);

// True when the file at `path` may be saved as GBK: missing, unreadable (the save then fails on
// its own), GBK already, or every character of its text held by GBK. Else tells the user over
// `owner` and gives false.
bool MaySaveAsGbk(HWND owner, const TextValue& path);

}  // namespace belvane
