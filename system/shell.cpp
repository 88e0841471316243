#include "shell.h"

#include <shlobj.h>

#include "system/system_services.h"

namespace {

HRESULT SaveShellLink(IShellLinkA* link, const char* shortcutPath) {
    IPersistFile* file = nullptr;
    HRESULT result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(result)) {
        return result;
    }
    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath, MAX_PATH) == 0) {
        result = HResultFromLastError();
    } else {
        result = file->Save(widePath, TRUE);
    }
    file->Release();
    return result;
}

} // namespace

HRESULT GetShellFolderPath(int folder, char* buffer) {
    LPITEMIDLIST items = nullptr;
    HRESULT result = SHGetSpecialFolderLocation(nullptr, folder, &items);
    if (FAILED(result)) {
        return result;
    }
    char path[MAX_PATH] = "";
    result = SHGetPathFromIDListA(items, path) ? S_OK : E_FAIL;
    if (SUCCEEDED(result)) {
        lstrcpynA(buffer, path, MAX_PATH);
    }
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator))) {
        allocator->Free(items);
        allocator->Release();
    }
    return result;
}

void GetDesktopPath(char* buffer) {
    (void)GetShellFolderPath(CSIDL_DESKTOP, buffer); // unchanged when the shell cannot name it
}

void GetProgramsMenuPath(char* buffer) {
    (void)GetShellFolderPath(CSIDL_PROGRAMS, buffer);
}

HRESULT CreateShortcut(const char* target, const char* shortcutPath, const char* description,
                       const char* arguments, const char* workingDirectory) {
    // A thread whose COM is already set up differently must not lose it.
    const HRESULT initialised = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) {
        link->SetPath(target);
        link->SetDescription(description);
        link->SetArguments(arguments);
        link->SetWorkingDirectory(workingDirectory);
        result = SaveShellLink(link, shortcutPath);
        link->Release();
    }
    if (SUCCEEDED(initialised)) {
        CoUninitialize();
    }
    return result;
}
