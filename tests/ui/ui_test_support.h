// Shared set-up of the page tests and the page host: a run state of their
// own as the setup driver keeps one, the contexts the pages get from it, the
// window classes they need, and ANSI/UTF-8 conversion for comparing texts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "resources/resource_ids.h"
#include "script/setup_script.h"
#include "ui/page_frame.h"

// The fields of the setup driver's run state that pages read and write.
struct PageRun {
    SetupSettings Settings;
    char DestinationDirectory[kPathSize];
    char RegisteredUserName[kTextSize];
    char RegisteredCompanyName[kTextSize];
    char UserName[kTextSize];
    char CompanyName[kTextSize];
    char LeftPicturePath[kPathSize];
    char TopPicturePath[kPathSize];
    HFONT TitleFont;
    int32_t AppBytesTotal;
    int32_t BytesPerPercent;
    int32_t BytesInstalled;
    char* LicenceText;
    char* ReadmeText;
    HWND ProgressPage;
    HINSTANCE Instance;
};

inline PageRun Run = {};

// The init parameter a page of this template gets from Run, as the driver
// hands it over; valid until the next call for the same kind of page.
inline LPARAM PageParameter(int templateId) {
    static PageFrame frame;
    frame = PageFrame{Run.Settings.ApplicationTitle, Run.LeftPicturePath, Run.TopPicturePath,
                      Run.TitleFont};
    static TextPageContext text;
    static UserInfoPageContext userInfo;
    static DestinationPageContext destination;
    static ProgressPageContext progress;
    static FinishPageContext finish;
    switch (templateId) {
    case IDD_LICENCE_PAGE:
    case IDD_README_PAGE:
        text = {&frame, templateId == IDD_LICENCE_PAGE ? Run.LicenceText : Run.ReadmeText};
        return reinterpret_cast<LPARAM>(&text);
    case IDD_USER_INFO_PAGE:
        userInfo = {&frame, Run.RegisteredUserName, Run.RegisteredCompanyName, Run.UserName,
                    Run.CompanyName};
        return reinterpret_cast<LPARAM>(&userInfo);
    case IDD_DESTINATION_PAGE:
        destination = {&frame, Run.DestinationDirectory};
        return reinterpret_cast<LPARAM>(&destination);
    case IDD_PROGRESS_PAGE:
        progress = {&frame, &Run.BytesInstalled, Run.BytesPerPercent};
        return reinterpret_cast<LPARAM>(&progress);
    case IDD_FINISH_PAGE:
        finish = {&frame, Run.Settings.DoneShowReadme != 0, Run.Settings.DoneShowLaunch != 0,
                  Run.Settings.DoneReadmePath, Run.Settings.DoneLaunchPath};
        return reinterpret_cast<LPARAM>(&finish);
    default:
        return reinterpret_cast<LPARAM>(&frame);
    }
}

inline void PrepareRunForPages() {
    static bool prepared = false;
    if (!prepared) {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&classes);
        LoadLibraryA("RICHED32.DLL");
        prepared = true;
    }
    Run = PageRun{};
    Run.Instance = GetModuleHandleA(nullptr);
    SetPageResources(Run.Instance);
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    Run.TitleFont =
        CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "");
}

inline void ReleaseRunForPages() {
    DeleteObject(Run.TitleFont);
    Run.TitleFont = nullptr;
}

// A text the program got from an ANSI interface, as UTF-8.
inline std::string AnsiToUtf8(const std::string& ansi) {
    std::wstring wide(ansi.size() + 1, L'\0');
    int length =
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<size_t>(length) - 1 : 0);
    std::string utf8(wide.size() * 3 + 1, '\0');
    length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0],
                                 static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(length > 0 ? static_cast<size_t>(length) - 1 : 0);
    return utf8;
}

inline std::string ControlText(HWND page, int controlId) {
    char text[1024] = {};
    GetDlgItemTextA(page, controlId, text, sizeof text);
    return AnsiToUtf8(text);
}
