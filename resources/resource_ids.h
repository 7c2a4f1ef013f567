// Resource and control ids shared by setup.rc and the code.
#pragma once

#define IDI_SETUP 100
#define IDB_BANNER 111

#define IDD_WELCOME 101
#define IDD_EXIT_CONFIRM 107
#define IDD_DESTINATION 112
#define IDD_COPY 114
#define IDD_FINISH 115
#define IDD_OPTIONS 120
#define IDD_LICENCE 130

// Controls.
#define IDC_TITLE 104
#define IDC_EXIT 108
#define IDC_CONTINUE 109
#define IDC_COPY_CANCEL 110
#define IDC_FOLDER_EDIT 113
#define IDC_COPY_STATUS 116
#define IDC_COPY_PROGRESS 117
#define IDC_ASSOCIATE_ZIP 122
#define IDC_ASSOCIATE_OTHERS 124
#define IDC_LICENCE_TEXT 131
#define IDC_BROWSE 1065
#define IDC_WELCOME_TEXT 1066
#define IDC_REGISTER 1069
#define IDC_WELCOME_INTRO 1070
#define IDC_FINISH_THANKS 1071

// String-table texts.
#define IDS_SETUP_DAMAGED 56

// The property sheet's own buttons.
#define IDC_SHEET_CANCEL 2
#define IDC_SHEET_BACK 12323
#define IDC_SHEET_NEXT 12324
#define IDC_SHEET_FINISH 12325
