#include "app/timetable/csv_file.h"

#include <commdlg.h>

#include <cstdint>

#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/inifile/profile_document.h"
#include "runtime/message_box.h"

namespace belvane {

namespace {

// The largest CSV file read: far more than a day's rows, one a second, need.
constexpr std::uint64_t kMaxCsvBytes = 16 * 1024 * 1024;

}  // namespace

std::optional<TextValue> ChooseCsvFile(HWND owner, bool save, const std::string& suggested) {
  std::string filter_gbk = "CSV 文件 (*.csv)";
  filter_gbk += '\0';
  filter_gbk += "*.csv";
  filter_gbk += '\0';
  filter_gbk += "所有文件 (*.*)";
  filter_gbk += '\0';
  filter_gbk += "*.*";
  filter_gbk += '\0';
  const std::wstring filter = WideFromGbk(filter_gbk);
  std::wstring file = WideFromGbk(suggested);
  file.resize(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrDefExt = L"csv";
  dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return std::nullopt;
  file.resize(file.find(L'\0'));
  TextValue path = GbkFromWide(file);
  if (WideFromGbk(path.View()) != file) {
    ShowMessageBox(owner, "文件的路径中有本机无法使用的字符，请换一个文件夹或文件名。", "CSV",
                   MB_OK | MB_ICONWARNING);
    return std::nullopt;
  }
  return path;
}

CsvFileRows ReadCsvRowsOf(const TextValue& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool found = GetFileAttributesExA(path.CStr(), GetFileExInfoStandard, &data);
  if (found && (std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow) > kMaxCsvBytes)
    return {{}, "文件太大，不是可导入的 CSV 文件：\r\n" + path.Bytes()};
  const std::optional<std::string> bytes = found ? ReadFileBytes(path) : std::nullopt;
  if (!bytes) return {{}, "文件无法读取：\r\n" + path.Bytes()};
  return {ReadCsvFile(*bytes), {}};
}

}  // namespace belvane
