#include "processes.h"

#include <commctrl.h>

#include "system/bounded_text.h"
#include "system/system_services.h"

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

bool searchRestricted = false;

} // namespace

bool RestrictDllSearchToSystemDirectory() {
    SetDllDirectoryA("");
    // Looked up at run time: older systems lack it without their update.
    auto setDefault = FindLibraryFunction<SetDefaultDllDirectoriesFunction>(
        GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    searchRestricted = setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    return searchRestricted;
}

HMODULE LoadSystemLibrary(const char* fileName) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendBoundedText(path, sizeof path, "\\") ||
        !AppendBoundedText(path, sizeof path, fileName)) {
        return nullptr;
    }
    // Without the restricted search, the library's own dependencies are
    // looked for beside it (in the system directory) before anywhere else.
    return LoadLibraryExA(path, nullptr, searchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool RegisterProgressBarClass() {
    auto initialise = FindLibraryFunction<InitCommonControlsExFunction>(
        LoadSystemLibrary("comctl32.dll"), "InitCommonControlsEx");
    if (initialise == nullptr) {
        return false;
    }
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    return initialise(&classes) != FALSE;
}

DWORD RunAndWait(char* commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    SECURITY_ATTRIBUTES processSecurity = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    SECURITY_ATTRIBUTES threadSecurity = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, &processSecurity, &threadSecurity, FALSE,
                        DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
        return static_cast<DWORD>(HResultFromLastError());
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) {
        exitCode = static_cast<DWORD>(HResultFromLastError());
    }
    CloseHandle(process.hProcess);
    return exitCode;
}
