// The installation after the ready page: folders, application files, the
// uninstaller, the .NET Framework, the Uninstall registration, shell folders,
// shortcuts, registry entries and services, each recorded in uninstall.log
// as it is done. No failure stops it; each is reported or passed over, and
// each item's result goes into the /log file.
#include "driver/setup_driver.h"

#include <commctrl.h>

#include <cstring>

#include "driver/install_data.h"
#include "driver/uninstall_log.h"
#include "resources/resource_ids.h"
#include "script/constant_names.h"
#include "script/placeholders.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "system/bounded_text.h"
#include "system/processes.h"
#include "system/registry.h"
#include "system/security.h"
#include "system/services.h"
#include "system/shell.h"
#include "system/system_services.h"
#include "ui/page_frame.h"

namespace {

constexpr int kDecimal = 10;

// The key of list item `index` in one of the script's "%s..." key forms.
struct ItemKey {
    char text[kListKeySize];
    ItemKey(int index, const char* keyFormat) { FormatListKey(keyFormat, index, text); }
};

void ReadText(const char* section, const char* key, char* buffer, uint32_t size) {
    SetupScript.ReadString(section, key, buffer, size, "");
}

// Reads a script value and expands its placeholders in place.
void ReadExpanded(const char* section, const char* key, char* buffer, uint32_t size) {
    ReadText(section, key, buffer, size);
    char* expanded = ExpandPlaceholders(buffer);
    if (expanded != nullptr) {
        // Cut to the value's buffer, as the value itself was read.
        (void)CopyBoundedText(buffer, size, expanded);
        delete[] expanded;
    }
}

// Reads a value with the size and expansion the script's table gives it.
void ReadValue(const char* section, const char* key, char* buffer, uint32_t size, bool expanded) {
    if (expanded) {
        ReadExpanded(section, key, buffer, size);
    } else {
        ReadText(section, key, buffer, size);
    }
}

void ReadListValue(const char* section, const char* keyFormat, int index, char* buffer,
                   uint32_t size, bool expanded) {
    ReadValue(section, ItemKey(index, keyFormat).text, buffer, size, expanded);
}

// `Key` of list item `index` (or the key `name` for [files]), into a buffer
// no smaller than the table's size for it.
template <const char* Section, const char* Key, size_t N>
inline void ReadItem(const char* name, char (&buffer)[N]) {
    constexpr SetupKeyRule rule = SetupRuleOf(Section, Key);
    static_assert(rule.size > 0 && static_cast<size_t>(rule.size) <= N, "a buffer per row");
    ReadValue(Section, name, buffer, rule.size, rule.expanded);
}

template <const char* Section, const char* Key, size_t N>
inline void ReadItem(int index, char (&buffer)[N]) {
    constexpr SetupKeyRule rule = SetupRuleOf(Section, Key);
    static_assert(rule.size > 0 && static_cast<size_t>(rule.size) <= N, "a buffer per row");
    ReadListValue(Section, Key, index, buffer, rule.size, rule.expanded);
}

void Repaint() {
    UpdateWindow(Run.ProgressPage);
}

// A folder that exists already counts as made; a file in its place does not.
DWORD FolderResult(BOOL created, const char* path) {
    if (created) {
        return 0;
    }
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return 0;
    }
    return error != 0 ? error : static_cast<DWORD>(ERROR_DIRECTORY);
}

// The calling thread's last error, never 0: for a failure without one.
DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

void SetProgress(int position) {
    SendDlgItemMessageA(Run.ProgressPage, IDC_PROGRESS_BAR, PBM_SETPOS,
                        static_cast<WPARAM>(position), 0);
}

