// Resource, text and control ids shared by setup.rc, the code and the tests.
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

// The property sheet's own buttons.
#define IDC_SHEET_CANCEL 2
#define IDC_SHEET_BACK 12323
#define IDC_SHEET_NEXT 12324
#define IDC_SHEET_FINISH 12325

// Texts of the string table, by id. An id not named here holds no text yet; texts still to come
// take their own ids (56 and on, or a gap below 55) and are named here beside the others.
#define IDS_GROUP_NAME 1                   // "Tarnwick Pro 5.0": the program group
#define IDS_ITEM_BAR_BUILDER 4             // program-group item names: 4, 5, 6, 11, 22, 26, 31, 33-35, 50
#define IDS_ITEM_UNINSTALL 5
#define IDS_ITEM_READ_ME 6
#define IDS_COPY_CANCELED 7                // status line of an ended or abandoned run
#define IDS_COPYING_FILE 8                 // status line per file: "Copying: %s" (file name)
#define IDS_COPY_ERROR 9                   // copy error message: file name, then folder
#define IDS_COPY_ERROR_CAPTION 10
#define IDS_ITEM_DISK_GAUGE 11
#define IDS_UPDATING_REGISTRY 12           // status line after the last file
#define IDS_INVALID_FOLDER 13              // "'%s' is not a valid folder name" (the folder)
#define IDS_INVALID_FOLDER_CAPTION 14
#define IDS_SETUP_TITLE 19                 // the wizard's caption and the main window's class name
#define IDS_UNSUPPORTED_SYSTEM 20
#define IDS_UNSUPPORTED_SYSTEM_CAPTION 21
#define IDS_ITEM_HELP 22
#define IDS_ITEM_LOCATOR 26
#define IDS_BROWSE_TITLE 29                // the folder browser's title
#define IDS_SHORTCUT_NAME 30               // the desktop and Start-menu shortcut: "My Tarnwick"
#define IDS_ITEM_TOOLBAR 31
#define IDS_ITEM_DIALOG_AIDE 33
#define IDS_ITEM_FOLDER_MIRROR 34
#define IDS_ITEM_PATCHWELL 35
#define IDS_UPGRADE_QUESTION 36            // the offer to upgrade version 2.0
#define IDS_UPGRADE_QUESTION_CAPTION 37
#define IDS_HOME_PAGE_ADDRESS 43           // the vendor's home page
#define IDS_RESTART_QUESTION 44
#define IDS_RESTART_QUESTION_CAPTION 45
#define IDS_REGISTRATION_ADDRESS 47        // the product's registration page
#define IDS_WELCOME_TEXT 48                // the welcome page's text
#define IDS_UNINSTALL_DISPLAY_NAME 49      // "Tarnwick 5.0" in the list of installed programs
#define IDS_ITEM_TRACK_LISTER 50
#define IDS_VERSION4_GROUP_NAME 51         // "Tarnwick 4.0": version 4.0's program group
#define IDS_VERSION5_GROUP_NAME 55         // "Tarnwick 5.0": an earlier 5.0 program group
#define IDS_SETUP_DAMAGED 56               // start-up found the embedded catalogue damaged
