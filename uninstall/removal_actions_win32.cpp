#include "uninstall/removal_actions.h"

#include <windows.h>
#include <shlobj.h>

#include "script/setup_script.h"
#include "system/files.h"
#include "system/registry.h"
#include "system/services.h"
#include "system/shell.h"

namespace {

constexpr char kUninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The values the installer writes into its Uninstall key.
const char* const kRegistrationValues[] = {
    "UninstallString", "DisplayName",  "DisplayVersion",
    "Publisher",       "URLInfoAbout", "QuietUninstallString",
    "InstallLocation", "DisplayIcon",  "EstimatedSize",
    "NoModify",        "NoRepair"};
// How long a service gets to stop.
constexpr DWORD kServiceStopMilliseconds = 30000;

RemovalResult Result(RemovalOutcome outcome, DWORD error = 0) {
    return RemovalResult{outcome, static_cast<uint32_t>(error)};
}

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

RemovalResult FromError(DWORD error) {
    if (error == ERROR_SUCCESS || IsGone(error)) {
        return Result(RemovalOutcome::Removed);
    }
    switch (error) {
    case ERROR_DIR_NOT_EMPTY:
        return Result(RemovalOutcome::NotEmpty, error);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return Result(RemovalOutcome::InUse, error);
    case ERROR_ACCESS_DENIED:
        return Result(RemovalOutcome::AccessDenied, error);
    default:
        return Result(RemovalOutcome::Failed, error);
    }
}

// The platform layer's HRESULT, read back as the error it carries.
RemovalResult FromResult(HRESULT result) {
    return FromError(SUCCEEDED(result) ? ERROR_SUCCESS : static_cast<DWORD>(HRESULT_CODE(result)));
}

HKEY RootKey(RegistryRoot root) {
    return PredefinedKey(static_cast<uint32_t>(root));
}

// The key path as logged, without trailing separators, which the deletion
// calls do not take.
std::string TrimKeyPath(const std::string& keyPath) {
    size_t last = keyPath.find_last_not_of('\\');
    return last == std::string::npos ? std::string() : keyPath.substr(0, last + 1);
}

// The long form of an existing path ("C:\Program Files" for "C:\PROGRA~1"),
// else the path itself.
std::string LongPath(const std::string& path) {
    char buffer[MAX_PATH];
    DWORD length = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
}

// The safety rules once more on the long form, so that a short name cannot
// stand in for a protected folder.
bool IsRemovableOnDisk(const std::string& path, const ProtectedFolders& protectedFolders) {
    return CheckRemovablePath(LongPath(path), protectedFolders) != PathVerdict::Protected;
}

// The folder of the uninstaller, which holds the installation.
std::string InstallationFolder(const RemovalEnvironment& environment) {
    size_t separator = environment.uninstallerPath.find_last_of('\\');
    return separator == std::string::npos ? std::string()
                                          : environment.uninstallerPath.substr(0, separator + 1);
}

// A log names a service by name only: that it runs a program of the
// installation is what makes it the installation's.
bool BelongsToInstallation(SC_HANDLE manager, const std::string& name,
                           const RemovalEnvironment& environment, HRESULT& result) {
    char commandLine[2048];
    result = QueryServiceCommandLine(manager, name.c_str(), commandLine, sizeof commandLine);
    if (FAILED(result)) {
        return false;
    }
    std::string folder = InstallationFolder(environment);
    bool folderIsOwn = CheckRemovablePath(LongPath(folder), environment.protectedFolders) ==
                           PathVerdict::Removable &&
                       !IsInSystemTree(LongPath(folder), environment.systemTrees);
    // Not a function's static: its guarded initialisation would bring the C++
    // runtime's exception support into the program.
    const std::set<std::string> noFiles;
    const std::set<std::string>& files =
        environment.installedFiles != nullptr ? *environment.installedFiles : noFiles;
    return ServiceBelongsToInstallation(commandLine, LongPath(folder), folderIsOwn, files,
                                        environment.systemTrees) ||
           ServiceBelongsToInstallation(commandLine, folder, folderIsOwn, files,
                                        environment.systemTrees);
}

RemovalResult RemoveService(const std::string& name, const RemovalEnvironment& environment) {
    ServiceHandle manager;
    HRESULT result = OpenServiceManager(SC_MANAGER_CONNECT, manager);
    bool stopped = false;
    if (SUCCEEDED(result) && !BelongsToInstallation(manager.handle, name, environment, result) &&
        SUCCEEDED(result)) {
        return Result(RemovalOutcome::ForeignService);
    }
    if (SUCCEEDED(result)) {
        result = StopAndDeleteService(manager.handle, name.c_str(), kServiceStopMilliseconds,
                                      environment.whileWaiting, stopped);
    }
    if (result == HRESULT_FROM_WIN32(ERROR_SERVICE_DOES_NOT_EXIST)) {
        return Result(RemovalOutcome::Removed);
    }
    if (FAILED(result)) {
        return FromResult(result);
    }
    return stopped ? Result(RemovalOutcome::Removed) : Result(RemovalOutcome::StillRunning);
}

RemovalResult RemoveRegistryValue(RegistryRoot root, const std::string& keyPath,
                                  const std::string& valueName) {
    RegistryKey key;
    HRESULT result =
        OpenRegistryKey(RootKey(root), TrimKeyPath(keyPath).c_str(), KEY_SET_VALUE, key);
    if (SUCCEEDED(result)) {
        result = DeleteRegistryValue(key.handle, valueName.c_str());
    }
    return FromResult(result);
}

// Whether the open key holds no subkeys and no values, except, where it
// belongs to the installation, its default value.
RemovalResult CheckKeyIsBare(HKEY key, bool defaultValueIsOurs) {
    RegistryKeyContents contents;
    HRESULT result = InspectRegistryKey(key, contents);
    if (FAILED(result)) {
        return FromResult(result);
    }
    if (contents.subkeys > 0) {
        return Result(RemovalOutcome::HasSubkeys);
    }
    if (contents.namedValues || (contents.defaultValue && !defaultValueIsOurs)) {
        return Result(RemovalOutcome::HasForeignValues);
    }
    return Result(RemovalOutcome::Removed);
}

RemovalResult RemoveRegistryKey(HKEY root, const std::string& keyPath, bool defaultValueIsOurs) {
    std::string path = TrimKeyPath(keyPath);
    RegistryKey key;
    HRESULT result = OpenRegistryKey(root, path.c_str(), KEY_READ, key);
    if (FAILED(result)) {
        return FromResult(result);
    }
    RemovalResult bare = CheckKeyIsBare(key.handle, defaultValueIsOurs);
    if (bare.outcome != RemovalOutcome::Removed) {
        return bare;
    }
    key.Close();
    return FromResult(DeleteRegistryKey(root, path.c_str()));
}

bool SameFile(const std::string& first, const std::string& second) {
    std::string a = NormalizePath(LongPath(first));
    return !a.empty() && a == NormalizePath(LongPath(second));
}

// Whether the open Uninstall key belongs to this program: its UninstallString
// names it, or it has none.
bool IsRegisteredTo(HKEY key, const std::string& uninstallerPath) {
    char value[MAX_PATH] = {};
    HRESULT result = ReadRegistryText(key, "UninstallString", value, sizeof value);
    if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        return true;
    }
    return SUCCEEDED(result) && SameFile(value, uninstallerPath);
}