// Creates every missing level of `path`, from the top down; the last, the
// installation's own folder, only administrators may change. One that
// exists keeps its access list.
void CreateDirectoryLevels(const char* path) {
    char partial[MAX_PATH];
    if (!CopyBoundedText(partial, sizeof partial, path)) {
        return; // the levels of a cut path are another folder's
    }
    size_t start = (partial[0] == '\\' && partial[1] == '\\') ? 2 : 0; // \\server\share
    for (char* p = partial + start; *p != '\0'; ++p) {
        // A trailing separator ends the last level, which is made below.
        if (*p == '\\' && p > partial && p[-1] != ':' && p[1] != '\0') {
            *p = '\0';
            CreateDirectoryA(partial, nullptr);
            *p = '\\';
        }
    }
    HRESULT result = CreateInstallationFolder(partial);
    SetLastError(ErrorFromResult(result));
    ReportItem("Zielordner", partial, FolderResult(SUCCEEDED(result), partial));
}

void ShowErrorWithName(UINT textId, const char* caption, const char* name) {
    char* format = LoadResourceString(textId);
    char* text = FormatWithString(format, name);
    ShowRunMessage(Run.ProgressPage, text, caption, MB_OK | MB_ICONERROR);
    delete[] text;
    delete[] format;
}

// A log path that does not fit leaves the log unbound: nothing is written.
void StartLog(UninstallLogWriter& log) {
    // A destination of 259 characters takes no backslash; the log's path
    // does not fit then either.
    (void)EnsureTrailingBackslash(Run.DestinationDirectory, kPathSize);
    char path[MAX_PATH];
    if (!JoinBoundedText(path, sizeof path, Run.DestinationDirectory, kUninstallLogName)) {
        path[0] = '\0';
    }
    StartUninstallLog(log, UninstallLog, path, Run.Settings.ApplicationTitle);
}

void PlaceInstallDirectory(char* path) {
    const char* replaced = ReplaceAll(path, kInstallDirToken, Run.DestinationDirectory);
    if (replaced != path) {
        (void)CopyBoundedText(path, kPathSize, replaced); // cut like an expanded value
    }
}

void CreateFolders(UninstallLogWriter& log) {
    int count = SetupScript.ReadInt(kFoldersSection, kCountKey, 0, kDecimal);
    (void)CreateInstallationFolder(Run.DestinationDirectory); // made and reported before
    LogFolderCount(log, count);
    // Each item is logged before it is made: an installation cut short
    // leaves nothing the log does not name.
    for (int j = 1; j <= count; ++j) {
        char path[MAX_PATH];
        ReadItem<kFoldersSection, kPlainItemKey>(j, path);
        LogFolder(log, j, path);
        ReportItem("Ordner", path, FolderResult(CreateDirectoryA(path, nullptr), path));
    }
}

void ReportFileNotCopied(const char* target, DWORD error) {
    ReportItem("Datei", target, error);
    char* caption = LoadResourceString(IDS_ERROR_CAPTION);
    ShowErrorWithName(IDS_COPY_FAILED, caption, target);
    delete[] caption;
}

// Logs an application file's target. A target that exists already is first
// recorded as replaced, whether or not it then is, so that the uninstaller
// leaves the file in its place; when that record cannot be written, nothing
// is logged and the target must not be touched.
bool LogTarget(UninstallLogWriter& log, const char* target) {
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        !LogReplacedFile(log, target)) {
        return false;
    }
    LogFile(log, target);
    return true;
}

// Moves an extracted application file to its target, replacing one there.
void MoveToTarget(const char* source, const char* target) {
    if (MoveFileA(source, target)) {
        ReportItem("Datei", target, 0);
        return;
    }
    DeleteFileA(target);
    if (MoveFileA(source, target)) {
        ReportItem("Datei", target, 0);
        return;
    }
    ReportFileNotCopied(target, LastErrorOr(ERROR_WRITE_FAULT));
    DeleteFileA(source);
}

