#include "app/startup.h"

#include <cstdio>

#include "app/app_objects.h"
#include "app/bell/bell_start.h"
#include "app/bell/clock_thread.h"
#include "app/closing.h"
#include "app/timetable/default_config.h"
#include "app/editing.h"
#include "app/manual_play.h"
#include "app/music/music_folder.h"
#include "app/music/music_watch.h"
#include "app/calendar/plan_window.h"
#include "app/process_objects.h"
#include "app/campus/follow_view.h"
#include "app/campus/follow_window.h"
#include "app/timetable_choice.h"
#include "app/timetable/timetable_library.h"
#include "app/bell/record_events.h"
#include "app/single_instance.h"
#include "app/system_menu.h"
#include "app/timetable_choice.h"
#include "app/timetable_handlers.h"
#include "app/calendar/today.h"
#include "audio/audio_library.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "runtime/threads.h"
#include "ui/dpi.h"
#include "ui/ui_task.h"
#include "ui/window_layer.h"

namespace belvane {

namespace {

// Over the follower: a source set or stopped here shows in the main window at once.
void OpenFollowWindowOver(HWND owner, CampusFollower& follower, const TextValue& program_dir,
                          WorkerPool& workers, std::function<bool()> may_follow) {
  OpenFollowWindow(
      owner,
      {[&follower] { return follower.Status(); }, [&follower] { return follower.Following(); },
       [&follower](const std::string& source) {
         const bool written = follower.SetSource(source);
         ShowFollowing(follower.Status(), follower.Following());
         return written;
       },
       [&follower] { follower.LookNow(); },
       [dir = follower.ProgramDir().Bytes()](const std::string& source) {
         return DescribeSource(source, dir);
       },
       ConcatTexts(program_dir, "\\", kSyncFileName), std::move(may_follow)},
      workers);
}

// The timetable list view's columns, left to right: title and width in pixels at 96 DPI.
struct ColumnSpec {
  const char* title;
  int width;
};
constexpr ColumnSpec kColumns[] = {{"顺序", 50}, {"开始时间", 100}, {"音乐", 300}, {"数值", 60}};

constexpr COLORREF kClockColour = 0xFF0000;  // COLORREF is 0x00BBGGRR: pure blue
constexpr int kClockFontHeight = 20;         // pixels at 96 DPI

// "07" for 7: two digits, as the time lists show them.
TextValue TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return TextValue(text);
}

// The main window's hook: lays the window out again when it reaches a screen of another DPI,
// runs the tasks workers post to the user-interface thread and the system menu's own items. A
// session that ends (log-off, shut-down) may end the process once its message returns, without
// the close that writes the record's last line: it is written here.
LRESULT MainWindowHook(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DPICHANGED) {
    RescaleMainWindow(window, App(), HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
    return 1;  // handled: the dialog manager's own rescaling would undo this one
  }
  if (message == WM_ENDSESSION && wparam) TheProcessObjects().bell_record.End();
  if (RunUiTask(message, wparam, lparam)) return 1;
  return HandleSystemMenuMessage(window, message, wparam, lparam) ? 1 : 0;
}

// The clock's findings, on the user-interface thread.
void ShowClockText(const std::string& clock_text) {
  if (HaveAppObjects()) App().clock_label.Caption(TextValue(clock_text));
}

void StartDueBellOfApp(Bell bell) {
  // Once closing has been confirmed no row starts, whatever was still queued.
  if (!HaveAppObjects() || !App().process.clock_thread.Ringing()) return;
  AppObjects& app = App();
  // The clock rang today's rows: the model's while it shows today's timetable (its row is made
  // current, as ever), else those of today's file.
  const std::shared_ptr<const TimetableSnapshot> rows = app.process.published_timetable.Current();
  BellRecord& record = app.process.bell_record;
  const BellStarted started = [&record](const Bell& started) { record.ScheduledBell(started); };
  if (rows == app.timetable.Snapshot()) {
    StartDueBell(std::move(bell), app.timetable, app.timetable_list, MusicFolderPath(),
                 app.playback, started);
  } else {
    StartDueBellOf(std::move(bell), *rows, MusicFolderPath(), app.playback, started);
  }
}

// The application's watch over the main window, the music list and the shown timetable's rows
// (`shown`, the model's snapshots): from start-up on, the list and the marks follow the folder.
void StartMusicWatch(const SharedTimetable& shown) {
  AppObjects& app = App();
  app.music_watch.Start(app.main_window.Handle(), app.program_dir, MusicFolderPath(), shown,
                        [](const MusicFolderLook& look) {
                          if (!HaveAppObjects()) return;
                          AppObjects& app = App();
                          ShowMusicFolderLook(look, app.music_list, app.music_names,
                                              app.timetable_view);
                        });
}

}  // namespace

