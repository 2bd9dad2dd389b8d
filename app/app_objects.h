#pragma once
// The application's objects: the main window and its controls, the timetable model and its list
// view, the program's folder, the music list and the icon, over the process's objects
// (app/process_objects.h). They are built by the process frame's construction step, before
// StartProgram runs, and destroyed by its exit hook.
//
// Thread policy: everything here belongs to the user-interface thread.

#include <functional>
#include <memory>

#include "app/campus/campus.h"
#include "app/keep_awake.h"
#include "app/main_window.h"
#include "app/music/music_watch.h"
#include "app/bell/playback.h"
#include "app/process_objects.h"
#include "app/timetable_choice_state.h"
#include "app/timetable/timetable.h"
#include "app/timetable/timetable_view.h"
#include "app/calendar/today.h"
#include "runtime/text_array.h"
#include "runtime/text_value.h"
#include "runtime/worker_pool.h"
#include "ui/form_window.h"
#include "ui/gdi_object.h"

namespace belvane {

// Everything the application keeps for the life of the process.
// The controls come from MainWindowControls (app.clock_label, app.timetable_list, ...).
struct AppObjects : MainWindowControls {
  // The process's objects, which outlive these.
  ProcessObjects& process = TheProcessObjects();
  FormWindow main_window;

  // The timetable shown: the model and its view, which changes the model and has the list view
  // follow. What the clock rings is today's timetable, published by `today`: the model's own
  // rows when it is today's.
  Timetable timetable{&process.shown_timetable};
  TimetableView timetable_view{timetable, timetable_list};
  TodaysTimetable today{process.published_timetable, timetable, &process.bell_record,
                        &process.wake_timer};
  // StartPlayback and the play button, over the process's player and watcher.
  PlaybackControl playback{ProcessMusicPlayer(), play_button, process.playback_watcher};
  TextValue program_dir;  // the program's folder, no trailing backslash
  TextArray music_names;  // the music folder's files, in list box order
  OwnedIcon icon;         // icon resource BELVANE_ICON_APP, the main window's small icon
  // The threads that open the bell record in the text editor (the system menu's item), test a
  // shared folder (the follow window's) and look for Media Foundation at start-up.
  WorkerPool record_opening;
  // The music folder followed while the program runs (the list and the marks).
  MusicWatch music_watch;
  // The shared folder a campus's PCs follow, when "Belvane同步.ini" names one.
  CampusFollower campus;
  // The strip beside the clock: the timetable drop-down, the today line and "日历…".
  TimetableChoiceState choice_state;
  // What the system menu's "跟随共享文件夹…" runs, with the main window as owner; empty until set.
  std::function<void(HWND owner)> follow_opener;
  // What "全校状态…" runs, likewise.
  std::function<void(HWND owner)> campus_opener;
  std::function<void(HWND owner)> sound_opener;  // "声音…"; nothing until set
  // The request that keeps the system awake while the program runs.
  KeepAwake keep_awake;
};

// The objects; only valid between ConstructAppObjects and DestroyAppObjects.
AppObjects& App();
// Whether the objects exist.
bool HaveAppObjects();

// The process frame's construction step: builds every process-wide object of the application.
void ConstructAppObjects();
// Destroys them (the window objects detach from live windows); user-interface thread only.
void DestroyAppObjects();
// The process frame's exit hook, in this order: the clock thread and the playback watcher are
// stopped, then the record's opening threads (bounded waits), the player lets go
// (MusicPlayer::Destroy), then, on the user-interface thread, the window objects go and the window
// layer stops. An exit that began on another thread skips the window part: the process ends at once
// after the hooks.
void ShutDownApplication();

// The timetable file: ProgramDir + "\Belvane配置.ini".
TextValue ConfigFilePath();
// The music folder: ProgramDir + "\mp3".
TextValue MusicFolderPath();

// The clock's day hook, on the clock thread: the rows published ahead for `clock_day` become the
// clock's at once, and the rest is posted to `window`'s thread (App().today.DayBegan). Touches
// only `published` and the window's queue, which outlive the clock thread.
void TellDayBegins(SharedTimetable& published, HWND window, int clock_day);

// A timetable file or the plan changed on disk (saved, created, renamed, deleted): today and
// tomorrow are worked out again, and the plan's unreadable lines recorded again when `plan`.
void TimetablesChanged(bool plan = false);
// The main window now shows another timetable (the model's name has been set and its rows
// loaded): the clock's copy follows the model when that is today's.
void ShownTimetableChanged();
// Which timetable rings today, as last worked out.
const DayChoice& TodaysChoice();
}  // namespace belvane