// Files are extracted into a folder of the destination whose name the
// uninstaller knows, and logged before they are moved to their targets: a
// file cut short by an ended installation is either named in the log or lies
// in that folder.
void InstallApplicationFile(int index, const ArchiveEntryInfo& info, const char* extraction,
                            UninstallLogWriter& log) {
    Repaint();
    bool extracted = extraction[0] != '\0' &&
                     PayloadArchive.ExtractEntry(index, extraction, false, ReportInstallProgress);
    char key[sizeof info.name];
    // No longer than the name it is cut from.
    (void)CopyBoundedText(key, sizeof key, ReplaceAll(info.name, kAppEntryPrefix, ""));
    char target[MAX_PATH];
    ReadItem<kFilesSection, kPlainItemKey>(key, target);
    char source[MAX_PATH];
    // A name that leads out of the destination, or one too long for it, was
    // not extracted; moving whatever file that name reaches would be wrong.
    const bool placeable =
        extracted && JoinBoundedText(source, sizeof source, extraction, info.name);
    if (!LogTarget(log, target)) {
        ReportFileNotCopied(target, LastErrorOr(ERROR_WRITE_FAULT));
        if (placeable) {
            DeleteFileA(source);
        }
    } else if (placeable) {
        MoveToTarget(source, target);
    } else {
        ReportFileNotCopied(target, ERROR_WRITE_FAULT);
    }
}

// Returns whether uninstall.exe was extracted into the destination.
bool InstallFiles(UninstallLogWriter& log) {
    char extraction[MAX_PATH];
    // Without room for the folder's name no file can be extracted into it;
    // each is then reported as not copied.
    if (!JoinBoundedText(extraction, sizeof extraction, Run.DestinationDirectory,
                         kExtractionFolder) ||
        !AppendBoundedText(extraction, sizeof extraction, "\\")) {
        extraction[0] = '\0';
    }
    PayloadArchive.SetExtractDirectory(Run.DestinationDirectory);
    bool uninstallerPlaced = false;
    int count = PayloadArchive.GetEntryCount();
    for (int k = 0; k < count; ++k) {
        ArchiveEntryInfo info;
        if (!PayloadArchive.GetEntryInfo(k, &info)) {
            continue;
        }
        if (IsApplicationEntry(info.name)) {
            InstallApplicationFile(k, info, extraction, log);
        } else if (IsUninstallerEntry(info.name)) {
            uninstallerPlaced = PayloadArchive.ExtractEntry(k, nullptr, false, nullptr);
            char path[MAX_PATH];
            if (!JoinBoundedText(path, sizeof path, Run.DestinationDirectory, kUninstallerFile)) {
                uninstallerPlaced = false;
            }
            ReportItem("Deinstallationsprogramm", path, uninstallerPlaced ? 0 : ERROR_WRITE_FAULT);
            Repaint();
        }
    }
    if (extraction[0] != '\0') {
        RemoveDirectoryA(extraction);
    }
    LogFileCount(log);
    return uninstallerPlaced;
}

// A failing decision skips the step, like a framework already present.
void InstallDotNetFramework() {
    constexpr SetupKeyRule rule = SetupRuleOf(kMainSection, kDotNetKey);
    if (!SetupScript.ReadBool(kMainSection, kDotNetKey, rule.fallbackFlag)) {
        return;
    }
    char installer[MAX_PATH];
    if (!JoinBoundedText(installer, sizeof installer, Run.StagingDirectory,
                         kDotNetRedistributableFile) ||
        IsDotNetInstallNeeded(installer) != 1) {
        return;
    }
    char commandLine[MAX_PATH + 100];
    if (FormatDotNetCommandLine(installer, commandLine, sizeof commandLine)) {
        DWORD exitCode = RunAndWait(commandLine);
        // A restart that the framework asks for is setup's success too.
        bool done = exitCode == 0 || exitCode == ERROR_SUCCESS_REBOOT_REQUIRED;
        // A process that could not start returns its HRESULT.
        DWORD error = static_cast<HRESULT>(exitCode) < 0
                          ? ErrorFromResult(static_cast<HRESULT>(exitCode))
                          : exitCode;
        ReportItem(".NET Framework", installer, done ? 0 : error);
    }
    SetProgress(100);
}

