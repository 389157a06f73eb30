// engine/messages.h: the string table identifiers of what the install run tells the
// user. Plain #defines, because the resource compiler reads them (ui/res/strings.rc).
// They share the one block of sixteen that holds the dialogs' texts (ui/resource.h):
// the table stores its strings in such blocks.
#pragma once

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
// The next block.
#define IDS_TEMP_TOO_LONG 112
#define IDS_SETUP_UNSUPPORTED_ADVICE 113
#define IDS_INSTALLER_IN_USE 114
#define IDS_DISTRUSTED 115
#define IDS_INSTALLER_UNREADABLE 116
#define IDS_INSTALLER_REPLACED 117
