#pragma once
// The controls of the main window (dialog template BELVANE_DIALOG_MAIN) as the program attaches
// them; SetUpMainWindow (startup.h) attaches and styles them. The UI tests and the preview use
// the same struct and set-up, so they check what the program shows.
//
// Thread policy: user-interface thread only.

#include "resources/resource.h"
#include "ui/controls/button_control.h"
#include "ui/controls/drop_list_control.h"
#include "ui/controls/edit_control.h"
#include "ui/controls/frame_control.h"
#include "ui/controls/label_control.h"
#include "ui/controls/list_box_control.h"
#include "ui/controls/list_view_control.h"
#include "ui/dpi.h"

namespace belvane {

struct MainWindowControls {
  LabelControl time_caption;    // BELVANE_ID_CLOCK_CAPTION
  LabelControl clock_label;     // BELVANE_ID_CLOCK
  ButtonControl add_button;     // BELVANE_ID_ADD
  ButtonControl delete_button;  // BELVANE_ID_DELETE_ROW
  ButtonControl play_button;    // BELVANE_ID_PLAY
  ButtonControl save_button;    // BELVANE_ID_SAVE
  FrameControl placeholder;     // BELVANE_ID_PLACEHOLDER, hidden; the list view takes its place
  // The timetable, created at set-up with kTimetableListStyle.
  ListViewControl timetable_list;
  DropListControl hour_list;    // BELVANE_ID_HOUR
  DropListControl minute_list;  // BELVANE_ID_MINUTE
  DropListControl second_list;  // BELVANE_ID_SECOND
  EditControl note;             // BELVANE_ID_NOTE
  ListBoxControl music_list;    // BELVANE_ID_MUSIC_LIST
  // Beside the clock (app/timetable_choice.h).
  DropListControl timetable_choice;  // BELVANE_ID_TIMETABLE_CHOICE: the timetable shown
  LabelControl today_line;           // BELVANE_ID_TODAY_LINE: what rings today
  ButtonControl plan_button;         // BELVANE_ID_PLAN_BUTTON: "日历…"
  // Below the list, beside "删除该行": who manages the timetables, while following a folder.
  LabelControl follow_line;  // BELVANE_ID_FOLLOW_LINE
  DialogScaler layout;       // the controls' places, for a change of DPI
};

}  // namespace belvane
