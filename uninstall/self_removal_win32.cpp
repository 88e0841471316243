// The uninstaller's own removal. A running program's file cannot be deleted,
// and deletion at the next restart alone would leave the program and its
// folder behind until then. So a copy in a new private folder of the
// temporary directory waits for the original to end and deletes it at once;
// only the copy itself is left to the restart. The copy's folder admits
// administrators only, so no other program of the user can place a library
// or another program there for the elevated copy to run.
#include "uninstall/removal_actions.h"

#include <windows.h>

#include "system/security.h"

namespace {

// Repeated attempts to delete the original: the system may hold its image a
// moment after the process has ended.
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeleteRetryMilliseconds = 200;

RemovalResult Failure(DWORD error) {
    return RemovalResult{RemovalOutcome::Failed, static_cast<uint32_t>(error)};
}

// A new, empty folder in the temporary directory, without trailing separator.
bool CreatePrivateFolder(std::string& folder) {
    char temp[MAX_PATH];
    char name[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH || GetTempFileNameA(temp, "~un", 0, name) == 0) {
        return false;
    }
    // The name was reserved as a file; it becomes the folder, which the copy
    // inherits its access list from.
    DeleteFileA(name);
    if (FAILED(CreateAdministratorsOnlyFolder(name))) {
        return false;
    }
    folder = name;
    return true;
}

// Keeps the standard handles this process may have inherited (a script's
// pipes) out of the copy, so nobody waits on them for the copy's sake.
void StopInheritingStandardHandles() {
    const DWORD kStandardHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (DWORD which : kStandardHandles) {
        HANDLE handle = GetStdHandle(which);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
        }
    }
}

bool StartCopy(const std::string& copyPath, const std::string& folder,
               const std::string& uninstallerPath, DWORD& error) {
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0)) {
        error = GetLastError();
        return false;
    }
    std::string commandLine =
        "\"" + copyPath + "\" " +
        FormatCleanupArguments(reinterpret_cast<uintptr_t>(self), uninstallerPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    StopInheritingStandardHandles();
    BOOL started = CreateProcessA(copyPath.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                  nullptr, folder.c_str(), &startup, &process);
    error = started ? ERROR_SUCCESS : GetLastError();
    CloseHandle(self);
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return started != FALSE;
}

bool DeleteWithRetries(const std::string& path) {
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        if (DeleteFileA(path.c_str())) {
            return true;
        }
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return true;
        }
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
            return false;
        }
        Sleep(kDeleteRetryMilliseconds);
    }
    return false;
}

std::string ParentFolder(const std::string& path) {
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

void ScheduleOwnRemoval() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    // Files before their folder: the restart works through them in order.
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(ParentFolder(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

} // namespace

RemovalResult StartSelfRemoval(const std::string& uninstallerPath) {
    std::string folder;
    if (!CreatePrivateFolder(folder)) {
        return Failure(GetLastError());
    }
    std::string copyPath = folder + "\\" + kUninstallerFile;
    DWORD error = ERROR_SUCCESS;
    if (CopyFileA(uninstallerPath.c_str(), copyPath.c_str(), TRUE)) {
        // The copy must not keep the destination folder busy, nor must this
        // process while the copy waits for it.
        SetCurrentDirectoryA(folder.c_str());
        if (StartCopy(copyPath, folder, uninstallerPath, error)) {
            return RemovalResult{RemovalOutcome::Removed, 0};
        }
    } else {
        error = GetLastError();
    }
    DeleteFileA(copyPath.c_str());
    RemoveDirectoryA(folder.c_str());
    return Failure(error);
}

int RunCleanup(const UninstallOptions& options, const ProtectedFolders& protectedFolders) {
    HANDLE original = reinterpret_cast<HANDLE>(options.waitHandle);
    WaitForSingleObject(original, INFINITE);
    CloseHandle(original);
    bool removed =
        CheckRemovablePath(options.cleanupPath, protectedFolders) == PathVerdict::Removable &&
        DeleteWithRetries(options.cleanupPath);
    if (removed) {
        // Under the same rules as every logged folder: only when empty and
        // never a system folder.
        RemovalEnvironment environment{options.cleanupPath, protectedFolders, nullptr};
        environment.systemTrees = FindSystemTrees();
        RemovalStep folder{RemovalKind::Folder, ParentFolder(options.cleanupPath),
                           RegistryRoot::LocalMachine, std::string(), false};
        bool mustPerform = false;
        CheckStep(folder, protectedFolders, mustPerform);
        removed =
            mustPerform && PerformRemoval(folder, &environment).outcome == RemovalOutcome::Removed;
    }
    ScheduleOwnRemoval();
    return removed ? 0 : 1;
}
