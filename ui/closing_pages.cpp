// The pages that close the wizard: destination, ready, progress and finish,
// with the folder browser's callback and the installation's progress callback.
#include "ui/page_frame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <climits>
#include <cstring>

#include "script/setup_script.h"
#include "resources/resource_ids.h"
#include "system/bounded_text.h"
#include "ui/page_common.h"

namespace {

constexpr int kFullBar = 100;

// The progress page open now, which ReportInstallProgress advances.
HWND progressPage = nullptr;

void OnInitDestination(HWND page, LPARAM parameter) {
    const auto& context = *reinterpret_cast<const DestinationPageContext*>(parameter);
    OpenPage(page, parameter, *context.frame, PagePicture::Top);
    ApplyTitleFont(page, *context.frame);
    SetTextWithTitle(page, IDC_DESTINATION_TEXT, IDS_DESTINATION_TEXT, *context.frame);
    SetDlgItemTextA(page, IDC_DESTINATION_PATH, context.destinationDirectory);
}

// The chosen folder becomes the destination exactly as the shell names it: a
// folder without a trailing backslash, a drive root with one.
void BrowseForDestination(HWND page) {
    char* destination = PageContextOf<DestinationPageContext>(page)->destinationDirectory;
    // The new dialog style needs an apartment-threaded COM on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char* title = LoadResourceString(IDS_BROWSE_TITLE);
    BROWSEINFOA browse = {};
    browse.hwndOwner = page;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    browse.lpfn = BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(destination);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse);
    if (chosen != nullptr) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(chosen, path)) {
            SetDlgItemTextA(page, IDC_DESTINATION_PATH, path);
            // The shell's path and the destination have the same bound.
            (void)CopyBoundedText(destination, kPathSize, path);
        }
        CoTaskMemFree(chosen);
    }
    delete[] title;
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

void OnInitReady(HWND page, LPARAM parameter) {
    const PageFrame& frame = *reinterpret_cast<const PageFrame*>(parameter);
    OpenPage(page, parameter, frame, PagePicture::Top);
    ApplyTitleFont(page, frame);
}

void OnInitProgress(HWND page, LPARAM parameter) {
    const auto& context = *reinterpret_cast<const ProgressPageContext*>(parameter);
    OpenPage(page, parameter, *context.frame, PagePicture::Top);
    progressPage = page;
    ApplyTitleFont(page, *context.frame);
    SetTextWithTitle(page, IDC_PAGE_TEXT, IDS_PROGRESS_TEXT, *context.frame);
    EnableWindow(GetDlgItem(page, IDC_NEXT), FALSE);
    EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
    EnableWindow(GetDlgItem(page, IDC_CANCEL), FALSE);
}

void OnInitFinish(HWND page, LPARAM parameter) {
    const auto& context = *reinterpret_cast<const FinishPageContext*>(parameter);
    OpenPage(page, parameter, *context.frame, PagePicture::Left);
    SetTextWithTitle(page, IDC_READY_TEXT, IDS_FINISH_TEXT, *context.frame);
    EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
    EnableWindow(GetDlgItem(page, IDC_CANCEL), FALSE);
    ApplyTitleFont(page, *context.frame);
    ShowWindow(GetDlgItem(page, IDC_LAUNCH_CHECK), context.showLaunch ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_README_CHECK), context.showReadme ? SW_SHOW : SW_HIDE);
}

bool IsChecked(HWND page, int controlId) {
    return SendDlgItemMessageA(page, controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The readme opens before the application starts; failures go unreported.
void FinishSetup(HWND page) {
    const auto& context = *PageContextOf<FinishPageContext>(page);
    if (IsChecked(page, IDC_README_CHECK)) {
        ShellExecuteA(nullptr, "open", "notepad.exe", context.readmePath, "", SW_SHOW);
    }
    if (IsChecked(page, IDC_LAUNCH_CHECK)) {
        ShellExecuteA(nullptr, "open", context.launchPath, "", "", SW_SHOW);
    }
    EndDialog(page, IDC_NEXT);
}

} // namespace

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDestination(page, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BROWSE) {
            BrowseForDestination(page);
        } else {
            EndPageOnButton(page, LOWORD(wParam));
        }
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsHeaderControl);
    }
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) {
        return 0;
    }
    char folder[kPathSize];
    // The destination has the same bound.
    (void)CopyBoundedText(folder, sizeof folder, reinterpret_cast<const char*>(data));
    // Cut at the last backslash after the first character, so the folder
    // that holds the destination is shown.
    size_t length = std::strlen(folder);
    for (size_t i = 0; i < length; ++i) {
        if (folder[length - i] == '\\') {
            folder[length - i] = '\0';
            break;
        }
    }
    // Without room for it the folder is preselected as it stands.
    (void)EnsureTrailingBackslash(folder, sizeof folder);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder));
    return 0;
}

INT_PTR CALLBACK ReadyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitReady(page, lParam);
        return TRUE;
    case WM_COMMAND:
        EndPageOnButton(page, LOWORD(wParam));
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsHeaderControl);
    }
}

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitProgress(page, lParam);
        return TRUE;
    case WM_COMMAND:
        return TRUE; // the installation cannot be stopped
    case WM_DESTROY:
        if (progressPage == page) {
            progressPage = nullptr;
        }
        return HandleFrameMessage(page, message, wParam, lParam, IsHeaderControl);
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsHeaderControl);
    }
}

void ReportInstallProgress(int32_t bytesWritten) {
    if (progressPage == nullptr) {
        return;
    }
    const auto& context = *PageContextOf<ProgressPageContext>(progressPage);
    int32_t& bytes = *context.bytesInstalled;
    long long installed = static_cast<long long>(bytes) + bytesWritten;
    bytes = static_cast<int32_t>(installed > INT_MAX ? INT_MAX : installed);
    // Below 100 application bytes in all there is no byte count per percent.
    int position = kFullBar;
    if (context.bytesPerPercent > 0 && bytes / context.bytesPerPercent < kFullBar) {
        position = bytes / context.bytesPerPercent;
    }
    SendDlgItemMessageA(progressPage, IDC_PROGRESS_BAR, PBM_SETPOS, position, 0);
    UpdateWindow(progressPage);
}

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitFinish(page, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NEXT) {
            FinishSetup(page);
        }
        return TRUE;
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsAnyControlWhite);
    }
}
