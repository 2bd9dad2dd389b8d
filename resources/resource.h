#pragma once
// Resource ids of the main window and its dialogs; shared by belvane.rc and the program.

#define BELVANE_ICON_APP 100
#define BELVANE_DIALOG_MAIN 1000

#define BELVANE_ID_PLACEHOLDER 1001
#define BELVANE_ID_TIME_CAPTION 1002
#define BELVANE_ID_ADD 1003
#define BELVANE_ID_CLOCK_CAPTION 1004
#define BELVANE_ID_HOUR 1005
#define BELVANE_ID_SEPARATOR_1 1006
#define BELVANE_ID_SEPARATOR_2 1007
#define BELVANE_ID_MINUTE 1008
#define BELVANE_ID_MUSIC_LIST 1009
#define BELVANE_ID_SECOND 1010
#define BELVANE_ID_HINT 1011
#define BELVANE_ID_DELETE_ROW 1012
#define BELVANE_ID_PLAY 1013
#define BELVANE_ID_SAVE 1014
#define BELVANE_ID_CLOCK 1015
#define BELVANE_ID_MUSIC_CAPTION 1016
#define BELVANE_ID_NOTE 1017
// The timetable choice in the strip beside the clock.
#define BELVANE_ID_TIMETABLE_CHOICE 1018
#define BELVANE_ID_TODAY_LINE 1019
#define BELVANE_ID_PLAN_BUTTON 1020
#define BELVANE_ID_FOLLOW_LINE 1025  // who manages the timetables, while following

// The dialog that asks a timetable's name (new, renamed).
#define BELVANE_DIALOG_TIMETABLE_NAME 1200
#define BELVANE_ID_NAME_CAPTION 1021
#define BELVANE_ID_NAME_EDIT 1022
#define BELVANE_ID_NAME_EMPTY 1023
#define BELVANE_ID_NAME_COPY 1024

// The main window's own items in its system menu. System commands keep the low four bits
// clear and stay below SC_SIZE (0xF000).
#define BELVANE_SYSMENU_AUTOSTART 0x0110
#define BELVANE_SYSMENU_OPEN_RECORD 0x0120
#define BELVANE_SYSMENU_ABOUT 0x0130
#define BELVANE_SYSMENU_FOLLOW 0x0140
#define BELVANE_SYSMENU_SOUND 0x0150

// The "声音…" window (app/bell/sound_dialog.h): the output, the bell level and a trial.
#define BELVANE_DIALOG_SOUND 1500
#define BELVANE_ID_SOUND_OUTPUT 1501
#define BELVANE_ID_SOUND_LEVEL 1502
#define BELVANE_ID_SOUND_UNMUTE 1503
#define BELVANE_ID_SOUND_STATE 1504
#define BELVANE_ID_SOUND_TRY 1505

// The plan window (app/calendar/plan_window.h) and its two small dialogs: the dated line's and the
// seasonal weekly plan's.
#define BELVANE_DIALOG_PLAN 1100
#define BELVANE_DIALOG_PLAN_DATED 1101
#define BELVANE_DIALOG_PLAN_SEASON 1102

#define BELVANE_ID_PLAN_WEEKDAY 1110  // 1110 to 1116: 周一 to 周日
#define BELVANE_ID_PLAN_SEASONS 1120
#define BELVANE_ID_PLAN_SEASON_ADD 1121
#define BELVANE_ID_PLAN_SEASON_CHANGE 1122
#define BELVANE_ID_PLAN_SEASON_DELETE 1123
#define BELVANE_ID_PLAN_DATED 1125
#define BELVANE_ID_PLAN_DATED_ADD 1126
#define BELVANE_ID_PLAN_DATED_CHANGE 1127
#define BELVANE_ID_PLAN_DATED_DELETE 1128
#define BELVANE_ID_PLAN_UNREAD 1130
#define BELVANE_ID_PLAN_PREVIEW_DATE 1135
#define BELVANE_ID_PLAN_PREVIEW_HEADING 1136
#define BELVANE_ID_PLAN_PREVIEW_ROWS 1137
#define BELVANE_ID_PLAN_SAVE 1140
#define BELVANE_ID_PLAN_CANCEL 1141

#define BELVANE_ID_DATED_KIND 1150
#define BELVANE_ID_DATED_FROM 1151
#define BELVANE_ID_DATED_TO 1152
#define BELVANE_ID_DATED_VALUE 1153
#define BELVANE_ID_DATED_REASON 1154
#define BELVANE_ID_DATED_OK 1155
#define BELVANE_ID_DATED_CANCEL 1156

#define BELVANE_ID_SEASON_FROM 1160
#define BELVANE_ID_SEASON_TO 1161
#define BELVANE_ID_SEASON_WEEKDAY 1162  // 1162 to 1168: 周一 to 周日
#define BELVANE_ID_SEASON_OK 1170
#define BELVANE_ID_SEASON_CANCEL 1171

// The follow window (app/campus/follow_window.h): the campus folder followed, its test and status.
#define BELVANE_DIALOG_FOLLOW 1300
#define BELVANE_ID_FOLLOW_SOURCE 1301
#define BELVANE_ID_FOLLOW_BROWSE 1302
#define BELVANE_ID_FOLLOW_TEST 1303
#define BELVANE_ID_FOLLOW_TEST_RESULT 1304
#define BELVANE_ID_FOLLOW_STATUS 1305
#define BELVANE_ID_FOLLOW_LOOK_NOW 1306
#define BELVANE_ID_FOLLOW_STOP 1307
#define BELVANE_ID_FOLLOW_NAME 1308  // the name of this PC's report at the source

// The preview of a CSV import (app/timetable/csv_import_dialog.h): what will be imported and
// every line that cannot be.
#define BELVANE_DIALOG_CSV_IMPORT 1400
#define BELVANE_ID_CSV_HEADING 1401
#define BELVANE_ID_CSV_LINES 1402
