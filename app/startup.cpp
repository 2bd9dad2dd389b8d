#include "app/startup.h"

#include <cstdio>
#include <memory>

#include "app/app_objects.h"
#include "app/bell/bell_start.h"
#include "app/bell/clock_thread.h"
#include "app/bell/sound_dialog.h"
#include "app/closing.h"
#include "app/timetable/default_config.h"
#include "app/editing.h"
#include "app/exam_hall_clock.h"
#include "app/manual_play.h"
#include "app/media_check.h"
#include "app/music/music_folder.h"
#include "app/music/music_watch.h"
#include "app/calendar/plan_window.h"
#include "app/process_objects.h"
#include "app/campus/follow_view.h"
#include "app/campus/campus_window.h"
#include "app/campus/follow_window.h"
#include "app/timetable_choice.h"
#include "app/timetable/timetable_library.h"
#include "app/bell/record_events.h"
#include "app/single_instance.h"
#include "app/system_menu.h"
#include "app/timetable_choice.h"
#include "app/timetable_handlers.h"
#include "app/calendar/today.h"
#include "app/waking.h"
#include "audio/audio_library.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "resources/version.h"
#include "runtime/threads.h"
#include "ui/dpi.h"
#include "ui/ui_task.h"
#include "ui/window_layer.h"

namespace belvane {

namespace {

std::vector<std::string> MusicNamesOf(const TextArray& names) {
  std::vector<std::string> out;
  for (int i = 0; i < names.Count(); ++i) out.push_back(names[i].Bytes());
  return out;
}

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
       ConcatTexts(program_dir, "\\", kSyncFileName), std::move(may_follow),
       [&follower] { return follower.ReportName(); },
       [&follower](const std::string& name) { return follower.SetReportName(name); }},
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
  if (HandlePowerMessage(window, message, wparam)) return 1;
  if (RunUiTask(message, wparam, lparam)) return 1;
  return HandleSystemMenuMessage(window, message, wparam, lparam) ? 1 : 0;
}

// The clock's findings, on the user-interface thread.
void ShowClockText(const std::string& clock_text) {
  if (!HaveAppObjects()) return;
  // The time the bells ring by, and whose it is.
  const bool server = App().process.clock_correction.OnServer();
  App().clock_label.Caption(TextValue(server ? clock_text + "（按服务器时间）" : clock_text));
}

// A bell's result for the report at the followed folder.
LastBell LastBellOf(const Bell& bell) {
  const RecordTime now = LocalRecordTime();
  const BellResult result = ClassifyPlay(bell.outcome.facts);
  std::optional<RecordTime> sounded;
  if (result == BellResult::kPlayed && bell.outcome.sounded_at)
    sounded = LocalRecordTimeOf(*bell.outcome.sounded_at);
  return {bell.start_time,        bell.music_name.Bytes(),
          BellResultText(result), LatenessText(LatenessMs(bell.second, sounded.value_or(now))),
          bell.outcome.output,    bell.outcome.volume};
}

// The rows the clock went past, for the report: how many, and the last of them as the last bell.
void ReportPassedOver(const PassedOverSpan& span,
                      const std::shared_ptr<const TimetableSnapshot>& rows) {
  if (!HaveAppObjects()) return;
  const std::vector<int> missed = PassedOverRows(span, *rows);
  if (missed.empty()) return;
  const TimetableEntry& entry = rows->Row(missed.back());
  App().campus.BellHeard(
      {entry.start_time.Bytes(), entry.music_name.Bytes(), BellResultText(BellResult::kMissed),
       LatenessText(LatenessMs(RingingSecond(entry.start_time.View()), LocalRecordTime()))},
      static_cast<int>(missed.size()));
}

// "10:40:00 下课.mp3": the next of today's rows by the clock's time; on the follower's thread,
// so only the published rows and the correction are read.
std::string NextBellText(const ProcessObjects& process) {
  const std::shared_ptr<const TimetableSnapshot> rows = process.published_timetable.Current();
  if (!rows) return {};
  SYSTEMTIME local{};
  GetLocalTime(&local);
  const int now = (local.wHour * 3600 + local.wMinute * 60 + local.wSecond +
                   process.clock_correction.TargetMs() / 1000 + kSecondsPerDay) %
                  kSecondsPerDay;
  int next = -1;
  for (int row = 0; row < rows->RowCount(); ++row) {
    const int second = RingingSecond(rows->Row(row).start_time.View());
    if (second > now && (next < 0 || second < RingingSecond(rows->Row(next).start_time.View())))
      next = row;
  }
  if (next < 0) return {};
  return rows->Row(next).start_time.Bytes() + " " + rows->Row(next).music_name.Bytes();
}

