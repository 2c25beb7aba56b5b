// The window class, caption and control ids of LumoraSettings.exe: one
// place for the program and the test that drives it.
#pragma once

#define LUMORA_SETTINGS_WINDOW_CLASS L"LumoraSettingsWindow"
#define LUMORA_SETTINGS_CAPTION L"Lumora Settings"
// Titles of the file dialogs.
#define LUMORA_SETTINGS_SAVE_TITLE L"Save profile"
#define LUMORA_SETTINGS_OPEN_TITLE L"Open profile"

// Children of the main window.
#define IDC_CAMERA_LABEL 100
#define IDC_CAMERA 101
#define IDC_DRIVER 102
#define IDC_PANEL 103
#define IDC_RESET_ALL 104
#define IDC_SAVE 105
#define IDC_OPEN 106
#define IDC_KEEP 107
#define IDC_STATUS 108
#define IDC_OUTCOME 109

// Children of the panel: a caption per group, and per row its parts at
// IDC_ROW(row, part); rows count from 0 in the order shown.
#define IDC_GROUP_CAPTION 200
#define IDC_ROW_BASE 1000
#define IDC_ROW_PARTS 8
#define IDC_ROW(row, part) (IDC_ROW_BASE + (row) * IDC_ROW_PARTS + (part))
#define ROW_NAME 0
#define ROW_SLIDER 1
#define ROW_NUMBER 2
#define ROW_AUTO 3
#define ROW_RESET 4
#define ROW_SWITCH 5
#define ROW_MENU 6
