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
