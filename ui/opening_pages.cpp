// The pages that open the wizard: welcome, licence, readme, user information.
#include "ui/page_frame.h"

#include "driver/run_state.h"
#include "resources/resource_ids.h"
#include "ui/page_common.h"

namespace {

// The radio buttons and the introduction keep the system's colours.
bool IsWhiteOnLicencePage(int controlId) {
    return controlId != IDC_ACCEPT_RADIO && controlId != IDC_DECLINE_RADIO &&
           controlId != IDC_INTRO_TEXT;
}

bool IsWhiteOnReadmePage(int controlId) {
    return controlId != IDC_INTRO_TEXT;
}

void OnInitWelcome(HWND page) {
    OpenPage(page, PagePicture::Left);
    SetTextWithTitle(page, IDC_TITLE, IDS_WELCOME_TITLE);
    SetTextWithTitle(page, IDC_PAGE_TEXT, IDS_WELCOME_TEXT);
    EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
    ApplyTitleFont(page);
}

void OnInitLicence(HWND page) {
    OpenPage(page, PagePicture::Top);
    // Acceptance is never stored: every showing starts declined.
    SendDlgItemMessageA(page, IDC_DECLINE_RADIO, BM_SETCHECK, BST_CHECKED, 0);
    EnableWindow(GetDlgItem(page, IDC_NEXT), FALSE);
    SetDlgItemTextA(page, IDC_TEXT_EDIT, Run.LicenceText != nullptr ? Run.LicenceText : "");
    ApplyTitleFont(page);
}

void OnLicenceCommand(HWND page, int controlId) {
    if (controlId == IDC_ACCEPT_RADIO || controlId == IDC_DECLINE_RADIO) {
        EnableWindow(GetDlgItem(page, IDC_NEXT), controlId == IDC_ACCEPT_RADIO);
    } else {
        EndPageOnButton(page, controlId);
    }
}

void OnInitReadme(HWND page) {
    OpenPage(page, PagePicture::Top);
    SetDlgItemTextA(page, IDC_TEXT_EDIT, Run.ReadmeText != nullptr ? Run.ReadmeText : "");
    ApplyTitleFont(page);
}

void OnInitUserInfo(HWND page) {
    OpenPage(page, PagePicture::Top);
    ApplyTitleFont(page);
    SetDlgItemTextA(page, IDC_TEXT_EDIT, Run.RegisteredUserName);
    SetDlgItemTextA(page, IDC_COMPANY_EDIT, Run.RegisteredCompanyName);
}

// Next keeps the names both as the page's start values for a later showing
// and as the values of the user and company placeholders.
void StoreUserInfo(HWND page) {
    GetDlgItemTextA(page, IDC_TEXT_EDIT, Run.RegisteredUserName, kTextSize);
    GetDlgItemTextA(page, IDC_COMPANY_EDIT, Run.RegisteredCompanyName, kTextSize);
    GetDlgItemTextA(page, IDC_TEXT_EDIT, Run.UserName, kTextSize);
    GetDlgItemTextA(page, IDC_COMPANY_EDIT, Run.CompanyName, kTextSize);
}

} // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitWelcome(page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NEXT || LOWORD(wParam) == IDC_CANCEL) {
            EndPageOnButton(page, LOWORD(wParam));
        }
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsAnyControlWhite);
    }
}

INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitLicence(page);
        return TRUE;
    case WM_COMMAND:
        OnLicenceCommand(page, LOWORD(wParam));
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsWhiteOnLicencePage);
    }
}

INT_PTR CALLBACK ReadmePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitReadme(page);
        return TRUE;
    case WM_COMMAND:
        EndPageOnButton(page, LOWORD(wParam));
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsWhiteOnReadmePage);
    }
}

INT_PTR CALLBACK UserInfoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitUserInfo(page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NEXT) {
            StoreUserInfo(page);
        }
        EndPageOnButton(page, LOWORD(wParam));
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsHeaderControl);
    }
}