void StartDueBellOfApp(Bell bell) {
  // Once closing has been confirmed no row starts, whatever was still queued.
  if (!HaveAppObjects() || !App().process.clock_thread.Ringing()) return;
  AppObjects& app = App();
  // The clock rang today's rows: the model's while it shows today's timetable (its row is made
  // current, as ever), else those of today's file.
  const std::shared_ptr<const TimetableSnapshot> rows = app.process.published_timetable.Current();
  BellRecord& record = app.process.bell_record;
  const BellStarted started = [&record, &campus = app.campus](const Bell& started) {
    record.ScheduledBell(started);
    campus.BellHeard(LastBellOf(started));
  };
  if (rows == app.timetable.Snapshot()) {
    StartDueBell(std::move(bell), app.timetable, app.timetable_list, MusicFolderPath(),
                 app.playback, started);
  } else {
    StartDueBellOf(std::move(bell), *rows, MusicFolderPath(), app.playback, started);
  }
  // The next bell is the one to wake for now; worked out after the bell's first moments.
  app.today.RearmWake(kQuietAfterStartMs);
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
  app.today.SetWakeShown(&ShowWakeText);
  const DayWork& day = app.today.Start(app.main_window.Handle(), app.program_dir, MusicFolderPath(),
                                       TodaysClockDay(), shown_read);
  StartTimetableChoice();
  SetPlanWindowOpener([](HWND owner) {
    if (HaveAppObjects() &&
        OpenPlanWindow(owner, App().program_dir, MusicFolderPath(), TimetablesReadOnly(),
                       {MusicNamesOf(App().music_names), &OpenExamHallClock}))
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
  // Without Media Foundation only WAV plays: the record and the line below the list say so.
  StartMediaCheck(app.record_opening, app.main_window.Handle(), &LoadsAsLibrary, [] {
    if (!HaveAppObjects()) return;
    App().process.bell_record.MediaMissing();
    ShowNotice(kMediaMissingNotice);
  });
  StartClockStep();
  // 10. Only now, with the clock and the bells running, is a failed audio start told.
  if (!sound) TellNoSoundStep();
  // Start-up ran deep on this thread's stack; the window's loop from now on runs shallow.
  PostUiTask(app.main_window.Handle(), [] {
    TrimThreadStack();
    EndOneThread(1000);
  });
}

// What "声音…" does: the file and the volume are read, and the file written, on the pool.
static SoundDialogActions SoundActions(const TextValue& program_dir, BellWorker& worker) {
  SoundDialogActions actions;
  actions.gather = [program_dir] {
    SoundFacts facts;
    facts.settings = ReadSoundSettings(program_dir);
    facts.outputs = DefaultFirst(ProcessMusicPlayer().Outputs());
    // The endpoint volume read is the default output's.
    const OutputChoice output = ChooseOutput(facts.outputs, "");
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      VolumeState state;
      std::string why;
      const std::unique_ptr<SystemVolume> volume = MakePlatformVolume();
      const bool read = volume && volume->Read(&state, &why);
      facts.state_text = SoundStateText(output.name, read ? &state : nullptr);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return facts;
  };
  actions.save = [program_dir, &worker](const SoundSettings& settings) {
    if (!WriteSoundSettings(program_dir, settings)) return false;
    worker.ReloadSoundSettings();
    return true;
  };
  actions.try_bell = [&worker](const SoundSettings& settings) { return worker.TryBell(settings); };
  return actions;
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
  app.campus_opener = [open = false](HWND owner) mutable {
    if (open || !HaveAppObjects()) return;
    open = true;
    CampusFollower& follower = App().campus;
    OpenCampusWindow(
        owner,
        {[&follower] { return follower.CampusFolder(); },
         [&follower](const std::string& folder) { return follower.SetCampusFolder(folder); },
         [&follower] { return follower.LookIntervalSeconds(); }},
        App().record_opening);
    open = false;
  };
  ProcessObjects& process = app.process;
  app.campus.SetReportSources(
      BELVANE_VERSION_TEXT, [&process] { return NextBellText(process); },
      &process.clock_correction);
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
  // The bell level: its settings are read on the worker, which sets the volume for a bell.
  worker.SetBellLevel(app.program_dir,
                      [&process](const VolumeNote& note) { process.bell_record.Volume(note); });
  worker.SetOutputNotes([&process](const OutputNote& note) { process.bell_record.Output(note); });
  SetSoundWindowOpener([open = false, &worker](HWND owner) mutable {
    if (open || !HaveAppObjects()) return;
    open = true;
    OpenSoundDialog(owner, SoundActions(App().program_dir, worker), App().record_opening);
    open = false;
  });
  if (worker.Start(MusicFolderPath())) {
    app.playback.SetStarter([&worker](const TextValue& path, StartDone&& done, bool scheduled) {
      return worker.StartBell(path, std::move(done), scheduled);
    });
    app.playback.SetStopper([&worker] { return worker.StopBell(); });
    process.playback_watcher.SetOpeningCheck([&worker] { return worker.StartWaiting(); });
  }
  // The tick count of the clock's last cycle, on the clock thread only: a jump of the clock
  // that the tick count also made is a resume.
  auto last_tick = std::make_shared<std::uint64_t>(GetTickCount64());
  process.clock_thread.Start(
      main, {&StartDueBellOfApp, &ShowClockText,
             [&worker, last_tick](int second) {
               *last_tick = GetTickCount64();
               worker.LookAhead(second);
             },
             [&process, main, last_tick](const PassedOverSpan& span) {
               // Said before the bells the sleep passed over.
               if (JumpIsResume(span.count + span.earlier_count, GetTickCount64() - *last_tick))
                 Resumed(process, main);
               std::shared_ptr<const TimetableSnapshot> rows =
                   process.published_timetable.Current();
               process.bell_record.PassedOver(span, rows);
               // Counted on the user-interface thread: a span may be a whole day.
               PostUiTask(main, [span, rows = std::move(rows)] { ReportPassedOver(span, rows); });
             },
             [&process, main](int day) { TellDayBegins(process.published_timetable, main, day); }});
}

}  // namespace belvane
