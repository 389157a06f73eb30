// ui/resource.h: identifiers of the installer's resources and controls, shared by the
// resource script and the code. Plain #defines, because the resource compiler reads them.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SELFEXTRACT_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_ABOUTLOGO 132
#define IDB_LOGO 133

// The string table's texts (ui/res/strings.inc), in the one block of sixteen that holds
// IDS_ABOUTBOX: the table stores its strings in such blocks.
#define IDS_CAPTION 96
#define IDS_DAMAGED 97
#define IDS_INSTALLER_UNNAMED 98
#define IDS_TEMP_UNNAMED 99
#define IDS_TEMP_UNSET 100
#define IDS_TEMP_UNSET_ADVICE 102
#define IDS_TEMP_UNUSABLE 103
#define IDS_ENTRIES_UNWRITABLE 104
#define IDS_TEMP_ADVICE 105
#define IDS_SETUP_CHANGED 106
#define IDS_SETUP_CHANGED_ADVICE 107
#define IDS_SETUP_NOT_STARTED 108
#define IDS_SETUP_NOT_STARTED_ADVICE 109
#define IDS_WINDOW_FAILED 110
#define IDS_WORKER_FAILED 111
// The next block.
#define IDS_INSTALLER_IN_USE 112
#define IDS_DISTRUSTED 113

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
