// Numeric ids of the setup program's resources: dialog templates, their
// controls, strings, icons and the system-menu command. Plain macros, because
// the resource compiler reads this header too.
#pragma once

// Dialog templates.
#define IDD_WELCOME_PAGE 101
#define IDD_LICENCE_PAGE 107
#define IDD_USER_INFO_PAGE 115
#define IDD_DESTINATION_PAGE 117
#define IDD_READY_PAGE 120
#define IDD_PROGRESS_PAGE 121
#define IDD_FINISH_PAGE 122
#define IDD_PREPARING_DIALOG 130
#define IDD_README_PAGE 131

// Icons.
#define IDI_PROGRAM 106
#define IDI_DESTINATION 111

// Strings.
#define IDS_WELCOME_TITLE 129
#define IDS_WELCOME_TEXT 130
#define IDS_DESTINATION_TEXT 133
#define IDS_BROWSE_TITLE 134
#define IDS_PROGRESS_TEXT 135
#define IDS_FINISH_TEXT 136
#define IDS_NOT_ADMINISTRATOR 137
#define IDS_SETUP_CAPTION 138
#define IDS_ARCHIVE_DAMAGED 139
#define IDS_COPY_FAILED 140
#define IDS_ERROR_CAPTION 141
#define IDS_SERVICE_FAILED 142
#define IDS_INFO 143
// 144 stays free: the frame's tests take it for an id without a string.
#define IDS_HELP 145
#define IDS_ALREADY_RUNNING 146

// Controls every page has. The button ids are the page results they produce.
#define IDC_NEXT 1
#define IDC_CANCEL 2
#define IDC_BACK 12
#define IDC_TITLE 50
#define IDC_SUBTITLE 51
#define IDC_PANEL 52

// Page controls.
#define IDC_BROWSE 196
#define IDC_TEXT_EDIT 301 // rich edit of the text pages, user name edit
#define IDC_COMPANY_EDIT 302
#define IDC_README_CHECK 501
#define IDC_LAUNCH_CHECK 502
#define IDC_PAGE_TEXT 710
#define IDC_READY_TEXT 711 // also the finish page's text
#define IDC_DESTINATION_PATH 715
#define IDC_DESTINATION_TEXT 718
#define IDC_WELCOME_NOTE 760
#define IDC_ACCEPT_RADIO 1000
#define IDC_DECLINE_RADIO 1001
#define IDC_COMPANY_LABEL 1006
#define IDC_USER_LABEL 1007
#define IDC_INTRO_TEXT 1008
#define IDC_PREPARING_CANCEL 1009
#define IDC_PREPARING_BAR 1010
#define IDC_PROGRESS_BAR 1500

// System-menu command of the "Info..." entry (0x282B).
#define IDM_INFO 10283
