#include "app/system_menu.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <utility>

#include "app/app_objects.h"
#include "app/autostart.h"
#include "app/bell/bell_record.h"
#include "app/bell/record_events.h"
#include "app/exam_hall_clock.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "runtime/files.h"
#include "runtime/gbk.h"
#include "runtime/message_box.h"
#include "runtime/path_text.h"
#include "runtime/text.h"
#include "ui/ui_task.h"

namespace belvane {

namespace {

constexpr char kAboutCaption[] = "关于 Belvane";
constexpr char kRecordCaption[] = "播放记录";
constexpr char kAutostartCaption[] = "开机自动启动";

void ShowAutostartCheck(HMENU menu) {
  RegistryRunEntry entry;
  const bool on = AutostartIsOn(entry, ModuleFileName());
  CheckMenuItem(menu, BELVANE_SYSMENU_AUTOSTART, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void ToggleAutostartItem(HWND window) {
  RegistryRunEntry entry;
  const AutostartChange change = ToggleAutostart(entry, ModuleFileName());
  TheProcessObjects().bell_record.Autostart(change.on, change.done, change.command);
  if (change.done) return;
  ShowMessageBox(window,
                 change.on ? "无法设置开机自动启动：注册表无法写入。"
                           : "无法取消开机自动启动：注册表无法写入。",
                 kAutostartCaption, MB_OK | MB_ICONWARNING);
}

// What the opening thread needs: the file, and the window to report a failure to.
struct OpenRequest {
  std::wstring path;
  std::wstring folder;
  HWND window;
};

// Opening a file with its associated program can take long (or ask the user which program to
// use): it runs on a thread of its own so the user-interface thread stays free for the bells.
void OpenRecord(const OpenRequest& request) {
  try {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", request.path.c_str(), nullptr, request.folder.c_str(), SW_SHOWNORMAL));
    if (result <= 32) {
      // No program is registered for .txt: Notepad, which every Windows has, opens it.
      const std::wstring quoted = L"\"" + request.path + L"\"";
      result = reinterpret_cast<INT_PTR>(ShellExecuteW(
          nullptr, L"open", L"notepad.exe", quoted.c_str(), request.folder.c_str(), SW_SHOWNORMAL));
    }
    if (SUCCEEDED(com)) CoUninitialize();
    if (result > 32) return;
    PostUiTask(request.window, [window = request.window] {
      ShowMessageBox(window,
                     ConcatTexts("无法打开播放记录 ", kRecordFileName, "：没有可以打开它的程序。"),
                     kRecordCaption, MB_OK | MB_ICONWARNING);
    });
  } catch (...) {
    // Nothing leaves a thread: the user simply sees no editor.
  }
}

void OpenRecordItem(HWND window) {
  const TextValue folder = App().program_dir;
  const TextValue path = ConcatTexts(folder, "\\", kRecordFileName);
  // A folder of that name is no record either.
  const DWORD attributes = GetFileAttributesW(WideFromGbk(path.View()).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ShowMessageBox(window,
                   ConcatTexts("还没有播放记录：", folder, " 中没有 ", kRecordFileName, "。"),
                   kRecordCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  // The thread owns its request: one that outlives the wait at exit holds nothing else.
  App().record_opening.Run(
      [request = OpenRequest{WideFromGbk(path.View()), WideFromGbk(folder.View()), window}] {
        OpenRecord(request);
      });
}

}  // namespace

void AddSystemMenuItems(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_AUTOSTART, "开机自动启动");
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_OPEN_RECORD, "打开播放记录");
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_ABOUT, "关于 Belvane");
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_FOLLOW, "跟随共享文件夹…");
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_CAMPUS, "全校状态…");
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_EXAM_CLOCK, "考场时钟");
  AppendMenuA(menu, MF_STRING, BELVANE_SYSMENU_SOUND, "声音…");
}

bool HandleSystemMenuMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITMENU:
    case WM_INITMENUPOPUP: {
      // WM_INITMENUPOPUP flags the window menu in lParam's high word; WM_INITMENU gives the
      // menu itself. Either way the entry may have changed since the last look.
      HMENU system = GetSystemMenu(window, FALSE);
      const auto menu = reinterpret_cast<HMENU>(wparam);
      if (menu == system || (message == WM_INITMENUPOPUP && HIWORD(lparam)))
        ShowAutostartCheck(menu);
      return false;
    }
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case BELVANE_SYSMENU_AUTOSTART:
          ToggleAutostartItem(window);
          return true;
        case BELVANE_SYSMENU_OPEN_RECORD:
          OpenRecordItem(window);
          return true;
        case BELVANE_SYSMENU_ABOUT:
          ShowMessageBox(window, AboutText(App().program_dir), kAboutCaption,
                         MB_OK | MB_ICONINFORMATION);
          return true;
        case BELVANE_SYSMENU_FOLLOW:
          if (App().follow_opener) App().follow_opener(window);
          return true;
        case BELVANE_SYSMENU_CAMPUS:
          if (App().campus_opener) App().campus_opener(window);
          return true;
        case BELVANE_SYSMENU_EXAM_CLOCK:
          OpenExamHallClock(window);
          return true;
        case BELVANE_SYSMENU_SOUND:
          if (App().sound_opener) App().sound_opener(window);
          return true;
      }
      return false;
  }
  return false;
}

void SetFollowWindowOpener(std::function<void(HWND owner)> opener) {
  if (HaveAppObjects()) App().follow_opener = std::move(opener);
}

void SetSoundWindowOpener(std::function<void(HWND owner)> opener) {
  if (HaveAppObjects()) App().sound_opener = std::move(opener);
}

std::string AboutText(const TextValue& folder) {
  return std::string("Belvane ") + BELVANE_VERSION_TEXT + "\r\n课铃与考试广播定时播放\r\n\r\n" +
         "构建日期：" + BELVANE_BUILD_DATE + "\r\n程序所在文件夹：" + std::string(folder.View());
}

}  // namespace belvane