// The Uninstall key named after the application. It is only ours while its
// UninstallString names this program: a later installation of the same title
// elsewhere has taken it over. An empty title made the installer write into
// the Uninstall key itself, which loses only the values.
RemovalResult RemoveRegistration(const std::string& title, const std::string& uninstallerPath) {
    std::string path = TrimKeyPath(kUninstallKeyPath + title);
    RegistryKey key;
    HRESULT result =
        OpenRegistryKey(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ | KEY_SET_VALUE, key);
    if (FAILED(result)) {
        return FromResult(result);
    }
    if (!IsRegisteredTo(key.handle, uninstallerPath)) {
        return Result(RemovalOutcome::Removed);
    }
    for (const char* value : kRegistrationValues) {
        result = DeleteRegistryValue(key.handle, value);
        if (FAILED(result) && !IsGone(static_cast<DWORD>(HRESULT_CODE(result)))) {
            return FromResult(result);
        }
    }
    if (NormalizeKeyPath(title).empty()) {
        return Result(RemovalOutcome::Removed);
    }
    key.Close();
    return RemoveRegistryKey(HKEY_LOCAL_MACHINE, path, false);
}

RemovalResult RemoveFile(const std::string& path) {
    if (DeleteFileA(path.c_str())) {
        return Result(RemovalOutcome::Removed);
    }
    DWORD error = GetLastError();
    // A read-only file the installer placed is still ours to remove.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
            FILE_ATTRIBUTE_READONLY &&
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (DeleteFileA(path.c_str())) {
            return Result(RemovalOutcome::Removed);
        }
        error = GetLastError();
        SetFileAttributesA(path.c_str(), attributes);
    }
    return FromError(error);
}

