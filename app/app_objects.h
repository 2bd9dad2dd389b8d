#pragma once
// The application's process-wide objects: the main window and its controls, the timetable rows
// over the list view, the program's folder, the music list, the icon and the clock flag. They
// are built by the process frame's construction step, before StartProgram runs, and destroyed
// by its exit hook.
//
// Thread policy: everything here belongs to the user-interface thread, except ClockRunning,
// which the clock thread reads (an atomic).

#include <atomic>
#include <memory>

#include "app/clock.h"
#include "app/playback.h"
#include "app/timetable_rows.h"
#include "runtime/text_array.h"
#include "runtime/text_value.h"
#include "ui/controls/button_control.h"
#include "ui/controls/drop_list_control.h"
#include "ui/controls/edit_control.h"
#include "ui/controls/frame_control.h"
#include "ui/controls/label_control.h"
#include "ui/controls/list_box_control.h"
#include "ui/controls/list_view_control.h"
#include "ui/form_window.h"
#include "ui/gdi_object.h"

namespace belvane {

// Dialog template and item ids of the main window.
inline constexpr int kMainDialogId = 1000;
inline constexpr int kIconId = 100;
inline constexpr int kPlaceholderId = 1001;
inline constexpr int kAddButtonId = 1003;
inline constexpr int kTimeCaptionId = 1004;
inline constexpr int kHourListId = 1005;
inline constexpr int kMinuteListId = 1008;
inline constexpr int kMusicListId = 1009;
inline constexpr int kSecondListId = 1010;
inline constexpr int kDeleteButtonId = 1012;
inline constexpr int kPlayButtonId = 1013;
inline constexpr int kSaveButtonId = 1014;
inline constexpr int kClockLabelId = 1015;
inline constexpr int kNoteId = 1017;

// Everything the application keeps for the life of the process.
struct AppObjects {
  FormWindow main_window;
  LabelControl time_caption;    // 1004
  LabelControl clock_label;     // 1015
  ButtonControl add_button;     // 1003
  ButtonControl delete_button;  // 1012
  ButtonControl play_button;    // 1013
  ButtonControl save_button;    // 1014
  FrameControl placeholder;     // 1001, hidden; the list view takes its place
  ListViewControl timetable_view;
  DropListControl hour_list;    // 1005
  DropListControl minute_list;  // 1008
  DropListControl second_list;  // 1010
  EditControl note;             // 1017
  ListBoxControl music_list;    // 1009

  TimetableRows rows{timetable_view};
  // Keeps the clock's start-time index in step with the rows (entered by ConstructAppObjects).
  StartTimeKeeper start_time_keeper{ProcessStartTimes()};
  // StartPlayback and the play button, over the process's player and watcher.
  PlaybackControl playback{ProcessMusicPlayer(), play_button, ProcessPlaybackWatcher()};
  TextValue program_dir;  // the program's folder, no trailing backslash
  TextArray music_names;  // the music folder's files, in list box order
  OwnedIcon icon;         // icon resource 100, the main window's small icon
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
// stopped (bounded waits), the player lets go (MusicPlayer::Destroy), then, on the
// user-interface thread, the window objects go and the window layer stops. An exit that began
// on another thread skips the window part: the process ends at once after the hooks.
void ShutDownApplication();

// True while the clock thread may run; cleared when the user confirms closing.
extern std::atomic<bool> ClockRunning;

// The timetable file: ProgramDir + "\Belvane配置.ini".
TextValue ConfigFilePath();
// The music folder: ProgramDir + "\mp3".
TextValue MusicFolderPath();

}  // namespace belvane
