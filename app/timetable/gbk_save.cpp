#include "app/timetable/gbk_save.h"

#include <optional>

#include "runtime/inifile/profile_document.h"
#include "runtime/message_box.h"

namespace belvane {

std::string GbkLacksText(const TextValue& path, const CharacterGbkLacks& lack) {
  return "文件没有保存：第 " + std::to_string(lack.line) + " 行的字符 " +
         CharacterCodeText(lack.code) +
         " 无法以 GBK 编码保存（本程序总是以 GBK 保存文件）。\r\n"
         "请先用记事本删去或换掉这个字符，再保存。\r\n" +
         path.Bytes();
}

bool MaySaveAsGbk(HWND owner, const TextValue& path) {
  const std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) return true;
  const std::optional<CharacterGbkLacks> lack = FirstCharacterGbkLacks(*bytes);
  if (!lack) return true;
  ShowMessageBox(owner, GbkLacksText(path, *lack), "错误", MB_OK | MB_ICONERROR);
  return false;
}

}  // namespace belvane
