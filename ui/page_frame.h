// The wizard's pages: the frame every page shares (centring, icon, the
// "Info..." entry and about box, the cancel confirmation, white headers and
// side panels, the title font, the pictures), the string operations the
// driver uses for its messages too, and one dialog procedure per page.
//
// A modal page ends with the id of the button that ended it: IDC_NEXT (1),
// IDC_CANCEL (2, only after the user confirmed) or IDC_BACK (12).
#pragma once

#include <windows.h>

#include <cstdint>

// Moves the window so that it is centred on the desktop; size and Z order stay.
void CentreOnDesktop(HWND window);

// Asks whether setup shall really be cancelled; true when the user says Yes.
bool ConfirmCancel();

// Appends a separator and "Info..." (command IDM_INFO) to the system menu.
void AddInfoMenuEntry(HWND window);

// Shows the about box owned by the page; returns when it is closed.
void ShowAboutBox(HWND owner);

// The format printed with the one text; the format holds exactly one "%s".
// Never null; release with delete[].
char* FormatWithString(const char* format, const char* text);

// String-table entry `id` of the program, at most 511 characters; empty when
// there is no such entry. Never null; release with delete[].
char* LoadResourceString(UINT id);

// The preparing dialog shown while setup stages its files: centred, with the
// program icon; it reacts to nothing.
INT_PTR CALLBACK PreparingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Page dialog procedures, opened on the templates of resource_ids.h. The run
// state (run_state.h) gives them their texts; the user-information page writes
// back the names, the destination page the destination directory.
INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadmePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UserInfoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Modeless; it never ends itself and does not react to input.
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Archive extraction callback of the installation: adds the chunk to
// BytesInstalled and moves and repaints the progress page's bar.
void ReportInstallProgress(int32_t bytesWritten);

// Folder-browser callback: preselects the folder that holds the destination.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
