// The real main window, in process: start-up fills it as a user first sees it, the buttons reach
// their handlers, and closing asks first. The program folder is this test's own (build/bin), so
// the test takes the timetable file there out of the way first and removes what it wrote.

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_objects.h"
#include "app/autostart.h"
#include "app/bell/clock_thread.h"
#include "app/timetable/default_config.h"
#include "app/startup.h"
#include "app/timetable/timetable_rules.h"
#include "app/timetable_choice.h"
#include "runtime/files.h"
#include "runtime/message_box.h"
#include "runtime/path_text.h"
#include "tests/app/test_support.h"
#include "ui/window_layer.h"

namespace belvane::testing {
namespace {

using Strings = std::vector<std::string>;

// What the timer step saw in the shown window, checked after the dialog has ended.
struct Seen {
  bool ran = false;
  int hours = 0, minutes = 0, seconds = 0;
  std::string hour, minute, second;
  DWORD list_ex_style = 0;
  LONG_PTR list_style = 0;
  bool placeholder_visible = true;
  RECT placeholder{}, list{};
  Strings titles;
  Strings first_row;
  int rows = 0;
  int music_items = -1;
  COLORREF clock_colour = 0;
  LOGFONTA clock_font{};
  Strings after_add;
  std::string written_at_start;  // the timetable file before the save button was pressed
  std::string music_chosen;
  int rows_after_delete = 0;
  bool small_icon = false;
  std::string clock_text;
  std::string play_caption;
  std::vector<MessageBoxRequest> boxes;
  std::vector<MessageBoxRequest> start_boxes;  // shown before the window was first inspected
  Strings system_items;                        // the system menu's last six items
  bool checked_elsewhere = true, checked_here = false, checked_after_removal = true;
  // Unsaved edits and following: after a take while read-only; after 取消, then 否.
  std::vector<std::string> following;
  std::vector<MessageBoxRequest> follow_boxes;
};

Seen g_seen;

RECT RectIn(HWND window, HWND parent) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Runs once the dialog is up: reads the window, presses buttons, then closes it.
void CALLBACK InspectAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  AppObjects& app = App();
  Seen& s = g_seen;
  s.ran = true;
  const HWND dialog = app.main_window.Handle();
  s.hours = int(app.hour_list.SendWindowMessage(CB_GETCOUNT));
  s.minutes = int(app.minute_list.SendWindowMessage(CB_GETCOUNT));
  s.seconds = int(app.second_list.SendWindowMessage(CB_GETCOUNT));
  s.hour = app.hour_list.GetText().Bytes();
  s.minute = app.minute_list.GetText().Bytes();
  s.second = app.second_list.GetText().Bytes();
  s.list_ex_style = app.timetable_list.ListViewExStyle();
  s.list_style = app.timetable_list.Style();
  s.placeholder_visible = IsWindowVisible(GetDlgItem(dialog, BELVANE_ID_PLACEHOLDER));
  s.placeholder = RectIn(GetDlgItem(dialog, BELVANE_ID_PLACEHOLDER), dialog);
  s.list = RectIn(app.timetable_list.Handle(), dialog);
  for (int c = 0; c < 4; ++c) s.titles.push_back(app.timetable_list.ColumnTitle(c).Bytes());
  s.rows = app.timetable_view.Count();
  for (int c = 0; c < 4; ++c)
    s.first_row.push_back(app.timetable_list.GetWholeCellText(0, c).Bytes());
  s.music_items = app.music_list.ItemCount();
  s.clock_colour = app.clock_label.TextColour();
  GetObjectA(app.clock_label.GetFont(), sizeof s.clock_font, &s.clock_font);
  s.small_icon = app.main_window.SendWindowMessage(WM_GETICON, ICON_SMALL) != 0;
  s.clock_text = app.clock_label.Caption().Bytes();
  s.play_caption = app.play_button.Caption().Bytes();
  SetMessageBoxObserver({});

