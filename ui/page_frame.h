// The wizard's pages: the frame every page shares (centring, icon, the
// "Info..." entry and about box, the cancel confirmation, white headers and
// side panels, the title font, the pictures), the string operations the
// driver uses for its messages too, and one dialog procedure per page.
//
// A modal page ends with the id of the button that ended it: IDC_NEXT (1),
// IDC_CANCEL (2, only after the user confirmed) or IDC_BACK (12).
//
// The pages own no run state: each gets what it reads and writes through its
// dialog's init parameter (the last argument of DialogBoxParam), a context
// that names exactly those fields and outlives the page. A returned char*
// is the caller's, released with delete[].
#pragma once

#include <windows.h>

#include <cstdint>

// What every page shows of the run; the pages only read it.
struct PageFrame {
    const char* applicationTitle;
    const char* leftPicturePath; // welcome and finish pages
    const char* topPicturePath;  // the inner pages
    HFONT titleFont;
};

// Welcome and ready pages: a PageFrame.

// Licence and readme pages: the whole text; null shows an empty page.
struct TextPageContext {
    const PageFrame* frame;
    const char* text;
};

// User-information page: the fields start with the registered names; Next
// writes the entries back into all four (each kTextSize bytes).
struct UserInfoPageContext {
    const PageFrame* frame;
    char* registeredUserName;
    char* registeredCompanyName;
    char* userName;
    char* companyName;
};

// Destination page: the directory shown, which the folder browser replaces
// (kPathSize bytes).
struct DestinationPageContext {
    const PageFrame* frame;
    char* destinationDirectory;
};

// Progress page: the bytes written so far, advanced by ReportInstallProgress,
// and the bytes per percent of the bar (0 when the files are tiny).
struct ProgressPageContext {
    const PageFrame* frame;
    int32_t* bytesInstalled;
    int32_t bytesPerPercent;
};

// Finish page: which offers it shows, and what they open.
struct FinishPageContext {
    const PageFrame* frame;
    bool showReadme;
    bool showLaunch;
    const char* readmePath;
    const char* launchPath;
};

// The module whose dialog templates, strings and icons the pages and the
// string operations use; set once, before the first page.
void SetPageResources(HINSTANCE instance);

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

// Page dialog procedures, opened on the templates of resource_ids.h with
// their contexts above.
INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadmePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UserInfoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ReadyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Modeless; it never ends itself and does not react to input.
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Archive extraction callback of the installation: adds the chunk to the
// open progress page's bytes and moves and repaints its bar. Does nothing
// while no progress page is open.
void ReportInstallProgress(int32_t bytesWritten);

// Folder-browser callback: preselects the folder that holds the destination,
// `data` being the destination directory's text.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