int StartProgram() {
  // A second copy from this folder hands over to the first and ends here, having shown nothing.
  if (!ClaimProgramFolder(App().process.folder_claim, ProgramDirectory())) return 0;
  App().keep_awake.Keep();
  App().main_window.RunDialog(nullptr, BELVANE_DIALOG_MAIN,
                              [](const EventArgs& args) -> std::int32_t {
                                OnMainWindowInit(reinterpret_cast<HWND>(args[0]));
                                return 0;
                              });
  return 0;
}

void OnMainWindowInit(HWND dialog) {
  AppObjects& app = App();
  // Published first, so a second copy finds it even while a start-up box is up.
  PublishMainWindow(app.process.folder_claim, dialog);
  SetUpMainWindow(dialog, app);
  BindEvents();
  SetMainIcon(app.main_window, app.icon);
  AddSystemMenuItems(dialog);
  PrepareData();
}

void SetUpMainWindow(HWND dialog, MainWindowControls& app) {
  app.time_caption.AttachToDialogItem(dialog, BELVANE_ID_CLOCK_CAPTION);
  app.clock_label.AttachToDialogItem(dialog, BELVANE_ID_CLOCK);
  // The template's controls are in dialog units, which follow the DPI; what is set here in
  // pixels is scaled to the window's DPI.
  const unsigned dpi = WindowDpi(dialog);
  app.clock_label.SetFont(CreateFontA(ScalePixels(kClockFontHeight, dpi), 0, 0, 0, 800, FALSE,
                                      FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "宋体"));
  app.clock_label.TextColour(kClockColour);

  app.add_button.AttachToDialogItem(dialog, BELVANE_ID_ADD);
  app.delete_button.AttachToDialogItem(dialog, BELVANE_ID_DELETE_ROW);
  app.play_button.AttachToDialogItem(dialog, BELVANE_ID_PLAY);
  app.save_button.AttachToDialogItem(dialog, BELVANE_ID_SAVE);

  app.placeholder.AttachToDialogItem(dialog, BELVANE_ID_PLACEHOLDER);
  app.placeholder.Visible(false);
  const int left = app.placeholder.Left();
  const int top = app.placeholder.Top();
  const int width = app.placeholder.Width();
  const int height = app.placeholder.Height();
  ListViewControl& view = app.timetable_list;
  view.CreateListView(dialog, kTimetableListStyle, left, top, width, height);
  for (int i = 0; i < 4; ++i)
    view.InsertColumn(i, kColumns[i].title, ScalePixels(kColumns[i].width, dpi), LVCFMT_LEFT);
  view.AddListViewExStyle(LVS_EX_GRIDLINES);
  view.AddListViewExStyle(LVS_EX_FULLROWSELECT);
  view.AddStyle(LVS_SINGLESEL);

  app.hour_list.AttachToDialogItem(dialog, BELVANE_ID_HOUR);
  app.minute_list.AttachToDialogItem(dialog, BELVANE_ID_MINUTE);
  app.second_list.AttachToDialogItem(dialog, BELVANE_ID_SECOND);
  app.note.AttachToDialogItem(dialog, BELVANE_ID_NOTE);
  app.music_list.AttachToDialogItem(dialog, BELVANE_ID_MUSIC_LIST);
  AttachTimetableChoice(dialog, app);
  // Also gives the controls that have the stock font, which is made for the system DPI, a copy
  // for the window's DPI when they differ (a window opened on a second screen).
  app.layout.Capture(dialog);
}

