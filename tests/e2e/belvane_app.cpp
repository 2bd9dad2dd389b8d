#include "tests/e2e/belvane_app.h"

#include <cctype>

namespace belvane::e2e {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<Row> DefaultRowsWithMarkers() {
  const char* times[] = {"08:30:00", "08:40:00", "08:45:00", "08:50:00",
                         "09:00:00", "10:45:00", "11:00:00"};
  const char* names[] = {"1.组织考生进入考场.m4a", "2.宣读考试规则.m4a",
                         "3.监考员启封试卷袋.m4a", "4.分发试题卷和答题卷.m4a",
                         "5.请考生开始答题.m4a",   "6.考前15分钟提醒.m4a",
                         "7.停止答题.m4a"};
  const char* seconds[] = {"30600", "31200", "31500", "31800", "32400", "38700", "39600"};
  std::vector<Row> rows;
  for (int i = 0; i < 7; ++i) {
    rows.push_back(
        {std::to_string(i + 1), times[i], std::string(kMissingMarker) + names[i], seconds[i]});
  }
  return rows;
}

std::optional<std::string> IniValue(std::string_view ini, std::string_view section,
                                    std::string_view key) {
  bool in_section = false;
  while (!ini.empty()) {
    const size_t end = ini.find('\n');
    std::string_view line = Trim(ini.substr(0, end));
    ini = end == std::string_view::npos ? std::string_view() : ini.substr(end + 1);
    if (!line.empty() && line.front() == '[') {
      const size_t close = line.find(']');
      in_section =
          close != std::string_view::npos && SameIgnoringCase(line.substr(1, close - 1), section);
      continue;
    }
    const size_t eq = line.find('=');
    if (in_section && eq != std::string_view::npos &&
        SameIgnoringCase(Trim(line.substr(0, eq)), key)) {
      return std::string(Trim(line.substr(eq + 1)));
    }
  }
  return std::nullopt;
}

std::string MakeConfig(const std::vector<std::vector<std::string>>& rows, std::string_view total) {
  const char* sections[] = {"time", "music", "remark"};
  std::string text;
  for (int s = 0; s < 3; ++s) {
    text += "[" + std::string(sections[s]) + "]\r\n";
    for (size_t i = 0; i < rows.size(); ++i) {
      text += std::to_string(i + 1) + "=" + rows[i][s] + "\r\n";
    }
  }
  text += "[total]\r\nn=" + std::string(total) + "\r\n";
  return text;
}

BelvaneApp::BelvaneApp(std::string_view gbk_subfolder)
    : app_(BuildBinDir() / "Belvane.exe", gbk_subfolder) {}

BelvaneApp::BelvaneApp(const std::filesystem::path& folder)
    : app_(AppUnderTest::InPlace{}, folder, "Belvane.exe") {}

bool BelvaneApp::Start(int timeout_ms, int* audio_boxes, bool answer_audio_box) {
  if (!app_.Start()) return false;
  HWND answered = nullptr;  // a box answered stays findable until it has handled the answer
  const auto answer = [&] {
    RemoteMessageBox audio(app_.FindDialog("错误").Handle());
    if (answer_audio_box && audio.Exists() && audio.Message() == "无法播放音乐，请关闭重试" &&
        audio.Answer(IDOK) && audio.Handle() != answered) {
      answered = audio.Handle();
      if (audio_boxes) ++*audio_boxes;
    }
  };
  WaitUntil(
      [&] {
        main_ = app_.FindDialog("Belvane");
        if (main_.Exists() || !app_.Running()) return true;  // shown, or ended without a window
        answer();
        return false;
      },
      timeout_ms);
  if (!main_.Exists()) return false;
  // The box may come after the window: it is made by a task posted during start-up, so it
  // exists once the window has handled what is posted now, and is shown soon after.
  if (!Settle()) return false;
  WaitUntil([&] {
    for (HWND hwnd : app_.TopLevelWindows(false)) {
      const RemoteWindow box(hwnd);
      if (hwnd != main_.Handle() && box.ClassName() == "#32770" && box.Text() == "错误") {
        answer();
        return answered != nullptr || !answer_audio_box;
      }
    }
    return true;
  });
  return true;
}

RemoteListView BelvaneApp::Timetable() const {
  return RemoteListView(main_.ChildOfClass("SysListView32").Handle());
}

bool BelvaneApp::Press(int button_id) const {
  return main_.Item(button_id).PostClick() && Settle();
}

bool BelvaneApp::ChooseTime(std::string_view hour, std::string_view minute,
                            std::string_view second) const {
  return Hours().SelectText(hour) && Minutes().SelectText(minute) && Seconds().SelectText(second);
}

bool BelvaneApp::AddAt(std::string_view hour, std::string_view minute,
                       std::string_view second) const {
  return ChooseTime(hour, minute, second) && Press(kAddButton);
}

bool BelvaneApp::SelectRow(int row) const {
  const RemoteListView list = Timetable();
  return list.ClickRow(row) && WaitUntil([&] { return list.SelectedRow() == row; }) && Settle();
}

RemoteMessageBox BelvaneApp::WaitForBox(std::string_view caption, int timeout_ms) const {
  // Whole means shown and carrying its message: a box is shown only at its loop's first idle
  // moment and gets its caption before its text, so finding the caption alone can be early.
  RemoteMessageBox box;
  WaitUntil(
      [&] {
        box = RemoteMessageBox(app_.FindDialog(caption, main_.Handle()).Handle());
        return box.Exists() && !box.Message().empty();
      },
      timeout_ms);
  return box;
}

bool BelvaneApp::ShowsNoBox() const {
  // Hidden ones count: a modal box is shown only once its loop first finds the queue empty,
  // which can be after Settle's message was handled.
  for (HWND hwnd : app_.TopLevelWindows(false)) {
    if (hwnd != main_.Handle() && RemoteWindow(hwnd).ClassName() == "#32770") return false;
  }
  return true;
}

bool BelvaneApp::CloseConfirmed() const {
  if (!main_.PostClose()) return false;
  const RemoteMessageBox box = WaitForBox("防止误操作");
  if (!box.Exists() || !box.Answer(IDOK)) return false;
  return app_.WaitForExit() == std::optional<DWORD>(0);
}

}  // namespace belvane::e2e