RemovalResult RemoveFolder(const std::string& path, const ProtectedFolders& protectedFolders) {
    if (!IsRemovableOnDisk(path, protectedFolders)) {
        return Result(RemovalOutcome::Refused);
    }
    return RemoveDirectoryA(path.c_str()) ? Result(RemovalOutcome::Removed)
                                          : FromError(GetLastError());
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    return lstrcmpiA(a, b) == 0;
}

bool IsPlainFile(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
           0;
}

// What an installation that was cut short leaves besides what its log names:
// the new copy of the log it was about to put in place, and application
// files extracted but not yet moved, in their folder of the destination.
void RemoveTransientFiles(const std::string& folder) {
    DeleteFileA((folder + kUninstallLogName + kUninstallLogUpdateSuffix).c_str());
    const std::string extraction = folder + kExtractionFolder + "\\";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((extraction + kAppEntryPrefix + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (IsPlainFile(entry)) {
                RemoveFile(extraction + entry.cFileName);
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(extraction.c_str());
}

// Whether the folder holds nothing but the uninstaller, so that it can go
// once the uninstaller has.
RemovalResult CheckDestinationFolder(const std::string& folder,
                                     const ProtectedFolders& protectedFolders) {
    if (!IsRemovableOnDisk(folder, protectedFolders)) {
        return Result(RemovalOutcome::Removed);
    }
    RemoveTransientFiles(folder.back() == '\\' ? folder : folder + "\\");
    std::string pattern = folder.back() == '\\' ? folder + "*" : folder + "\\*";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return FromError(GetLastError());
    }
    RemovalResult result = Result(RemovalOutcome::Removed);
    do {
        const char* name = entry.cFileName;
        if (std::string(name) != "." && std::string(name) != ".." &&
            !EqualsIgnoringCase(name, kUninstallerFile)) {
            result = Result(RemovalOutcome::NotEmpty, ERROR_DIR_NOT_EMPTY);
        }
    } while (result.outcome == RemovalOutcome::Removed && FindNextFileA(search, &entry));
    FindClose(search);
    return result;
}

void AddFolder(ProtectedFolders& folders, const char* path, UINT length) {
    if (length > 0 && length < MAX_PATH) {
        folders.push_back(std::string(path, length));
        std::string longForm = LongPath(folders.back());
        if (longForm != folders.back()) {
            folders.push_back(longForm);
        }
    }
}

void AddShellFolders(ProtectedFolders& folders) {
    static const int kShellFolders[] = {
        CSIDL_DESKTOPDIRECTORY,
        CSIDL_COMMON_DESKTOPDIRECTORY,
        CSIDL_PROGRAMS,
        CSIDL_COMMON_PROGRAMS,
        CSIDL_STARTMENU,
        CSIDL_COMMON_STARTMENU,
        CSIDL_STARTUP,
        CSIDL_COMMON_STARTUP,
        CSIDL_PERSONAL,
        CSIDL_APPDATA,
        CSIDL_LOCAL_APPDATA,
        CSIDL_COMMON_APPDATA,
        CSIDL_PROFILE,
        CSIDL_WINDOWS,
        CSIDL_SYSTEM,
        CSIDL_SYSTEMX86,
        CSIDL_PROGRAM_FILES,
        CSIDL_PROGRAM_FILESX86,
        CSIDL_PROGRAM_FILES_COMMON,
        CSIDL_PROGRAM_FILES_COMMONX86,
        CSIDL_FONTS,
        CSIDL_FAVORITES,
        CSIDL_SENDTO,
        CSIDL_TEMPLATES,
        CSIDL_COMMON_DOCUMENTS,
    };
    char path[MAX_PATH];
    for (int folder : kShellFolders) {
        if (SUCCEEDED(GetShellFolderPath(folder, path))) {
            AddFolder(folders, path, static_cast<UINT>(lstrlenA(path)));
        }
    }
}

// A 32-bit program on 64-bit Windows learns the 64-bit folders only here.
void AddEnvironmentFolders(ProtectedFolders& folders) {
    static const char* const kVariables[] = {"ProgramW6432",    "CommonProgramW6432",
                                             "ProgramFiles",    "ProgramFiles(x86)",
                                             "ALLUSERSPROFILE", "PUBLIC"};
    char path[MAX_PATH];
    for (const char* variable : kVariables) {
        AddFolder(folders, path, GetEnvironmentVariableA(variable, path, MAX_PATH));
    }
}

// The directory the installer's %%PROGRAMFILES%% stood for.
void AddRegisteredProgramFiles(ProtectedFolders& folders) {
    RegistryKey key;
    char path[MAX_PATH] = {};
    if (SUCCEEDED(OpenRegistryKey(HKEY_LOCAL_MACHINE,
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", KEY_QUERY_VALUE,
                                  key)) &&
        SUCCEEDED(ReadRegistryText(key.handle, "ProgramFilesDir", path, sizeof path))) {
        AddFolder(folders, path, static_cast<UINT>(lstrlenA(path)));
    }
}

// Whether the folder is a link to elsewhere, asked once per folder.
bool IsLinkedFolder(const std::string& folder, RemovalEnvironment& environment) {
    auto known = environment.links.find(folder);
    if (known != environment.links.end()) {
        return known->second;
    }
    bool link = IsFileSystemLink(folder.c_str());
    environment.links.emplace(folder, link);
    return link;
}

bool IsProtectedFolder(const std::string& folder, const RemovalEnvironment& environment) {
    for (const std::string& known : environment.protectedFolders) {
        if (NormalizePath(known) == folder) {
            return true;
        }
    }
    return false;
}

// Whether a folder between the root and `path` is a link to elsewhere. The
// system's own folders may be links of its making (Wine's desktop and
// documents lead into the host's home directory): they are taken as they are.
bool PassesThroughLink(const std::string& path, RemovalEnvironment& environment) {
    std::string normalized = NormalizePath(path);
    if (normalized.empty()) {
        return false;
    }
    // Past the root: "c:\" or "\\server\share\".
    size_t start = normalized[1] == ':' ? 3 : normalized.find('\\', normalized.find('\\', 2) + 1);
    for (size_t separator = normalized.find('\\', start); separator != std::string::npos;
         separator = normalized.find('\\', separator + 1)) {
        std::string folder = normalized.substr(0, separator);
        if (IsLinkedFolder(folder, environment) && !IsProtectedFolder(folder, environment)) {
            return true;
        }
    }
    return false;
}

bool IsSystemItem(const std::string& path, const RemovalEnvironment& environment) {
    return IsInSystemTree(path, environment.systemTrees) ||
           IsInSystemTree(LongPath(path), environment.systemTrees);
}

// The checks the file system itself decides, before a logged path is
// touched; Removed when it may be.
RemovalResult CheckOnDisk(const RemovalStep& step, RemovalEnvironment& environment) {
    bool isOwn = step.kind == RemovalKind::LogFile || step.kind == RemovalKind::DestinationFolder;
    if (!isOwn && IsSystemItem(step.target, environment)) {
        return Result(RemovalOutcome::SystemItem);
    }
    bool isFolder = step.kind == RemovalKind::Folder || step.kind == RemovalKind::ShellFolder ||
                    step.kind == RemovalKind::DestinationFolder;
    std::string trimmed = step.target.substr(0, step.target.find_last_not_of("\\/") + 1);
    if (PassesThroughLink(step.target, environment) ||
        (isFolder && IsFileSystemLink(trimmed.c_str()))) {
        return Result(RemovalOutcome::ThroughLink);
    }
    return Result(RemovalOutcome::Removed);
}

} // namespace

SystemTrees FindSystemTrees() {
    SystemTrees trees;
    char path[MAX_PATH];
    AddFolder(trees, path, GetWindowsDirectoryA(path, MAX_PATH));
    AddFolder(trees, path, GetSystemDirectoryA(path, MAX_PATH));
    AddFolder(trees, path, GetSystemWow64DirectoryA(path, MAX_PATH));
    if (SUCCEEDED(GetShellFolderPath(CSIDL_WINDOWS, path))) {
        AddFolder(trees, path, static_cast<UINT>(lstrlenA(path)));
    }
    return trees;
}

ProtectedFolders FindProtectedFolders() {
    ProtectedFolders folders;
    char path[MAX_PATH];
    AddFolder(folders, path, GetWindowsDirectoryA(path, MAX_PATH));
    AddFolder(folders, path, GetSystemDirectoryA(path, MAX_PATH));
    AddFolder(folders, path, GetTempPathA(MAX_PATH, path));
    AddShellFolders(folders);
    AddEnvironmentFolders(folders);
    AddRegisteredProgramFiles(folders);
    return folders;
}

RemovalResult PerformRemoval(const RemovalStep& step, void* context) {
    RemovalEnvironment& environment = *static_cast<RemovalEnvironment*>(context);
    switch (step.kind) {
    case RemovalKind::Shortcut:
    case RemovalKind::ShellFolder:
    case RemovalKind::File:
    case RemovalKind::Folder:
    case RemovalKind::LogFile:
    case RemovalKind::DestinationFolder: {
        RemovalResult onDisk = CheckOnDisk(step, environment);
        if (onDisk.outcome != RemovalOutcome::Removed) {
            return onDisk;
        }
        break;
    }
    default:
        break;
    }
    switch (step.kind) {
    case RemovalKind::Service:
        return RemoveService(step.target, environment);
    case RemovalKind::RegistryValue:
        return RemoveRegistryValue(step.root, step.target, step.valueName);
    case RemovalKind::RegistryKey:
        // The installer sets the default value of the keys it creates.
        return RemoveRegistryKey(RootKey(step.root), step.target, true);
    case RemovalKind::Registration:
        return RemoveRegistration(step.target, environment.uninstallerPath);
    case RemovalKind::ShellFolder:
    case RemovalKind::Folder:
        return RemoveFolder(step.target, environment.protectedFolders);
    case RemovalKind::DestinationFolder:
        return CheckDestinationFolder(step.target, environment.protectedFolders);
    default:
        return RemoveFile(step.target);
    }
}