void RescaleMainWindow(HWND dialog, MainWindowControls& app, unsigned dpi, const RECT* suggested) {
  const unsigned before = app.layout.Dpi();
  if (!app.layout.Apply(dialog, dpi, suggested)) return;
  // The layout has rescaled every font, the clock's and the list's too; the columns are the
  // list view's own. From the widths now, so a column the user has widened stays wider.
  for (int i = 0, n = app.timetable_list.ColumnCount(); i < n; ++i) {
    app.timetable_list.ColumnWidth(
        i, ScalePixels(app.timetable_list.ColumnWidth(i), app.layout.Dpi(), before));
  }
}

void BindEvents() {
  AppObjects& app = App();
  app.add_button.SetClickHandler([](const EventArgs&) -> std::int32_t {
    AddEntry();
    return 0;
  });
  app.delete_button.SetClickHandler([](const EventArgs&) -> std::int32_t {
    DeleteCurrentRow();
    return 0;
  });
  app.play_button.SetClickHandler([](const EventArgs&) -> std::int32_t {
    TogglePlay();
    return 0;
  });
  app.save_button.SetClickHandler([](const EventArgs&) -> std::int32_t {
    SaveTimetable();
    return 0;
  });
  app.main_window.SetCloseHandler([](const EventArgs&) -> std::int32_t { return ConfirmClose(); });
}

