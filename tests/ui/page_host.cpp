// Opens wizard pages one after another with a run state given on the command
// line, the way the setup driver opens them, so that the robot can drive them:
//
//   tolvanex_page_host [--set FIELD=VALUE]... [--file LicenceText|ReadmeText=PATH]
//                      [--state FILE] [--progress N,N,...] [--hold-ms N] PAGE...
//
// PAGE is welcome, licence, readme, userinfo, destination, ready, progress,
// finish or preparing. After each page the host appends to the state file
// the page's result and the run state the pages write. Modal pages end with
// their result, which is also the exit code of the last one. The progress
// page reports the --progress chunks through ReportInstallProgress; the
// preparing dialog takes "position,range". Both stay for --hold-ms while the
// host handles their messages.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/ui/ui_test_support.h"
#include "ui/page_frame.h"

namespace {

struct PageInfo {
    const char* name;
    int templateId;
    DLGPROC procedure;
};

const PageInfo kModalPages[] = {
    {"welcome", IDD_WELCOME_PAGE, WelcomePageProc},
    {"licence", IDD_LICENCE_PAGE, LicencePageProc},
    {"readme", IDD_README_PAGE, ReadmePageProc},
    {"userinfo", IDD_USER_INFO_PAGE, UserInfoPageProc},
    {"destination", IDD_DESTINATION_PAGE, DestinationPageProc},
    {"ready", IDD_READY_PAGE, ReadyPageProc},
    {"finish", IDD_FINISH_PAGE, FinishPageProc},
};

struct TextField {
    const char* name;
    char* buffer;
    size_t size;
};

const TextField kTextFields[] = {
    {"ApplicationTitle", Run.Settings.ApplicationTitle, kTextSize},
    {"DestinationDirectory", Run.DestinationDirectory, kPathSize},
    {"RegisteredUserName", Run.RegisteredUserName, kTextSize},
    {"RegisteredCompanyName", Run.RegisteredCompanyName, kTextSize},
    {"UserName", Run.UserName, kTextSize},
    {"CompanyName", Run.CompanyName, kTextSize},
    {"DoneReadmePath", Run.Settings.DoneReadmePath, kPathSize},
    {"DoneLaunchPath", Run.Settings.DoneLaunchPath, kPathSize},
    {"LeftPicturePath", Run.LeftPicturePath, kPathSize},
    {"TopPicturePath", Run.TopPicturePath, kPathSize},
};

struct Options {
    std::vector<std::string> pages;
    std::string statePath;
    std::string licencePath;
    std::string readmePath;
    std::vector<int> progress;
    DWORD holdMs = 60000;
};

void CopyText(char* target, size_t size, const std::string& text) {
    std::snprintf(target, size, "%s", text.c_str());
}

bool SetField(const std::string& name, const std::string& value) {
    for (const TextField& field : kTextFields) {
        if (name == field.name) {
            CopyText(field.buffer, field.size, value);
            return true;
        }
    }
    int number = std::atoi(value.c_str());
    if (name == "DoneShowReadme") {
        Run.Settings.DoneShowReadme = number;
    } else if (name == "DoneShowLaunch") {
        Run.Settings.DoneShowLaunch = number;
    } else if (name == "AppBytesTotal") {
        // As the staging computes it.
        Run.AppBytesTotal = number;
        Run.BytesPerPercent = number / 100;
    } else if (name == "BytesInstalled") {
        Run.BytesInstalled = number;
    } else {
        return false;
    }
    return true;
}

std::vector<int> ParseNumbers(const std::string& list) {
    std::vector<int> numbers;
    size_t start = 0;
    while (start < list.size()) {
        size_t comma = list.find(',', start);
        numbers.push_back(std::atoi(list.substr(start, comma - start).c_str()));
        start = comma == std::string::npos ? list.size() : comma + 1;
    }
    return numbers;
}

bool ParseArguments(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool hasValue = i + 1 < argc;
        std::string value = hasValue ? argv[i + 1] : "";
        size_t equals = value.find('=');
        if (argument == "--set" && equals != std::string::npos) {
            if (!SetField(value.substr(0, equals), value.substr(equals + 1))) {
                return false;
            }
            ++i;
        } else if (argument == "--file" && equals != std::string::npos) {
            std::string field = value.substr(0, equals);
            (field == "LicenceText" ? options->licencePath : options->readmePath) =
                value.substr(equals + 1);
            ++i;
        } else if (argument == "--state" && hasValue) {
            options->statePath = argv[++i];
        } else if (argument == "--progress" && hasValue) {
            options->progress = ParseNumbers(argv[++i]);
        } else if (argument == "--hold-ms" && hasValue) {
            options->holdMs = static_cast<DWORD>(std::atoi(argv[++i]));
        } else if (argument.compare(0, 2, "--") != 0) {
            options->pages.push_back(argument);
        } else {
            return false;
        }
    }
    return !options->pages.empty();
}

// The whole file as a zero-terminated text, as the driver loads it; an empty
// text when there is none. Release with delete[].
char* LoadText(const std::string& path) {
    std::string content;
    if (std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (size_t read; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            content.append(chunk, read);
        }
        std::fclose(file);
    }
    char* text = new char[content.size() + 1];
    std::memcpy(text, content.c_str(), content.size() + 1);
    return text;
}

