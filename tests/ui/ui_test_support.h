// Shared set-up of the in-process page tests: the run state the pages read,
// the window classes they need, and ANSI/UTF-8 conversion for comparing texts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "driver/run_state.h"

inline void PrepareRunForPages() {
    static bool prepared = false;
    if (!prepared) {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&classes);
        LoadLibraryA("RICHED32.DLL");
        prepared = true;
    }
    Run = RunState{};
    Run.Instance = GetModuleHandleA(nullptr);
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
