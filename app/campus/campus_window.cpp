#include "app/campus/campus_window.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/campus/campus.h"
#include "app/campus/campus_overview.h"
#include "app/timetable/csv_file.h"
#include "resources/resource.h"
#include "runtime/gbk.h"
#include "runtime/inifile/profile_document.h"
#include "runtime/message_box.h"
#include "ui/controls/button_control.h"
#include "ui/controls/list_view_control.h"
#include "ui/dialog_frame.h"
#include "ui/form_window.h"
#include "ui/ui_task.h"
#include "ui/window_layer.h"

namespace belvane {

namespace {

constexpr const char* kCaption = "全校状态";
constexpr UINT_PTR kRefreshTimer = 1;
// Pale, so the text stays readable on them.
constexpr COLORREF kRedRow = RGB(255, 200, 200);
constexpr COLORREF kAmberRow = RGB(255, 230, 160);
constexpr int kColumnWidths[] = {90, 70, 70, 130, 80, 60, 130, 50};

struct ItemIdListFree {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

// The shell's folder picker; nothing when cancelled.
std::optional<std::string> ChooseFolder(HWND owner) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::optional<std::string> folder;
  {
    const std::wstring title = WideFromGbk("选择各电脑回报所在的共享文件夹（其中的“状态”文件夹）");
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    const std::unique_ptr<ITEMIDLIST, ItemIdListFree> chosen(SHBrowseForFolderW(&info));
    wchar_t path[MAX_PATH] = {};
    if (chosen && SHGetPathFromIDListW(chosen.get(), path)) folder = GbkFromWide(path).Bytes();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return folder;
}

// "3 台电脑，1 台异常，1 台需注意。（10:31:05 读取）"
std::string SummaryText(const CampusReading& reading, const std::string& read_at) {
  if (!reading.problem.empty()) return "无法读取：" + reading.problem;
  if (reading.reports.empty()) return "还没有电脑回报。（" + read_at + " 读取）";
  const auto count = [&reading](RowAlarm alarm) {
    return std::to_string(std::count(reading.alarms.begin(), reading.alarms.end(), alarm));
  };
  return std::to_string(reading.reports.size()) + " 台电脑，" + count(RowAlarm::kRed) +
         " 台异常，" + count(RowAlarm::kAmber) + " 台需注意。（" + read_at + " 读取）";
}

std::string ClockText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[16];
  wsprintfA(text, "%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
  return text;
}

// The window while it runs: an object of its own, its handlers bound to it.
class CampusWindow {
 public:
  CampusWindow(CampusWindowActions actions, std::string folder, WorkerPool& workers)
      : actions_(std::move(actions)), folder_(std::move(folder)), workers_(workers) {}

  void Run(HWND owner) {
    frame_.Run(owner, BELVANE_DIALOG_CAMPUS, [this](HWND window) { Init(window); });
  }

 private:
  void Init(HWND window) {
    // 关闭 is the dialog's OK (Enter); Esc closes it too.
    frame_.BindAcceptAndCancel(window, IDOK, IDCLOSE, [] { return true; });
    refresh_.AttachToDialogItem(window, BELVANE_ID_CAMPUS_REFRESH, false);
    export_.AttachToDialogItem(window, BELVANE_ID_CAMPUS_EXPORT, false);
    list_.AttachToDialogItem(window, BELVANE_ID_CAMPUS_LIST, false);
    list_.AddListViewExStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const std::vector<std::string> titles = CampusColumnTitles();
    for (std::size_t i = 0; i < titles.size(); ++i)
      list_.InsertColumn(std::nullopt, TextValue(titles[i]), kColumnWidths[i]);
    list_.SetRowColourSource([this](int row) -> std::optional<ListViewControl::RowColours> {
      if (row < 0 || static_cast<std::size_t>(row) >= shown_.alarms.size()) return std::nullopt;
      const RowAlarm alarm = shown_.alarms[static_cast<std::size_t>(row)];
      if (alarm == RowAlarm::kNone) return std::nullopt;
      return ListViewControl::RowColours{GetSysColor(COLOR_WINDOWTEXT),
                                         alarm == RowAlarm::kRed ? kRedRow : kAmberRow};
    });
    refresh_.SetClickHandler(EventHandler::Member(this, &CampusWindow::Refresh));
    export_.SetClickHandler(EventHandler::Member(this, &CampusWindow::Export));
    export_.Disabled(true);
    Form().DialogItemText(BELVANE_ID_CAMPUS_FOLDER,
                          "各电脑的回报：" + folder_ + "\\" + kReportFolder);
    // The hook goes with the window, which closes before this object ends.
    SetMessageHook(window, [this](HWND, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
      if (RunUiTask(message, wparam, lparam)) return 1;
      if (message == WM_TIMER && wparam == kRefreshTimer) {
        Refresh();
        return 1;
      }
      return 0;
    });
    const int interval = std::max(actions_.look_interval_seconds(), kMinRefreshSeconds);
    SetTimer(window, kRefreshTimer, static_cast<UINT>(interval) * 1000, nullptr);
    Refresh();
    list_.SetFocus();
  }

