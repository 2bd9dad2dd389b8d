#include "app/campus/follow_window.h"

#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <utility>

#include "app/timetable/gbk_save.h"
#include "resources/resource.h"
#include "runtime/gbk.h"
#include "ui/controls/button_control.h"
#include "ui/controls/edit_control.h"
#include "ui/dialog_frame.h"
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

struct ItemIdListFree {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

// The window while it runs: an object of its own, its handlers bound to it.
class FollowWindow {
 public:
  FollowWindow(FollowWindowActions actions, WorkerPool& workers)
      : actions_(std::move(actions)), workers_(workers) {}

  void Run(HWND owner) {
    frame_.Run(owner, BELVANE_DIALOG_FOLLOW, [this](HWND window) { Init(window); });
  }

 private:
  void Init(HWND window) {
    // The template's own font throughout, as the template lays them out.
    source_.AttachToDialogItem(window, BELVANE_ID_FOLLOW_SOURCE, false);
    browse_.AttachToDialogItem(window, BELVANE_ID_FOLLOW_BROWSE, false);
    test_.AttachToDialogItem(window, BELVANE_ID_FOLLOW_TEST, false);
    look_now_.AttachToDialogItem(window, BELVANE_ID_FOLLOW_LOOK_NOW, false);
    stop_.AttachToDialogItem(window, BELVANE_ID_FOLLOW_STOP, false);
    name_.AttachToDialogItem(window, BELVANE_ID_FOLLOW_NAME, false);
    frame_.BindAcceptAndCancel(window, IDOK, IDCANCEL, [this] { return Accept(); });
    browse_.SetClickHandler(EventHandler::Member(this, &FollowWindow::BrowseForSource));
    test_.SetClickHandler(EventHandler::Member(this, &FollowWindow::TestSource));
    look_now_.SetClickHandler([this](const EventArgs&) { actions_.look_now(); });
    stop_.SetClickHandler(EventHandler::Member(this, &FollowWindow::StopFollowing));
    source_.LimitText(1024);
    name_.LimitText(64);
    if (actions_.report_name) name_.Text(actions_.report_name());
    if (actions_.following()) source_.Text(actions_.status().source);
    ShowStatus();
    // The hook goes with the window, which closes before this object ends.
    SetMessageHook(window, [this](HWND, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
      if (RunUiTask(message, wparam, lparam)) return 1;
      if (message == WM_TIMER && wparam == kStatusTimer) {
        ShowStatus();
        return 1;
      }
      return 0;
    });
    SetTimer(window, kStatusTimer, kStatusTimerMs, nullptr);
    source_.SetFocus();
  }

  FormWindow& Form() { return frame_.Form(); }

  void ShowStatus() {
    const bool following = actions_.following();
    std::string text = FollowStatusText(actions_.status(), following);
    // Set only when it changed, so the text does not flicker once a second.
    if (text != shown_status_) {
      Form().DialogItemText(BELVANE_ID_FOLLOW_STATUS, text);
      shown_status_ = std::move(text);
    }
    look_now_.Disabled(!following);
    stop_.Disabled(!following);
  }

  // Sets the source, or tells why it could not be.
  bool SetSource(const std::string& source) {
    // Told already when a hand-made file holds a character its GBK copy would lose.
    if (!MaySaveAsGbk(Form().Handle(), actions_.settings_file)) return false;
    if (actions_.set_source(source)) return true;
    frame_.Refuse(std::string("无法写入 ") + kSyncFileName + "：请检查程序所在文件夹是否可写。");
    return false;
  }

  void TestSource() {
    const std::string source = TrimmedText(source_);
    if (source.empty()) {
      Form().DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, "请先填写来源。");
      return;
    }
    const int number = ++test_number_;
    const HWND window = Form().Handle();
    // A source on a server that is gone can take long to answer: the button waits for it.
    test_.Disabled(true);
    Form().DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, "正在读取……");
    // The answer is posted to the window: one that comes after it has closed is dropped with
    // its message, so `this` is only reached while the window, and so this object, lives.
    const bool started = workers_.Run([this, window, number, source, describe = actions_.describe] {
      std::string answer;
      try {
        answer = describe(source);
      } catch (...) {
        answer = "无法读取：测试时出错。";
      }
      PostUiTask(window, [this, number, answer = std::move(answer)] {
        if (test_number_ != number) return;
        Form().DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, answer);
        test_.Disabled(false);
      });
    });
    if (!started) {
      test_.Disabled(false);
      Form().DialogItemText(BELVANE_ID_FOLLOW_TEST_RESULT, "无法测试：没有可用的线程。");
    }
  }

  // The shell's folder picker; the edit box takes the folder chosen.
  void BrowseForSource() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
      const std::wstring title = WideFromGbk("选择要跟随的文件夹（共享文件夹可在“网络”中找到）");
      BROWSEINFOW info{};
      info.hwndOwner = Form().Handle();
      info.lpszTitle = title.c_str();
      info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
      const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(SHBrowseForFolderW(&info));
      wchar_t path[MAX_PATH] = {};
      if (chosen && SHGetPathFromIDListW(chosen.get(), path)) {
        source_.Text(GbkFromWide(path));
        source_.SetFocus();
      }
    }
    if (SUCCEEDED(com)) CoUninitialize();
  }

  void StopFollowing() {
    if (!frame_.Ask("停止跟随后，本机保留现有的课表、日历和音乐，可以在本机编辑。停止跟随吗？"))
      return;
    if (SetSource("")) frame_.Close(true);
  }

  bool Accept() {
    const std::string source = TrimmedText(source_);
    const bool following = actions_.following();
    // An empty box stops following; the same folder again changes nothing.
    const bool change =
        source.empty() ? following : !following || source != actions_.status().source;
    // Unsaved edits are saved or dropped before the folder's files take over.
    if (change && !source.empty() && !following && actions_.may_follow && !actions_.may_follow())
      return false;
    if (actions_.report_name && actions_.set_report_name) {
      const std::string name = TrimmedText(name_);
      // A file name at the source: no folder, no character Windows refuses in one.
      if (name.empty() || name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        frame_.Refuse("名称不能为空，也不能含有 \\ / : * ? \" < > |。", &name_);
        return false;
      }
      if (name != actions_.report_name() && !actions_.set_report_name(name)) {
        frame_.Refuse(std::string("无法写入 ") + kSyncFileName +
                      "：请检查程序所在文件夹是否可写。");
        return false;
      }
    }
    return !change || SetSource(source);
  }

  FollowWindowActions actions_;
  WorkerPool& workers_;
  DialogFrame frame_{kCaption};
  EditControl source_;
  ButtonControl browse_;
  ButtonControl test_;
  ButtonControl look_now_;
  ButtonControl stop_;
  EditControl name_;
  std::string shown_status_;
  // Numbers the tests: only the latest one's answer is shown.
  int test_number_ = 0;
};

}  // namespace

void OpenFollowWindow(HWND owner, FollowWindowActions actions, WorkerPool& workers) {
  FollowWindow(std::move(actions), workers).Run(owner);
}

}  // namespace belvane
