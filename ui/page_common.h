// Steps and message handling that every page procedure shares, in the order
// each page calls them.
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/page_frame.h"

// Where the frame draws the page's picture: left.jpg at (0, 0) beside the
// side panel, or top.jpg at (384, 0) right of the header panel.
enum class PagePicture { Left, Top };

// The first steps of WM_INITDIALOG: keeps the page's context (the init
// parameter) for its later messages, then "Info..." entry, centring, icons,
// picture.
void OpenPage(HWND page, LPARAM context, const PageFrame& frame, PagePicture picture);

// The context OpenPage kept, as the type the page was opened with.
template <typename Context> Context* PageContextOf(HWND page) {
    return reinterpret_cast<Context*>(GetWindowLongPtrA(page, DWLP_USER));
}

// Gives the page's title control the run's bold title font.
void ApplyTitleFont(HWND page, const PageFrame& frame);

// Sets a control to a string-table format applied to the application title.
void SetTextWithTitle(HWND page, int controlId, UINT formatId, const PageFrame& frame);

// The module SetPageResources named.
HINSTANCE PageResources();

// The common buttons: IDC_NEXT and IDC_BACK end the page with their id,
// IDC_CANCEL ends it with IDC_CANCEL once the user confirms; others do nothing.
void EndPageOnButton(HWND page, int controlId);

// Whether a control of the page is painted on white.
using WhiteControlTest = bool (*)(int controlId);
bool IsAnyControlWhite(int controlId);
bool IsHeaderControl(int controlId); // title, subtitle and header panel

// The frame's part of a page procedure: painting the pictures, the "Info..."
// command, the white controls and releasing the pictures when the page is
// destroyed. Answers FALSE for messages it leaves to the dialog manager.
INT_PTR HandleFrameMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam,
                           WhiteControlTest isWhite);
