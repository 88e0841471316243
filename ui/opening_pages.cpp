// The pages that open the wizard: welcome, licence, readme, user information.
#include "ui/page_frame.h"

#include "script/setup_script.h"
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

void OnInitWelcome(HWND page, LPARAM parameter) {
    const PageFrame& frame = *reinterpret_cast<const PageFrame*>(parameter);
    OpenPage(page, parameter, frame, PagePicture::Left);
    SetTextWithTitle(page, IDC_TITLE, IDS_WELCOME_TITLE, frame);
    SetTextWithTitle(page, IDC_PAGE_TEXT, IDS_WELCOME_TEXT, frame);
    EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
    ApplyTitleFont(page, frame);
}

void OnInitTextPage(HWND page, LPARAM parameter) {
    const auto& context = *reinterpret_cast<const TextPageContext*>(parameter);
    OpenPage(page, parameter, *context.frame, PagePicture::Top);
    SetDlgItemTextA(page, IDC_TEXT_EDIT, context.text != nullptr ? context.text : "");
    ApplyTitleFont(page, *context.frame);
}

void OnInitLicence(HWND page, LPARAM parameter) {
    OnInitTextPage(page, parameter);
    // Acceptance is never stored: every showing starts declined.
    SendDlgItemMessageA(page, IDC_DECLINE_RADIO, BM_SETCHECK, BST_CHECKED, 0);
    EnableWindow(GetDlgItem(page, IDC_NEXT), FALSE);
}

void OnLicenceCommand(HWND page, int controlId) {
    if (controlId == IDC_ACCEPT_RADIO || controlId == IDC_DECLINE_RADIO) {
        EnableWindow(GetDlgItem(page, IDC_NEXT), controlId == IDC_ACCEPT_RADIO);
    } else {
        EndPageOnButton(page, controlId);
    }
}

void OnInitUserInfo(HWND page, LPARAM parameter) {
    const auto& context = *reinterpret_cast<const UserInfoPageContext*>(parameter);
    OpenPage(page, parameter, *context.frame, PagePicture::Top);
    ApplyTitleFont(page, *context.frame);
    SetDlgItemTextA(page, IDC_TEXT_EDIT, context.registeredUserName);
    SetDlgItemTextA(page, IDC_COMPANY_EDIT, context.registeredCompanyName);
}

// Next keeps the names both as the page's start values for a later showing
// and as the values of the user and company placeholders.
void StoreUserInfo(HWND page) {
    const auto& context = *PageContextOf<UserInfoPageContext>(page);
    GetDlgItemTextA(page, IDC_TEXT_EDIT, context.registeredUserName, kTextSize);
    GetDlgItemTextA(page, IDC_COMPANY_EDIT, context.registeredCompanyName, kTextSize);
    GetDlgItemTextA(page, IDC_TEXT_EDIT, context.userName, kTextSize);
    GetDlgItemTextA(page, IDC_COMPANY_EDIT, context.companyName, kTextSize);
}

} // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitWelcome(page, lParam);
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
        OnInitLicence(page, lParam);
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
        OnInitTextPage(page, lParam);
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
        OnInitUserInfo(page, lParam);
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