std::string ToUtf8(const char* ansi) {
    wchar_t wide[1024] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 1024);
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

void WriteState(const Options& options, const std::string& page, INT_PTR result, int position) {
    if (options.statePath.empty()) {
        return;
    }
    std::FILE* state = std::fopen(options.statePath.c_str(), "ab");
    if (state == nullptr) {
        return;
    }
    std::fprintf(state, "page=%s result=%d\n", page.c_str(), static_cast<int>(result));
    for (const TextField& field : kTextFields) {
        std::fprintf(state, "%s=%s\n", field.name, ToUtf8(field.buffer).c_str());
    }
    std::fprintf(state, "BytesInstalled=%d\nProgressPosition=%d\n",
                 static_cast<int>(Run.BytesInstalled), position);
    std::fclose(state);
}

// Handles the window's messages until it is gone or the time is up.
void Hold(HWND window, DWORD holdMs) {
    DWORD start = GetTickCount();
    // Wine paints transparent controls (the page titles) only from a message
    // loop, not through UpdateWindow: let the loop paint the page once.
    InvalidateRect(window, nullptr, TRUE);
    while (IsWindow(window) && GetTickCount() - start < holdMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }
}

int ShowProgressPage(const Options& options) {
    Run.ProgressPage =
        CreateDialogParamA(Run.Instance, MAKEINTRESOURCEA(IDD_PROGRESS_PAGE), nullptr,
                           ProgressPageProc, PageParameter(IDD_PROGRESS_PAGE));
    ShowWindow(Run.ProgressPage, SW_SHOW);
    UpdateWindow(Run.ProgressPage);
    SendDlgItemMessageA(Run.ProgressPage, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    for (int chunk : options.progress) {
        ReportInstallProgress(chunk);
    }
    int position =
        static_cast<int>(SendDlgItemMessageA(Run.ProgressPage, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
    WriteState(options, "progress", 0, position);
    Hold(Run.ProgressPage, options.holdMs);
    DestroyWindow(Run.ProgressPage);
    Run.ProgressPage = nullptr;
    return 0;
}

int ShowPreparingDialog(const Options& options) {
    HWND dialog = CreateDialogParamA(Run.Instance, MAKEINTRESOURCEA(IDD_PREPARING_DIALOG), nullptr,
                                     PreparingDialogProc, 0);
    ShowWindow(dialog, SW_SHOW);
    int position = options.progress.size() > 0 ? options.progress[0] : 0;
    int range = options.progress.size() > 1 ? options.progress[1] : 100;
    SendDlgItemMessageA(dialog, IDC_PREPARING_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, range));
    SendDlgItemMessageA(dialog, IDC_PREPARING_BAR, PBM_SETPOS, position, 0);
    UpdateWindow(dialog);
    WriteState(options, "preparing", 0, position);
    Hold(dialog, options.holdMs);
    DestroyWindow(dialog);
    return 0;
}

INT_PTR ShowModalPage(const Options& options, const PageInfo& page) {
    bool licence = page.templateId == IDD_LICENCE_PAGE;
    bool readme = page.templateId == IDD_README_PAGE;
    char** text = licence ? &Run.LicenceText : readme ? &Run.ReadmeText : nullptr;
    if (text != nullptr) {
        *text = LoadText(licence ? options.licencePath : options.readmePath);
    }
    INT_PTR result = DialogBoxParamA(Run.Instance, MAKEINTRESOURCEA(page.templateId), nullptr,
                                     page.procedure, PageParameter(page.templateId));
    if (text != nullptr) {
        delete[] * text;
        *text = nullptr;
    }
    WriteState(options, page.name, result, 0);
    return result;
}

HFONT CreateTitleFont() {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "");
}

} // namespace

int main(int argc, char** argv) {
    Run.Instance = GetModuleHandleA(nullptr);
    SetPageResources(Run.Instance);
    CopyText(Run.LeftPicturePath, kPathSize, TOLVANEX_PICTURES "\\left.jpg");
    CopyText(Run.TopPicturePath, kPathSize, TOLVANEX_PICTURES "\\top.jpg");
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        std::fprintf(stderr, "usage: see the head of page_host.cpp\n");
        return 100;
    }
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    LoadLibraryA("RICHED32.DLL");
    Run.TitleFont = CreateTitleFont();
    INT_PTR result = 0;
    for (const std::string& name : options.pages) {
        const PageInfo* modal = nullptr;
        for (const PageInfo& page : kModalPages) {
            modal = name == page.name ? &page : modal;
        }
        if (modal != nullptr) {
            result = ShowModalPage(options, *modal);
        } else if (name == "progress") {
            result = ShowProgressPage(options);
        } else if (name == "preparing") {
            result = ShowPreparingDialog(options);
        } else {
            std::fprintf(stderr, "unknown page %s\n", name.c_str());
            result = 100;
            break;
        }
    }
    DeleteObject(Run.TitleFont);
    return static_cast<int>(result);
}
