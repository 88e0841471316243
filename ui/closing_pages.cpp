// The pages that close the wizard: destination, ready, progress and finish,
// with the folder browser's callback and the installation's progress callback.
#include "ui/page_frame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <climits>
#include <cstring>

#include "driver/run_state.h"
#include "resources/resource_ids.h"
#include "system/bounded_text.h"
#include "ui/page_common.h"

namespace {

constexpr int kFullBar = 100;

void OnInitDestination(HWND page) {
    OpenPage(page, PagePicture::Top);
    ApplyTitleFont(page);
    SetTextWithTitle(page, IDC_DESTINATION_TEXT, IDS_DESTINATION_TEXT);
    SetDlgItemTextA(page, IDC_DESTINATION_PATH, Run.DestinationDirectory);
}

// The chosen folder becomes the destination exactly as the shell names it: a
// folder without a trailing backslash, a drive root with one.
void BrowseForDestination(HWND page) {
    // The new dialog style needs an apartment-threaded COM on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char* title = LoadResourceString(IDS_BROWSE_TITLE);
    BROWSEINFOA browse = {};
    browse.hwndOwner = page;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    browse.lpfn = BrowseCallback;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse);
    if (chosen != nullptr) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(chosen, path)) {
            SetDlgItemTextA(page, IDC_DESTINATION_PATH, path);
            // The shell's path and the destination have the same bound.
            (void)CopyBoundedText(Run.DestinationDirectory, sizeof Run.DestinationDirectory, path);
        }
        CoTaskMemFree(chosen);
    }
    delete[] title;
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

void OnInitReady(HWND page) {
    OpenPage(page, PagePicture::Top);
    ApplyTitleFont(page);
}

void OnInitProgress(HWND page) {
    OpenPage(page, PagePicture::Top);
    ApplyTitleFont(page);
    SetTextWithTitle(page, IDC_PAGE_TEXT, IDS_PROGRESS_TEXT);
    EnableWindow(GetDlgItem(page, IDC_NEXT), FALSE);
    EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
    EnableWindow(GetDlgItem(page, IDC_CANCEL), FALSE);
}

void OnInitFinish(HWND page) {
    OpenPage(page, PagePicture::Left);
    SetTextWithTitle(page, IDC_READY_TEXT, IDS_FINISH_TEXT);
    EnableWindow(GetDlgItem(page, IDC_BACK), FALSE);
    EnableWindow(GetDlgItem(page, IDC_CANCEL), FALSE);
    ApplyTitleFont(page);
    ShowWindow(GetDlgItem(page, IDC_LAUNCH_CHECK), Run.Settings.DoneShowLaunch ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_README_CHECK), Run.Settings.DoneShowReadme ? SW_SHOW : SW_HIDE);
}

bool IsChecked(HWND page, int controlId) {
    return SendDlgItemMessageA(page, controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The readme opens before the application starts; failures go unreported.
void FinishSetup(HWND page) {
    if (IsChecked(page, IDC_README_CHECK)) {
        ShellExecuteA(nullptr, "open", "notepad.exe", Run.Settings.DoneReadmePath, "", SW_SHOW);
    }
    if (IsChecked(page, IDC_LAUNCH_CHECK)) {
        ShellExecuteA(nullptr, "open", Run.Settings.DoneLaunchPath, "", "", SW_SHOW);
    }
    EndDialog(page, IDC_NEXT);
}

} // namespace

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDestination(page);
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

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM) {
    if (message != BFFM_INITIALIZED) {
        return 0;
    }
    char folder[kPathSize];
    (void)CopyBoundedText(folder, sizeof folder, Run.DestinationDirectory); // the same bound
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
        OnInitReady(page);
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
        OnInitProgress(page);
        return TRUE;
    case WM_COMMAND:
        return TRUE; // the installation cannot be stopped
    default:
        return HandleFrameMessage(page, message, wParam, lParam, IsHeaderControl);
    }
}

void ReportInstallProgress(int32_t bytesWritten) {
    long long installed = static_cast<long long>(Run.BytesInstalled) + bytesWritten;
    Run.BytesInstalled = static_cast<int32_t>(installed > INT_MAX ? INT_MAX : installed);
    // Below 100 application bytes in all there is no byte count per percent.
    int position = kFullBar;
    if (Run.BytesPerPercent > 0 && Run.BytesInstalled / Run.BytesPerPercent < kFullBar) {
        position = Run.BytesInstalled / Run.BytesPerPercent;
    }
    SendDlgItemMessageA(Run.ProgressPage, IDC_PROGRESS_BAR, PBM_SETPOS, position, 0);
    UpdateWindow(Run.ProgressPage);
}

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitFinish(page);
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
