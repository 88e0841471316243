// Start-up and clean-up of one run: administrator check, preparing window,
// staging of the support files, settings and registry defaults, title font.
#include "driver/setup_driver.h"

#include <commctrl.h>

#include <cstring>

#include "driver/install_data.h"
#include "resources/resource_ids.h"
#include "script/placeholders.h"
#include "script/setup_script.h"
#include "system/bounded_text.h"
#include "system/processes.h"
#include "system/registry.h"
#include "system/security.h"
#include "ui/page_frame.h"

SetupArchive PayloadArchive;
IniFile SetupScript;
IniFile UninstallLog;

namespace {

void ShowStartupError(UINT textId) {
    char* text = LoadResourceString(textId);
    char* caption = LoadResourceString(IDS_SETUP_CAPTION);
    MessageBoxA(GetFocus(), text, caption, MB_OK | MB_ICONERROR);
    delete[] caption;
    delete[] text;
}

void ShowPreparingDialog() {
    Run.PreparingDialog = CreateDialogParamA(Run.Instance, MAKEINTRESOURCEA(IDD_PREPARING_DIALOG),
                                             nullptr, PreparingDialogProc, 0);
    ShowWindow(Run.PreparingDialog, SW_SHOW);
    UpdateWindow(Run.PreparingDialog);
}

void ClosePreparingDialog() {
    if (Run.PreparingDialog != nullptr) {
        DestroyWindow(Run.PreparingDialog);
        Run.PreparingDialog = nullptr;
    }
}

// A fresh directory named after a unique temporary file name. False when
// there is none: the support files would otherwise land wherever an empty
// path leads, and be deleted from there again.
bool CreateStagingDirectory() {
    char tempDirectory[MAX_PATH] = "";
    char name[MAX_PATH] = "";
    if (GetTempPathA(MAX_PATH, tempDirectory) == 0 ||
        GetTempFileNameA(tempDirectory, "~", 0, name) == 0) {
        return false;
    }
    DeleteFileA(name);
    return AppendBoundedText(name, sizeof name, "\\") && CreateDirectoryA(name, nullptr) &&
           CopyBoundedText(Run.StagingDirectory, sizeof Run.StagingDirectory, name);
}

// Extracts every support file into the staging directory and counts the
// application files, which stay in the archive until the installation.
void StageSupportFiles() {
    int count = PayloadArchive.GetEntryCount();
    HWND bar = GetDlgItem(Run.PreparingDialog, IDC_PREPARING_BAR);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, count));
    Sleep(500);
    for (int i = 0; i < count; ++i) {
        ArchiveEntryInfo info;
        if (PayloadArchive.GetEntryInfo(i, &info)) {
            if (IsApplicationEntry(info.name)) {
                Run.AppEntryCount += 1;
                Run.AppBytesTotal += static_cast<int32_t>(info.uncompressedSize);
            } else {
                UpdateWindow(Run.PreparingDialog);
                PayloadArchive.ExtractEntry(i, Run.StagingDirectory, false, nullptr);
                UpdateWindow(Run.PreparingDialog);
            }
        }
        SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(i + 1), 0);
    }
    Sleep(250);
}

// Read access is enough; asking for full access would fail for an
// administrator whose membership is deny-only. A value that cannot be read
// leaves its field empty.
void ReadRegistryDefaults() {
    constexpr char kNtVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    constexpr char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    RegistryKey key;
    if (SUCCEEDED(OpenRegistryKey(HKEY_LOCAL_MACHINE, kNtVersionKey, KEY_READ, key)) ||
        SUCCEEDED(OpenRegistryKey(HKEY_LOCAL_MACHINE, kVersionKey, KEY_READ, key))) {
        (void)ReadRegistryText(key.handle, "RegisteredOwner", Run.RegisteredUserName, kTextSize);
        (void)ReadRegistryText(key.handle, "RegisteredOrganization", Run.RegisteredCompanyName,
                               kTextSize);
    }
    if (SUCCEEDED(OpenRegistryKey(HKEY_LOCAL_MACHINE, kVersionKey, KEY_READ, key))) {
        (void)ReadRegistryText(key.handle, "ProgramFilesDir", Run.ProgramFilesDirectory, kPathSize);
    }
    // A directory that cannot take its backslash would run into the names
    // placed behind "%%PROGRAMFILES%%": it counts as missing.
    if (!EnsureTrailingBackslash(Run.ProgramFilesDirectory, kPathSize)) {
        Run.ProgramFilesDirectory[0] = '\0';
        (void)EnsureTrailingBackslash(Run.ProgramFilesDirectory, kPathSize);
    }
}

