#include "app/campus/follow_window.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "app/timetable/gbk_save.h"
#include "resources/resource.h"
#include "runtime/gbk.h"
#include "runtime/message_box.h"
#include "ui/controls/button_control.h"
#include "ui/controls/edit_control.h"
#include "ui/form_window.h"
#include "ui/ui_task.h"
#include "ui/window_layer.h"

namespace belvane {

namespace {

constexpr const char* kCaption = "跟随共享文件夹";
// How often the status is read again while the window is open: a look ends on the follower's
// thread, and its status arrives whenever it does.
constexpr UINT kStatusTimerMs = 1000;
constexpr UINT_PTR kStatusTimer = 1;

// The window while it runs. Handlers are plain functions: they reach it through g_follow (one
// modal window at a time, on the user-interface thread).
struct FollowWindow {
  FollowWindowActions actions;
  WorkerPool* workers = nullptr;
  FormWindow form;
  EditControl source;
  ButtonControl browse;
  ButtonControl test;
  ButtonControl look_now;
  ButtonControl stop;
  ButtonControl ok;
  ButtonControl cancel;
  std::string shown_status;
  // Numbers the tests: only the latest one's answer is shown.
  int test_number = 0;
};
FollowWindow* g_follow = nullptr;

std::string Trimmed(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

void ShowStatus() {
  FollowWindow& w = *g_follow;
  const bool following = w.actions.following();
  std::string text = FollowStatusText(w.actions.status(), following);
  // Set only when it changed, so the text does not flicker once a second.
  if (text != w.shown_status) {
    w.form.DialogItemText(BELVANE_ID_FOLLOW_STATUS, text);
    w.shown_status = std::move(text);
  }
  w.look_now.Disabled(!following);
  w.stop.Disabled(!following);
}

void Tell(const std::string& text) {
  ShowMessageBox(g_follow->form.Handle(), text, kCaption, MB_OK | MB_ICONWARNING);
}

// Sets the source, or tells why it could not be.
bool SetSource(const std::string& source) {
  // Told already when a hand-made file holds a character its GBK copy would lose.
  if (!MaySaveAsGbk(g_follow->form.Handle(), g_follow->actions.settings_file)) return false;
  if (g_follow->actions.set_source(source)) return true;
  Tell(std::string("无法写入 ") + kSyncFileName + "：请检查程序所在文件夹是否可写。");
  return false;
}

void TestSource() {
  FollowWindow& w = *g_follow;
  const std::string source = Trimmed(w.source.Text().Bytes());
  if (source.empty()) {
    w.form.DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, "请先填写来源。");
    return;
  }
  const int number = ++w.test_number;
  const HWND window = w.form.Handle();
  // A source on a server that is gone can take long to answer: the button waits for it.
  w.test.Disabled(true);
  w.form.DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, "正在读取……");
  const bool started = w.workers->Run([window, number, source, describe = w.actions.describe] {
    std::string answer;
    try {
      answer = describe(source);
    } catch (...) {
      answer = "无法读取：测试时出错。";
    }
    PostUiTask(window, [number, answer = std::move(answer)] {
      if (g_follow == nullptr || g_follow->test_number != number) return;
      g_follow->form.DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, answer);
      g_follow->test.Disabled(false);
    });
  });
  if (!started) {
    w.test.Disabled(false);
    w.form.DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, "无法测试：没有可用的线程。");
  }
}

struct ItemIdListFree {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

// The shell's folder picker; the edit box takes the folder chosen.
void BrowseForSource() {
  FollowWindow& w = *g_follow;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  {
    const std::wstring title = WideFromGbk("选择要跟随的文件夹（共享文件夹可在“网络”中找到）");
    BROWSEINFOW info{};
    info.hwndOwner = w.form.Handle();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(SHBrowseForFolderW(&info));
    wchar_t path[MAX_PATH] = {};
    if (chosen && SHGetPathFromIDListW(chosen.get(), path)) {
      w.source.Text(GbkFromWide(path));
      w.source.SetFocus();
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

void StopFollowing() {
  if (ShowMessageBox(g_follow->form.Handle(),
                     "停止跟随后，本机保留现有的课表、日历和音乐，可以在本机编辑。停止跟随吗？",
                     kCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  if (SetSource("")) EndDialog(g_follow->form.Handle(), IDOK);
}

void Accept() {
  FollowWindow& w = *g_follow;
  const std::string source = Trimmed(w.source.Text().Bytes());
  const bool following = w.actions.following();
  // An empty box stops following; the same folder again changes nothing.
  const bool change =
      source.empty() ? following : !following || source != w.actions.status().source;
  // Unsaved edits are saved or dropped before the folder's files take over.
  if (change && !source.empty() && !following && w.actions.may_follow && !w.actions.may_follow())
    return;
  if (change && !SetSource(source)) return;
  EndDialog(w.form.Handle(), IDOK);
}

LRESULT FollowWindowHook(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  if (RunUiTask(message, wparam, lparam)) return 1;
  if (message == WM_TIMER && wparam == kStatusTimer && g_follow != nullptr) {
    ShowStatus();
    return 1;
  }
  return 0;
}

template <void (*Action)()>
std::int32_t Clicked(const EventArgs&) {
  if (g_follow != nullptr) Action();
  return 0;
}

void LookNow() {
  g_follow->actions.look_now();
}

void CloseWindow() {
  EndDialog(g_follow->form.Handle(), IDCANCEL);
}

std::int32_t InitFollowWindow(const EventArgs& args) {
  const auto window = reinterpret_cast<HWND>(args[0]);
  FollowWindow& w = *g_follow;
  // The template's own font throughout, as the template lays them out.
  w.source.AttachToDialogItem(window, BELVANE_ID_FOLLOW_SOURCE, false);
  w.browse.AttachToDialogItem(window, BELVANE_ID_FOLLOW_BROWSE, false);
  w.test.AttachToDialogItem(window, BELVANE_ID_FOLLOW_TEST, false);
  w.look_now.AttachToDialogItem(window, BELVANE_ID_FOLLOW_LOOK_NOW, false);
  w.stop.AttachToDialogItem(window, BELVANE_ID_FOLLOW_STOP, false);
  w.ok.AttachToDialogItem(window, IDOK, false);
  w.cancel.AttachToDialogItem(window, IDCANCEL, false);
  w.browse.SetClickHandler(&Clicked<&BrowseForSource>);
  w.test.SetClickHandler(&Clicked<&TestSource>);
  w.look_now.SetClickHandler(&Clicked<&LookNow>);
  w.stop.SetClickHandler(&Clicked<&StopFollowing>);
  w.ok.SetClickHandler(&Clicked<&Accept>);
  w.cancel.SetClickHandler(&Clicked<&CloseWindow>);
  w.source.LimitText(1024);
  if (w.actions.following()) w.source.Text(w.actions.status().source);
  ShowStatus();
  SetMessageHook(window, &FollowWindowHook);
  SetTimer(window, kStatusTimer, kStatusTimerMs, nullptr);
  w.source.SetFocus();
  return 0;
}

}  // namespace

void OpenFollowWindow(HWND owner, FollowWindowActions actions, WorkerPool& workers) {
  if (g_follow != nullptr) return;
  FollowWindow window;
  window.actions = std::move(actions);
  window.workers = &workers;
  g_follow = &window;
  window.form.RunDialog(owner, BELVANE_DIALOG_FOLLOW, &InitFollowWindow);
  g_follow = nullptr;
}

}  // namespace belvane
