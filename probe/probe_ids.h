// Control identifiers of the LumoraProbe window "Form1". They are fixed so
// that a driver program can find each control with GetDlgItem. The indexed
// groups (Label3, Label4, Text1, Command3 rows 0..2; Label5 0..1) use
// consecutive identifiers: base + index.
#pragma once

#include "lumora_version.h"

#define LUMORA_PROBE_CAPTION L"Form1"
#define LUMORA_PROBE_WINDOW_CLASS L"LumoraProbeForm1"
// Title of the message box that reports a failed library call.
#define LUMORA_PROBE_ERROR_TITLE L"LumoraProbe"
// The window menu's "About Lumora Probe..." entry (a multiple of 16 below
// 0xF000, as system commands must be) and the text it shows.
#define IDM_PROBE_ABOUT 0x0010
#define LUMORA_PROBE_ABOUT_TEXT L"Lumora Probe " LUMORA_WIDEN(LUMORA_VERSION_TEXT)
#define LUMORA_WIDEN_(text) L##text
#define LUMORA_WIDEN(text) LUMORA_WIDEN_(text)

#define IDC_COMMAND1 1001    // "Get the known cams"
#define IDC_LIST1 1002       // the camera list
#define IDC_LABEL1 1003      // "Selected Cam:"
#define IDC_LABEL2 1004      // the selected camera's list text
#define IDC_TEXT3 1005       // the property report
#define IDC_COMMAND4 1006    // "Try all Properties"
#define IDC_COMMAND2 1007    // "Get some properties"
#define IDC_LABEL5_0 1010    // "Click an entry to choose a camera"
#define IDC_LABEL5_1 1011    // "* indicates an non standard property of SAA chips"
#define IDC_LABEL3_0 1020    // row names: Brightness, Gamma, Exposure (+0..2)
#define IDC_LABEL4_0 1030    // row ranges (+0..2)
#define IDC_TEXT1_0 1040     // row values (+0..2)
#define IDC_COMMAND3_0 1050  // row "Set" buttons (+0..2)
