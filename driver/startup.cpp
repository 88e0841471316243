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

// The named mutex of this application's setup, held to the end of the run.
HANDLE SetupMutex = nullptr;

void ShowStartupError(UINT textId) {
    char* format = LoadResourceString(textId);
    char* text = FormatWithString(format, Run.Settings.ApplicationTitle);
    char* caption = LoadResourceString(IDS_SETUP_CAPTION);
    ShowRunMessage(GetFocus(), text, caption, MB_OK | MB_ICONERROR);
    delete[] caption;
    delete[] text;
    delete[] format;
}

// The help goes on screen even with /quiet: it is asked for by hand.
void ShowHelp() {
    char* text = LoadResourceString(IDS_HELP);
    char* caption = LoadResourceString(IDS_SETUP_CAPTION);
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONINFORMATION);
    delete[] caption;
    delete[] text;
}

// One setup of an application at a time: two would write one uninstall.log
// at once. The name holds the title, with the one character a mutex name
// may not hold replaced; a title cut to fit still tells applications apart
// well enough. False when another setup holds it.
bool TakeSetupMutex() {
    char name[MAX_PATH];
    (void)JoinBoundedText(name, sizeof name, "Global\\Tolvanex Setup ",
                          Run.Settings.ApplicationTitle);
    for (char* c = name + sizeof "Global"; *c != '\0'; ++c) {
        if (*c == '\\') {
            *c = '_';
        }
    }
    SetupMutex = CreateMutexA(nullptr, FALSE, name);
    // A mutex made by another user's setup may be closed to this one.
    if (SetupMutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        return false;
    }
    if (SetupMutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(SetupMutex);
        SetupMutex = nullptr;
        return false;
    }
    return true; // without a mutex at all the run goes on, as before
}

// Ends the run: the log's last line and the exit code.
int EndRun(SetupOutcome outcome) {
    if (SetupMutex != nullptr) {
        CloseHandle(SetupMutex);
        SetupMutex = nullptr;
    }
    int code = SetupExitCode(outcome, Run.Options.mode);
    CloseRunLog(SetupRunLog, code);
    return code;
}

// The command line's values over the script's and the registry's defaults.
// A destination from the command line is taken as given, not expanded.
void ApplyOptions() {
    const SetupOptions& o = Run.Options;
    if (o.directory[0] != '\0') {
        (void)CopyBoundedText(Run.DestinationDirectory, kPathSize, o.directory); // both kPathSize
        for (char* c = Run.DestinationDirectory; *c != '\0'; ++c) {
            *c = *c == '/' ? '\\' : *c;
        }
    }
    if (o.userName[0] != '\0') {
        (void)CopyBoundedText(Run.RegisteredUserName, kTextSize, o.userName);
        (void)CopyBoundedText(Run.UserName, kTextSize, o.userName);
    }
    if (o.companyName[0] != '\0') {
        (void)CopyBoundedText(Run.RegisteredCompanyName, kTextSize, o.companyName);
        (void)CopyBoundedText(Run.CompanyName, kTextSize, o.companyName);
    }
    // The user-information page's defaults, as if its Next had been clicked.
    if (IsUnattended(o) && Run.Settings.ShowUserInfo != 0) {
        (void)CopyBoundedText(Run.UserName, kTextSize, Run.RegisteredUserName);
        (void)CopyBoundedText(Run.CompanyName, kTextSize, Run.RegisteredCompanyName);
    }
}

void ShowPreparingDialog() {
    if (Run.Options.mode == SetupMode::Quiet) {
        return;
    }
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
    bool pauses = !IsUnattended(Run.Options);
    if (pauses) {
        Sleep(500);
    }
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
    if (pauses) {
        Sleep(250);
    }
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

int RunSetup(HINSTANCE instance, const char* commandLine) {
    RestrictDllSearchToSystemDirectory();
    Run.Instance = instance;
    SetPageResources(instance);
    bool goodCommandLine = ParseSetupOptions(commandLine, &Run.Options);
    if (Run.Options.help) {
        ShowHelp();
        return 0;
    }
    char programPath[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, programPath, MAX_PATH);
    // A wizard run passes over a log it cannot make, as over any bad switch.
    if (!OpenRunLog(SetupRunLog, Run.Options.logPath, "Tolvanex Setup", programPath, commandLine) &&
        Run.Options.logPath[0] != '\0' && IsUnattended(Run.Options)) {
        return EndRun(SetupOutcome::BadCommandLine);
    }
    if (!goodCommandLine && IsUnattended(Run.Options)) {
        char line[kPathSize + 40];
        (void)JoinBoundedText(line, sizeof line,
                              "Ung\xfcltiges Argument: ", Run.Options.badArgument);
        WriteLogLine(SetupRunLog, line);
        return EndRun(SetupOutcome::BadCommandLine);
    }
    if (!IsUserAdministrator()) {
        ShowStartupError(IDS_NOT_ADMINISTRATOR);
        return EndRun(SetupOutcome::NotAdministrator);
    }
    RegisterProgressBarClass(); // without it the bars are missing, nothing more
    ShowPreparingDialog();
    bool staging = CreateStagingDirectory();
    PayloadArchive.Open(programPath);
    if (!staging || PayloadArchive.GetEntryCount() < 1) {
        ShowStartupError(IDS_ARCHIVE_DAMAGED);
        ClosePreparingDialog();
        RemoveDirectoryA(Run.StagingDirectory);
        PayloadArchive.Close();
        return EndRun(SetupOutcome::PayloadDamaged);
    }
    StageSupportFiles();
    Run.BytesPerPercent = Run.AppBytesTotal / 100;
    SetPicturePaths();
    LoadSettings();
    if (!TakeSetupMutex()) {
        ClosePreparingDialog();
        ShowStartupError(IDS_ALREADY_RUNNING);
        CleanUp();
        return EndRun(SetupOutcome::AlreadyRunning);
    }
    ReadRegistryDefaults();
    SetPlaceholderValues(
        {Run.ProgramFilesDirectory, Run.DestinationDirectory, Run.UserName, Run.CompanyName});
    ExpandDestinationDirectory();
    ApplyOptions();
    LoadSystemLibrary("RICHED32.DLL"); // registers the licence and readme pages' "RICHEDIT"
    CreateTitleFont();
    ClosePreparingDialog();
    if (IsUnattended(Run.Options)) {
        RunInstallation();
    } else {
        RunWizard();
    }
    CleanUp();
    return EndRun(Run.ItemFailed ? SetupOutcome::ItemFailed : SetupOutcome::Installed);
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