// Without a title the key would be the Uninstall key itself. Without
// uninstall.exe in place the entry could not remove anything: it is not
// made.
void RegisterUninstaller(bool uninstallerPlaced) {
    const SetupSettings& s = Run.Settings;
    if (s.ApplicationTitle[0] == '\0' || !uninstallerPlaced) {
        return;
    }
    char path[MAX_PATH + 64];
    char uninstaller[MAX_PATH];
    // A cut key would be another application's, a cut UninstallString
    // another program.
    if (!JoinBoundedText(path, sizeof path, kUninstallRegistrationKey, s.ApplicationTitle) ||
        !JoinBoundedText(uninstaller, sizeof uninstaller, Run.DestinationDirectory,
                         kUninstallerFile)) {
        return;
    }
    DWORD attributes = GetFileAttributesA(uninstaller);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    char fullPath[MAX_PATH + 96];
    (void)JoinBoundedText(fullPath, sizeof fullPath, "HKEY_LOCAL_MACHINE\\", path); // for the log
    RegistryKey key;
    bool created = false;
    HRESULT result = CreateRegistryKey(HKEY_LOCAL_MACHINE, path, key, created);
    if (FAILED(result)) {
        ReportItem("Deinstallationseintrag", fullPath, ErrorFromResult(result));
        return;
    }
    char quiet[MAX_PATH + 16];
    // Only a whole path is worth quoting: a cut one would start another program.
    bool quietFits = JoinBoundedText(quiet, sizeof quiet, "\"", uninstaller) &&
                     AppendBoundedText(quiet, sizeof quiet, "\" /quiet");
    // Kilobytes, rounded up, of the application's files.
    DWORD kilobytes = (static_cast<DWORD>(Run.AppBytesTotal) + 1023) / 1024;
    const DWORD one = 1;
    // A value that cannot be written is passed over, like the key; the
    // first failure is reported.
    HRESULT results[] = {
        SetRegistryText(key.handle, "UninstallString", uninstaller),
        SetRegistryText(key.handle, "DisplayName", s.ApplicationTitle),
        SetRegistryText(key.handle, "DisplayVersion", s.ApplicationVersion),
        SetRegistryText(key.handle, "Publisher", s.PublisherName),
        SetRegistryText(key.handle, "URLInfoAbout", s.PublisherUrl),
        quietFits ? SetRegistryText(key.handle, "QuietUninstallString", quiet)
                  : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE),
        SetRegistryText(key.handle, "InstallLocation", Run.DestinationDirectory),
        SetRegistryText(key.handle, "DisplayIcon", uninstaller),
        SetRegistryValue(key.handle, "EstimatedSize", REG_DWORD, &kilobytes, sizeof kilobytes),
        SetRegistryValue(key.handle, "NoModify", REG_DWORD, &one, sizeof one),
        SetRegistryValue(key.handle, "NoRepair", REG_DWORD, &one, sizeof one),
    };
    for (HRESULT r : results) {
        if (FAILED(r)) {
            result = r;
            break;
        }
    }
    ReportItem("Deinstallationseintrag", fullPath, ErrorFromResult(result));
}

void CreateShellFolders(UninstallLogWriter& log) {
    int count = SetupScript.ReadInt(kShellFoldersSection, kCountKey, 0, kDecimal);
    for (int i = 0; i < count; ++i) {
        char path[MAX_PATH];
        ReadItem<kShellFoldersSection, kPlainItemKey>(i, path);
        LogShellFolder(log, i, path);
        ReportItem("Shell-Ordner", path, FolderResult(CreateDirectoryA(path, nullptr), path));
    }
    LogShellFolderCount(log, count);
}