  // The system menu: the autostart mark follows the Run entry each time the menu opens.
  HMENU menu = GetSystemMenu(dialog, FALSE);
  const int items = GetMenuItemCount(menu);
  int ours = items - 1;  // from the last separator on: the program's own items
  while (ours > 0 && !(GetMenuState(menu, ours, MF_BYPOSITION) & MF_SEPARATOR)) --ours;
  for (int i = ours; i < items; ++i) {
    char text[64] = {};
    GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    s.system_items.push_back(text);
  }
  auto checked_on_opening = [&] {
    SendMessageA(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    return (GetMenuState(menu, BELVANE_SYSMENU_AUTOSTART, MF_BYCOMMAND) & MF_CHECKED) != 0;
  };
  {
    RegistryRunEntry entry;
    const std::optional<std::string> before = entry.Read();
    entry.Write("\"C:\\elsewhere\\Belvane.exe\"");
    s.checked_elsewhere = checked_on_opening();
    entry.Write(AutostartCommand(ModuleFileName()));
    s.checked_here = checked_on_opening();
    entry.Remove();
    s.checked_after_removal = checked_on_opening();
    if (before) entry.Write(*before);
  }

  // "3.添加" at the preset 07:00:00 goes to the top; a second press finds the time taken.
  {
    MessageBoxRecorder boxes;
    app.add_button.SendWindowMessage(BM_CLICK);
    app.add_button.SendWindowMessage(BM_CLICK);
    s.boxes = boxes.requests;
  }
  for (int c = 0; c < 4; ++c)
    s.after_add.push_back(app.timetable_list.GetWholeCellText(0, c).Bytes());
  s.music_chosen = app.music_list.ItemText(app.music_list.CurrentSelection()).Bytes();

  // "删除该行" with no row selected deletes nothing; with the second row (08:30:00) current, it
  // goes. Then "4.保存" writes the seven rows.
  app.delete_button.SendWindowMessage(BM_CLICK);
  app.timetable_list.SetCurrentRow(1);
  app.delete_button.SendWindowMessage(BM_CLICK);
  s.rows_after_delete = app.timetable_view.Count();
  s.written_at_start = ReadFileBytes(ConfigFilePath().Bytes());
  app.save_button.SendWindowMessage(BM_CLICK);

  // Unsaved edits never ring while the window says a shared folder manages the timetables: the
  // files taken show as taken, and following starts only once the edits are saved or dropped.
  {
    auto edit = [&](int hour) {
      app.hour_list.CurrentSelection(hour);
      app.add_button.SendWindowMessage(BM_CLICK);
    };
    auto state = [&](const std::string& answer) {
      s.following.push_back(answer + (app.timetable.Modified() ? " modified " : " saved ") +
                            std::to_string(app.timetable_view.Count()));
    };
    edit(6);
    SetTimetablesReadOnly(true);
    ShownFilesReplaced({"Belvane配置.ini"});
    state("taken");
    SetTimetablesReadOnly(false);
    edit(5);
    for (const int answer : {IDCANCEL, IDNO}) {
      MessageBoxRecorder boxes(answer);
      state(MayStartFollowing() ? "follows" : "stays");
      s.follow_boxes.insert(s.follow_boxes.end(), boxes.requests.begin(), boxes.requests.end());
    }
  }

  // Closing: Cancel keeps the window, OK ends the dialog.
  {
    MessageBoxRecorder cancel(IDCANCEL);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    s.boxes.insert(s.boxes.end(), cancel.requests.begin(), cancel.requests.end());
  }
  SetMessageBoxObserver([](const MessageBoxRequest& request) {
    g_seen.boxes.push_back(request);
    return IDOK;
  });
  PostMessageA(dialog, WM_CLOSE, 0, 0);
}

// Start-up's init handler with the inspection scheduled after the first display.
std::int32_t InitThenInspect(const EventArgs& args) {
  OnMainWindowInit(reinterpret_cast<HWND>(args[0]));
  SetTimer(nullptr, 0, 200, InspectAndClose);
  return 0;
}

TEST(StartUp, FillsTheMainWindowAndWritesTheDefaultTimetable) {
  const TextValue dir = ProgramDirectory();
  const std::string config = dir.Bytes() + "\\Belvane配置.ini";
  const std::string aside = config + ".aside";
  const bool had_config = FileExists(config);
  if (had_config) MoveFileA(config.c_str(), aside.c_str());
  const bool have_music = FileExists(dir.Bytes() + "\\mp3");

  ConstructAppObjects();
  EnsureWindowLayer();
  // Start-up shows no box (the audio output is ALSA's null device); one would be recorded here
  // rather than wait for an answer.
  SetMessageBoxObserver([](const MessageBoxRequest& request) {
    g_seen.start_boxes.push_back(request);
    return IDOK;
  });
  const INT_PTR result = App().main_window.RunDialog(nullptr, BELVANE_DIALOG_MAIN, InitThenInspect);
  SetMessageBoxObserver({});
  auto saved = [&config](const char* section, const char* key) {
    return ReadProfileText(config, section, key).Bytes();
  };
  const Strings saved_rows = {saved("total", "n"),  saved("time", "1"), saved("music", "1"),
                              saved("remark", "1"), saved("time", "2"), saved("music", "2"),
                              saved("remark", "2"), saved("time", "7"), saved("music", "7")};
  DestroyAppObjects();
  DeleteFileA(config.c_str());
  if (had_config) MoveFileA(aside.c_str(), config.c_str());

  EXPECT_EQ(result, 0);
  ASSERT_TRUE(g_seen.ran);
  EXPECT_TRUE(g_seen.start_boxes.empty());
  // The clock ran from start-up on and was stopped by the confirmed close.
  ASSERT_EQ(g_seen.clock_text.size(), 8u);
  EXPECT_EQ(g_seen.clock_text[2], ':');
  EXPECT_EQ(g_seen.clock_text[5], ':');
  EXPECT_NE(g_seen.clock_text, "00:00:00") << "the label never changed";
  EXPECT_EQ(g_seen.play_caption, "播放音乐");
  EXPECT_FALSE(TheProcessObjects().clock_thread.Running());
  EXPECT_EQ(g_seen.written_at_start, std::string(DefaultConfigBytes()));

  const Seen& s = g_seen;
  EXPECT_EQ(s.hours, 24);
  EXPECT_EQ(s.minutes, 60);
  EXPECT_EQ(s.seconds, 60);
  EXPECT_EQ(s.hour + ":" + s.minute + ":" + s.second, "07:00:00");
  EXPECT_EQ(s.list_ex_style, 0x423u);
  EXPECT_TRUE(s.list_style & LVS_SINGLESEL);
  EXPECT_TRUE(s.list_style & LVS_REPORT);
  EXPECT_FALSE(s.placeholder_visible);
  EXPECT_EQ(s.list.left, s.placeholder.left);
  EXPECT_EQ(s.list.top, s.placeholder.top);
  EXPECT_EQ(s.list.right, s.placeholder.right);
  EXPECT_EQ(s.list.bottom, s.placeholder.bottom);
  EXPECT_EQ(s.titles, (Strings{"顺序", "开始时间", "音乐", "数值"}));
  EXPECT_EQ(s.clock_colour, COLORREF(0xFF0000));
  EXPECT_EQ(s.clock_font.lfHeight, 20);
  EXPECT_EQ(s.clock_font.lfWeight, 800);
  EXPECT_EQ(std::string(s.clock_font.lfFaceName), "宋体");
  EXPECT_TRUE(s.small_icon);
  EXPECT_EQ(s.system_items, (Strings{"", "开机自动启动", "打开播放记录", "关于 Belvane",
                                     "跟随共享文件夹…", "全校状态…", "考场时钟", "声音…"}));
  EXPECT_FALSE(s.checked_elsewhere) << "an entry for another folder's copy";
  EXPECT_TRUE(s.checked_here);
  EXPECT_FALSE(s.checked_after_removal);

  EXPECT_EQ(s.rows, 7);
  const std::string name = "1.组织考生进入考场.m4a";
  EXPECT_EQ(s.first_row,
            (Strings{"1", "08:30:00", have_music ? name : std::string(kMissingFileMarker) + name,
                     "30600"}));
  if (!have_music) {
    EXPECT_EQ(s.music_items, 0);
  }

  EXPECT_EQ(s.after_add[0], "1");
  EXPECT_EQ(s.after_add[1], "07:00:00");
  EXPECT_EQ(s.after_add[3], "25200");
  EXPECT_EQ(s.rows_after_delete, 7);
  // Saved with bare music names, whatever markers the window showed.
  EXPECT_EQ(saved_rows, (Strings{"7", "07:00:00", s.music_chosen, "25200", "08:40:00",
                                 "2.宣读考试规则.m4a", "31200", "11:00:00", "7.停止答题.m4a"}));
  ASSERT_EQ(s.boxes.size(), 3u);  // the taken time and two close questions; saving is silent
  EXPECT_EQ(s.boxes[0].text, TextValue("该时间点已有任务"));
  EXPECT_EQ(s.boxes[1].caption, TextValue("防止误操作"));
  EXPECT_EQ(s.boxes[2].caption, TextValue("防止误操作"));
  EXPECT_FALSE(TheProcessObjects().clock_thread.Ringing());
  EXPECT_EQ(s.following, (Strings{"taken saved 7", "stays modified 8", "follows saved 7"}));
  ASSERT_EQ(s.follow_boxes.size(), 2u);
  EXPECT_EQ(s.follow_boxes[0].text,
            TextValue("课表“常规”有未保存的修改，跟随共享文件夹前保存吗？"));
}

}  // namespace
}  // namespace belvane::testing