void ExpandDestinationDirectory() {
    char* expanded = ExpandPlaceholders(Run.Settings.DestinationDirectory);
    if (expanded != nullptr) {
        (void)CopyBoundedText(Run.DestinationDirectory, kPathSize, expanded); // both kPathSize
        delete[] expanded;
    }
}

void CreateTitleFont() {
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    Run.TitleFont =
        CreateFontA(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0, "");
}

// A script whose path does not fit is not read: the defaults apply.
void LoadSettings() {
    char path[MAX_PATH];
    if (JoinBoundedText(path, sizeof path, Run.StagingDirectory, kSetupScriptFile)) {
        SetupScript.SetFile(path);
    }
    LoadSetupSettings(SetupScript, &Run.Settings);
}

// A picture whose path does not fit is left out, as a missing one is.
void SetPicturePaths() {
    if (!JoinBoundedText(Run.LeftPicturePath, kPathSize, Run.StagingDirectory, kLeftPictureFile)) {
        Run.LeftPicturePath[0] = '\0';
    }
    if (!JoinBoundedText(Run.TopPicturePath, kPathSize, Run.StagingDirectory, kTopPictureFile)) {
        Run.TopPicturePath[0] = '\0';
    }
}

// Removes the directories that staging created below the staging directory
// for an entry name with directory parts, deepest first; a directory that is
// not empty yet stays for a later entry of the same directory.
void RemoveStagedDirectories(const char* entryName) {
    char path[MAX_PATH];
    if (!JoinBoundedText(path, sizeof path, Run.StagingDirectory, entryName)) {
        return;
    }
    size_t base = std::strlen(Run.StagingDirectory);
    for (char* cut = std::strrchr(path + base, '\\'); cut != nullptr;
         cut = std::strrchr(path + base, '\\')) {
        *cut = '\0';
        RemoveDirectoryA(path);
    }
}

void DeleteStagedFiles() {
    int count = PayloadArchive.GetEntryCount();
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i) {
            ArchiveEntryInfo info;
            if (!PayloadArchive.GetEntryInfo(i, &info) || IsApplicationEntry(info.name) ||
                !IsSafeEntryName(info.name)) {
                continue;
            }
            char path[MAX_PATH];
            if (pass == 0 && JoinBoundedText(path, sizeof path, Run.StagingDirectory, info.name)) {
                DeleteFileA(path);
            } else if (pass == 1) {
                RemoveStagedDirectories(info.name);
            }
        }
    }
}

} // namespace

int RunSetup(HINSTANCE instance) {
    RestrictDllSearchToSystemDirectory();
    Run.Instance = instance;
    SetPageResources(instance);
    if (!IsUserAdministrator()) {
        ShowStartupError(IDS_NOT_ADMINISTRATOR);
        return 0;
    }
    RegisterProgressBarClass(); // without it the bars are missing, nothing more
    ShowPreparingDialog();
    bool staging = CreateStagingDirectory();
    char programPath[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, programPath, MAX_PATH);
    PayloadArchive.Open(programPath);
    if (!staging || PayloadArchive.GetEntryCount() < 1) {
        ShowStartupError(IDS_ARCHIVE_DAMAGED);
        ClosePreparingDialog();
        RemoveDirectoryA(Run.StagingDirectory);
        PayloadArchive.Close();
        return 0;
    }
    StageSupportFiles();
    Run.BytesPerPercent = Run.AppBytesTotal / 100;
    SetPicturePaths();
    LoadSettings();
    ReadRegistryDefaults();
    SetPlaceholderValues(
        {Run.ProgramFilesDirectory, Run.DestinationDirectory, Run.UserName, Run.CompanyName});
    ExpandDestinationDirectory();
    LoadSystemLibrary("RICHED32.DLL"); // registers the licence and readme pages' "RICHEDIT"
    CreateTitleFont();
    ClosePreparingDialog();
    RunWizard();
    CleanUp();
    return 0;
}

void CleanUp() {
    if (Run.TitleFont != nullptr) {
        DeleteObject(Run.TitleFont);
        Run.TitleFont = nullptr;
    }
    DeleteStagedFiles();
    RemoveDirectoryA(Run.StagingDirectory);
    PayloadArchive.Close();
    UninstallLog.SetFile(nullptr);
    SetupScript.SetFile(nullptr);
}
