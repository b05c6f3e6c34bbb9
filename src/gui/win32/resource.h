// The numbers that tie the resource script to the dialog procedures: templates, controls, the
// program icon and the two pictures. Read by windres as well as by the C++ compiler, so it holds
// nothing but #define lines.
#pragma once

// The title of every dialog but the run dialog (and of the program's message boxes).
#define DELTRIX_DIALOG_TITLE "DELTRIX LIBRARY CREATOR"

// Dialog templates.
#define IDD_SETTINGS 102     // CSettingDlg, the main window
#define IDD_RUN 130          // CRunDlg
#define IDD_CANCEL 131       // CCancelDlg, the stop question
#define IDD_FINISH 132       // CFinshDialog
#define IDD_START_CHECK 163  // CStartCheckDlg
#define IDD_ERROR 168        // CErrorDlg
#define IDD_CANNOT_OPEN 169  // CCannotOpen
#define IDD_REMOVE 133       // CRemoveDlg, an update that would remove most of the library
#define IDD_DETAILS 134      // CDetailsDlg, what a run left out

// The program icon and the 32 x 32 pictures, red (255, 0, 0) where they are transparent.
#define IDI_PROGRAM 161
#define IDB_QUESTION 165
#define IDB_ERROR 166

// Settings dialog.
#define IDC_START 1000
#define IDC_CLOSE 1001
#define IDC_DRIVES 1011
#define IDC_UPDATE 1012
#define IDC_CREATE 1013
#define IDC_LANGUAGES 1014
#define IDC_REREAD 1015  // "Read changed files again", for Update
#define IDC_SETTINGS_HEADING 1024
#define IDC_MODE_HEADING 1025

// Run dialog.
#define IDC_TOTAL 1003
#define IDC_STOP 1004
#define IDC_BAR 1005
#define IDC_PATH_FRAME 1006
#define IDC_ELAPSED 1007
#define IDC_DONE 1008
#define IDC_REMAINING 1009
#define IDC_RUN_HEADING 1027
#define IDC_STATUS_CAPTION 1029
#define IDC_TIME_CAPTION 1030
#define IDC_PATH_CAPTION 1031
#define IDC_COUNT_LABEL 1032
#define IDC_PATH 1039

// The small dialogs.
#define IDC_MESSAGE 1036      // error, skip question and stop question
#define IDC_CODE_LINE 1037    // error and skip question
#define IDC_ABORT 1040        // skip question
#define IDC_SKIP_ALL 1041     // skip question
#define IDC_FINISH_TEXT 1028  // finish message
#define IDC_CHECK_MESSAGE 1034
#define IDC_CHECK_VALUES 1035
#define IDC_DETAILS 1041  // the finish message's Details button, shown when something was left out
#define IDC_DETAILS_TEXT 1042  // what a run left out

// The run dialog's progress tick.
#define IDT_PROGRESS 1124