void SetMainIcon(FormWindow& window, OwnedIcon& icon) {
  icon.Reset(static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(BELVANE_ICON_APP), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  window.SetIcon(icon.Get(), true, ICON_SMALL);
}

void PrepareData() {
  AppObjects& app = App();
  // 1. The program's folder.
  app.program_dir = ProgramDirectory();

  // 2, 3. The time lists, preset to 07:00:00.
  for (int hour = 0; hour < 24; ++hour) app.hour_list.AddItem(TwoDigits(hour), 0);
  for (int value = 0; value < 60; ++value) {
    const TextValue text = TwoDigits(value);
    app.minute_list.AddItem(text, 0);
    app.second_list.AddItem(text, 0);
  }
  app.hour_list.CurrentSelection(7);
  app.minute_list.CurrentSelection(0);
  app.second_list.CurrentSelection(0);

  // 4. The default timetable file, only when none exists: a user's file is never overwritten.
  // A failed write is not told: the timetable then simply starts empty.
  const TextValue config = ConfigFilePath();
  if (!FileExists(config)) WriteWholeFile(config, DefaultConfigText());

  // 5. The timetable shown, "常规", and the one that rings today, from the plan.
  const bool shown_read = LoadTimetable();
  app.today.SetTodayShown(&ShowTodayLine);
  const DayWork& day = app.today.Start(app.main_window.Handle(), app.program_dir, MusicFolderPath(),
                                       TodaysClockDay(), shown_read);
  StartTimetableChoice();
  SetPlanWindowOpener([](HWND owner) {
    if (HaveAppObjects() &&
        OpenPlanWindow(owner, App().program_dir, MusicFolderPath(), TimetablesReadOnly()))
      TimetablesChanged(true);
  });
  app.process.bell_record.Start(app.program_dir, app.process.published_timetable.Current(),
                                day.planned ? &day.today : nullptr, day.unread,
                                app.process.published_timetable, MusicFolderPath());
  app.today.RecordUnreadable();

  // 6, 7. The music folder's files, the first one chosen.
  FillMusicList(app.music_list, MusicFolderPath(), app.music_names);
  // From then on they follow the folder.
  StartMusicWatch(app.process.shown_timetable);
  // A campus's shared folder, when one is followed: its looks run on a thread of their own.
  StartFollowingStep();

  // 8. Audio, 9. the clock (last, so it never sees a control that is not filled).
  const bool sound = ProvisionAudioStep();
  StartClockStep();
  // 10. Only now, with the clock and the bells running, is a failed audio start told.
  if (!sound) TellNoSoundStep();
  // Start-up ran deep on this thread's stack; the window's loop from now on runs shallow.
  PostUiTask(app.main_window.Handle(), [] {
    TrimThreadStack();
    EndOneThread(1000);
  });
}

void StartFollowingStep() {
  AppObjects& app = App();
  // One window at a time: the menu's command still reaches the main window while one is open.
  SetFollowWindowOpener([open = false](HWND owner) mutable {
    if (open || !HaveAppObjects()) return;
    open = true;
    OpenFollowWindowOver(owner, App().campus, App().program_dir, App().record_opening,
                         &MayStartFollowing);
    open = false;
  });
  app.campus.Start(
      app.main_window.Handle(), app.program_dir,
      [](const std::vector<std::string>& names) {
        // As a saved plan: today is worked out again, the window shows the files as they are.
        bool plan = false;
        for (const std::string& name : names) plan = plan || name == kPlanFileName;
        TimetablesChanged(plan);
        ShownFilesReplaced(names);
      },
      [](const FollowStatus& status) {
        if (HaveAppObjects()) ShowFollowing(status, App().campus.Following());
      },
      &app.process.bell_record);
  ShowFollowing(app.campus.Status(), app.campus.Following());
}

bool ProvisionAudioStep() {
  // Not told here: the box would hold start-up, and with it every bell, until it is answered.
  return ProvisionAudioLibrary(App().program_dir, ProcessMusicPlayer(), nullptr);
}

void TellNoSoundStep() {
  const HWND main = App().main_window.Handle();
  // Posted, so the box waits for its answer outside start-up; its loop runs the tasks posted to
  // the main window meanwhile (the clock's, the bells'), as the window's own loop would.
  PostUiTask(main, [main] {
    // The dialog shows itself once its queue is first idle, which it is not until the box is
    // answered: an unattended PC would show a box over nothing.
    if (!IsWindowVisible(main)) ShowWindow(main, SW_SHOWNORMAL);
    ShowNoSoundBox();
  });
}

void StartClockStep() {
  AppObjects& app = App();
  const HWND main = app.main_window.Handle();
  // The clock thread and the watcher post their tasks to the main window; its hook runs them.
  app.playback.SetNotifyWindow(main);
  SetMessageHook(main, &MainWindowHook);
  // Files are opened on the bell worker, ahead of their second where it can; the first bell
  // too, once what a start needs is bound (quietly: a library that lacks it still fails
  // at the first start, as it always did).
  ProcessMusicPlayer().BindStartFunctionsIfPresent();
  ProcessObjects& process = app.process;
  BellWorker& worker = process.bell_worker;
  if (worker.Start(MusicFolderPath())) {
    app.playback.SetStarter([&worker](const TextValue& path, StartDone&& done) {
      return worker.StartBell(path, std::move(done));
    });
    app.playback.SetStopper([&worker] { return worker.StopBell(); });
    process.playback_watcher.SetOpeningCheck([&worker] { return worker.StartWaiting(); });
  }
  process.clock_thread.Start(
      main,
      {&StartDueBellOfApp, &ShowClockText, [&worker](int second) { worker.LookAhead(second); },
       [&process](const PassedOverSpan& span) {
         process.bell_record.PassedOver(span, process.published_timetable.Current());
       },
       [&process, main](int day) { TellDayBegins(process.published_timetable, main, day); }});
}

}  // namespace belvane