  FormWindow& Form() { return frame_.Form(); }

  // Reads the reports on a worker; one reading at a time, so a share that hangs does not pile
  // up threads behind it.
  void Refresh() {
    if (reading_) return;
    const HWND window = Form().Handle();
    reading_ = true;
    refresh_.Disabled(true);
    Form().DialogItemText(BELVANE_ID_CAMPUS_STATUS, "正在读取……");
    const bool started =
        workers_.Run([this, window, folder = folder_, interval = actions_.look_interval_seconds()] {
          auto reading = std::make_shared<CampusReading>();
          try {
            *reading = ReadCampusReading(folder, interval);
          } catch (...) {
            reading->problem = "读取时出错。";
          }
          // Posted to the window: dropped with its message once it has closed, so `this` is
          // reached only while the window, and so this object, lives.
          PostUiTask(window, [this, reading] { Show(std::move(*reading)); });
        });
    if (!started) {
      reading_ = false;
      refresh_.Disabled(false);
      Form().DialogItemText(BELVANE_ID_CAMPUS_STATUS, "无法读取：没有可用的线程。");
    }
  }

  void Show(CampusReading reading) {
    reading_ = false;
    refresh_.Disabled(false);
    const int selected = list_.SelectionMark();
    const std::string selected_name =
        selected >= 0 && static_cast<std::size_t>(selected) < shown_.reports.size()
            ? shown_.reports[static_cast<std::size_t>(selected)].name
            : std::string();
    shown_ = std::move(reading);
    FillCampusList(list_, shown_.cells);
    for (std::size_t row = 0; row < shown_.reports.size(); ++row) {
      if (shown_.reports[row].name == selected_name) list_.SetCurrentRow(static_cast<int>(row));
    }
    export_.Disabled(shown_.reports.empty());
    Form().DialogItemText(BELVANE_ID_CAMPUS_STATUS, SummaryText(shown_, ClockText()));
  }

  void Export() {
    const std::optional<TextValue> chosen = ChooseCsvFile(Form().Handle(), true, "全校状态.csv");
    if (!chosen) return;
    const std::string path = chosen->Bytes();
    const HWND window = Form().Handle();
    // Written on a worker: a file on a share can take long.
    const bool started =
        workers_.Run([this, window, path, text = CampusCsvText(shown_.reports, shown_.basis)] {
          const bool written = ReplaceWholeFile(TextValue(path), text);
          PostUiTask(window, [this, written, path] {
            if (written) {
              Form().DialogItemText(BELVANE_ID_CAMPUS_STATUS, "已导出到 " + path);
            } else {
              frame_.Refuse("无法写入 " + path + "：请检查文件是否被占用、文件夹是否可写。");
            }
          });
        });
    if (!started) frame_.Refuse("无法导出：没有可用的线程。");
  }

  // A refresh at least this far apart, whatever the look interval.
  static constexpr int kMinRefreshSeconds = 5;

  CampusWindowActions actions_;
  std::string folder_;
  WorkerPool& workers_;
  DialogFrame frame_{kCaption};
  ListViewControl list_;
  ButtonControl refresh_;
  ButtonControl export_;
  CampusReading shown_;
  bool reading_ = false;
};

}  // namespace

void FillCampusList(ListViewControl& list, const std::vector<std::vector<std::string>>& cells) {
  SendMessageA(list.Handle(), WM_SETREDRAW, FALSE, 0);
  list.DeleteAllRows();
  list.SetRowCount(static_cast<int>(cells.size()));
  for (const std::vector<std::string>& row_cells : cells) {
    const int row = list.InsertRow(std::nullopt, TextValue(row_cells[0]));
    for (std::size_t column = 1; column < row_cells.size(); ++column)
      list.SetCellText(row, static_cast<int>(column), TextValue(row_cells[column]));
  }
  SendMessageA(list.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list.Handle(), nullptr, TRUE);
}

void OpenCampusWindow(HWND owner, CampusWindowActions actions, WorkerPool& workers) {
  std::string folder = actions.folder();
  if (folder.empty()) {
    const std::optional<std::string> chosen = ChooseFolder(owner);
    if (!chosen) return;
    folder = *chosen;
    if (!actions.remember_folder(folder))
      ShowMessageBox(
          owner,
          std::string("无法写入 ") + kSyncFileName + "：这次读取所选的文件夹，下次还会询问。",
          kCaption, MB_OK | MB_ICONWARNING);
  }
  CampusWindow(std::move(actions), std::move(folder), workers).Run(owner);
}

}  // namespace belvane