void CreateShellItems(UninstallLogWriter& log) {
    int count = SetupScript.ReadInt(kShellItemsSection, kCountKey, 0, kDecimal);
    for (int i = 0; i < count; ++i) {
        char target[MAX_PATH], shortcut[MAX_PATH], description[kTextSize];
        char workingDirectory[MAX_PATH], arguments[MAX_PATH];
        ReadItem<kShellItemsSection, kShortcutTargetKey>(i, target);
        ReadItem<kShellItemsSection, kShortcutFileKey>(i, shortcut);
        ReadItem<kShellItemsSection, kShortcutDescriptionKey>(i, description);
        ReadItem<kShellItemsSection, kShortcutWorkingDirectoryKey>(i, workingDirectory);
        ReadItem<kShellItemsSection, kShortcutArgumentsKey>(i, arguments);
        LogShellItem(log, i, shortcut);
        ReportItem("Verkn\xfcpfung", shortcut,
                   ErrorFromResult(
                       CreateShortcut(target, shortcut, description, arguments, workingDirectory)));
    }
    LogShellItemCount(log, count);
}

struct RegistryEntry {
    char root[kRegistryNameSize];
    char key[MAX_PATH];
    char value[MAX_PATH];
    char data[MAX_PATH];
    char type[kRegistryNameSize];
};

HRESULT SetEntryValue(HKEY key, const char* name, const RegistryEntry& entry) {
    DWORD type = RegistryValueTypeFromName(entry.type);
    unsigned char data[MAX_PATH];
    int32_t size = EncodeRegistryData(type, entry.data, data, sizeof data);
    if (size >= 0) {
        return SetRegistryValue(key, name, type, data, static_cast<DWORD>(size));
    }
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
}

// The entry's key as the log names it: root, key and, for a value, its name.
void ReportRegistryEntry(const RegistryEntry& entry, HRESULT result) {
    char target[kRegistryNameSize + 2 * MAX_PATH + 4];
    (void)JoinBoundedText(target, sizeof target, entry.root, "\\");
    (void)AppendBoundedText(target, sizeof target, entry.key);
    if (entry.value[0] != '\0') {
        (void)AppendBoundedText(target, sizeof target, "\\");
        (void)AppendBoundedText(target, sizeof target, entry.value);
    }
    ReportItem(entry.value[0] == '\0' ? "Registrierungsschl\xfcssel" : "Registrierungswert", target,
               ErrorFromResult(result));
}

// A key entry creates its key and, with data, sets its default value; only
// a key that did not exist before is logged.
void WriteRegistryKey(const RegistryEntry& entry, UninstallLogWriter& log) {
    RegistryKey key;
    bool created = false;
    HRESULT result =
        CreateRegistryKey(PredefinedKey(RootKeyFromName(entry.root)), entry.key, key, created);
    if (FAILED(result)) {
        ReportRegistryEntry(entry, result);
        return;
    }
    if (entry.data[0] != '\0') {
        result = SetEntryValue(key.handle, nullptr, entry);
    }
    key.Close();
    ReportRegistryEntry(entry, result);
    if (created) {
        LogCreatedRegistryKey(log, entry.root, entry.key);
    }
}

// A value entry never creates its key.
void WriteRegistryValue(const RegistryEntry& entry, UninstallLogWriter& log) {
    RegistryKey key;
    HRESULT result =
        OpenRegistryKey(PredefinedKey(RootKeyFromName(entry.root)), entry.key, KEY_SET_VALUE, key);
    if (FAILED(result)) {
        ReportRegistryEntry(entry, result);
        return;
    }
    result = SetEntryValue(key.handle, entry.value, entry);
    key.Close();
    ReportRegistryEntry(entry, result);
    LogWrittenRegistryValue(log, entry.root, entry.key, entry.value);
}

void WriteRegistry(UninstallLogWriter& log) {
    int count = SetupScript.ReadInt(kRegistrySection, kCountKey, 0, kDecimal);
    for (int i = 0; i < count; ++i) {
        RegistryEntry entry;
        ReadItem<kRegistrySection, kRegistryRootKey>(i, entry.root);
        ReadItem<kRegistrySection, kRegistryKeyPathKey>(i, entry.key);
        ReadItem<kRegistrySection, kRegistryValueNameKey>(i, entry.value);
        ReadItem<kRegistrySection, kRegistryDataKey>(i, entry.data);
        ReadItem<kRegistrySection, kRegistryTypeKey>(i, entry.type);
        if (entry.value[0] == '\0') {
            WriteRegistryKey(entry, log);
        } else {
            WriteRegistryValue(entry, log);
        }
    }
}

