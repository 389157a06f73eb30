// ui/resource.h: identifiers of the installer's resources and controls, shared by the
// resource script and the code. Plain #defines, because the resource compiler reads them.
#pragma once

#include "engine/messages.h"

// The installer's name: the main window's caption, its message boxes' and About's.
#define SFX_PRODUCT_NAME "Kelvane Pro Self-Extractor"

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SELFEXTRACT_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_ABOUTLOGO 132
#define IDB_LOGO 133

// The dialogs' texts in the string table (ui/res/strings.inc), in the block of sixteen
// that holds the install run's (engine/messages.h).
#define IDS_WINDOW_FAILED 110
#define IDS_WORKER_FAILED 111

// winuser.h has an IDC_SIZE cursor, which the program never uses.
#undef IDC_SIZE
#define IDC_SIZE 1000
#define IDC_ABOUT 1001
#define IDC_PROGRESS 1002
#define IDC_HOMEPAGE 1004
#define IDC_PRODUCT 1005
#define IDC_STATUS 1006

// Controls that the code never addresses.
#define IDC_STATIC -1

// The About item of the system menu.
#define IDM_ABOUTBOX 0x0010
