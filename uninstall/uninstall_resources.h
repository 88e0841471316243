// Resource ids of the uninstaller, shared by its resource script and code.
#pragma once

#define IDI_UNINSTALL 1

#define IDD_PROGRESS 100
#define IDC_PROGRESS_TEXT 1001
#define IDC_PROGRESS_ITEM 1002
#define IDC_PROGRESS_BAR 1003

#define IDS_CAPTION 1
#define IDS_CONFIRM 2
#define IDS_PROGRESS 3
#define IDS_DONE 4
#define IDS_DONE_INCOMPLETE 5
#define IDS_MORE_ITEMS 6
#define IDS_LOG_MISSING 7
#define IDS_LOG_DAMAGED 8
#define IDS_UNNAMED_APPLICATION 9
#define IDS_ITEM_LINE 10

// Labels of the removal kinds, in the order of RemovalKind.
#define IDS_KIND_FIRST 20
#define IDS_KIND_SERVICE 20
#define IDS_KIND_REGISTRY_VALUE 21
#define IDS_KIND_REGISTRY_KEY 22
#define IDS_KIND_SHORTCUT 23
#define IDS_KIND_SHELL_FOLDER 24
#define IDS_KIND_FILE 25
#define IDS_KIND_FOLDER 26
#define IDS_KIND_REGISTRATION 27
#define IDS_KIND_LOG_FILE 28
#define IDS_KIND_DESTINATION_FOLDER 29

// Reasons, in the order of RemovalOutcome.
#define IDS_REASON_FIRST 40
#define IDS_REASON_REMOVED 40
#define IDS_REASON_REFUSED 41
#define IDS_REASON_INVALID 42
#define IDS_REASON_NOT_EMPTY 43
#define IDS_REASON_IN_USE 44
#define IDS_REASON_ACCESS_DENIED 45
#define IDS_REASON_HAS_SUBKEYS 46
#define IDS_REASON_FOREIGN_VALUES 47
#define IDS_REASON_STILL_RUNNING 48
#define IDS_REASON_FAILED 49
#define IDS_REASON_SYSTEM_ITEM 50
#define IDS_REASON_FOREIGN_SERVICE 51
#define IDS_REASON_EXISTED_BEFORE 52
#define IDS_REASON_THROUGH_LINK 53
// Registry forms of reasons that name files and folders.
#define IDS_REASON_REFUSED_KEY 60
#define IDS_REASON_SYSTEM_KEY 61