void CreateOneService(SC_HANDLE manager, int i, UninstallLogWriter& log) {
    char name[kServiceNameSize], displayName[kServiceNameSize], binaryPath[MAX_PATH];
    char errorControl[kServiceSettingSize], startType[kServiceSettingSize],
        type[kServiceSettingSize];
    ReadItem<kServiceSection, kServiceNameKey>(i, name);
    ReadItem<kServiceSection, kServiceDisplayNameKey>(i, displayName);
    ReadItem<kServiceSection, kServiceBinaryPathKey>(i, binaryPath);
    ReadItem<kServiceSection, kServiceErrorControlKey>(i, errorControl);
    ReadItem<kServiceSection, kServiceStartTypeKey>(i, startType);
    ReadItem<kServiceSection, kServiceTypeKey>(i, type);
    ServiceDefinition service{name,
                              displayName,
                              binaryPath,
                              ServiceTypeFromName(type),
                              StartTypeFromName(startType),
                              ErrorControlFromName(errorControl)};
    HRESULT result = CreateWin32Service(manager, service);
    ReportItem("Dienst", name, ErrorFromResult(result));
    if (FAILED(result)) {
        ShowErrorWithName(IDS_SERVICE_FAILED, "Fehler", name);
        return;
    }
    LogService(log, i, name);
}

// Without the service manager the whole step is skipped, without a message.
void CreateServices(UninstallLogWriter& log) {
    int count = SetupScript.ReadInt(kServiceSection, kCountKey, 0, kDecimal);
    ServiceHandle manager;
    HRESULT result = OpenServiceManager(SC_MANAGER_ALL_ACCESS, manager);
    if (FAILED(result)) {
        if (count > 0) {
            ReportItem("Dienstverwaltung", "", ErrorFromResult(result));
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        CreateOneService(manager.handle, i, log);
    }
}

void ShowFinishPage() {
    const SetupSettings& s = Run.Settings;
    FinishPageContext context{&CurrentPageFrame(), s.DoneShowReadme != 0, s.DoneShowLaunch != 0,
                              s.DoneReadmePath, s.DoneLaunchPath};
    DialogBoxParamA(Run.Instance, MAKEINTRESOURCEA(IDD_FINISH_PAGE), nullptr, FinishPageProc,
                    reinterpret_cast<LPARAM>(&context));
}

} // namespace

void RunInstallation() {
    CreateDirectoryLevels(Run.DestinationDirectory);
    ProgressPageContext progress{&CurrentPageFrame(), &Run.BytesInstalled, Run.BytesPerPercent};
    if (Run.Options.mode != SetupMode::Quiet) {
        Run.ProgressPage =
            CreateDialogParamA(Run.Instance, MAKEINTRESOURCEA(IDD_PROGRESS_PAGE), nullptr,
                               ProgressPageProc, reinterpret_cast<LPARAM>(&progress));
        ShowWindow(Run.ProgressPage, SW_SHOW);
    }
    Repaint();
    SendDlgItemMessageA(Run.ProgressPage, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    UninstallLogWriter log{};
    StartLog(log);
    PlaceInstallDirectory(Run.Settings.DoneLaunchPath);
    PlaceInstallDirectory(Run.Settings.DoneReadmePath);
    CreateFolders(log);
    bool uninstallerPlaced = InstallFiles(log);
    InstallDotNetFramework();
    RegisterUninstaller(uninstallerPlaced);
    CreateShellFolders(log);
    CreateShellItems(log);
    WriteRegistry(log);
    CreateServices(log);
    FinishUninstallLog(log);
    if (Run.ProgressPage != nullptr) {
        DestroyWindow(Run.ProgressPage);
        Run.ProgressPage = nullptr;
    }
    // Nothing is opened or started at the end of an unattended run.
    if (!IsUnattended(Run.Options)) {
        ShowFinishPage();
    }
}
