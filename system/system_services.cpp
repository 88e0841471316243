#include "system_services.h"

#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kDotNetPolicyKey[] = "SOFTWARE\\Microsoft\\.NETFramework\\policy\\v1.0";
constexpr DWORD kWindowsDirectorySize = 512;

// version.dll is not one of the libraries Windows always takes from the
// system directory: imported by name, a copy planted beside setup.exe would
// load with administrator rights. So it is loaded by full path, on use.
struct VersionLibrary {
    using InfoSizeProc = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoProc = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryProc = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

    HMODULE module = nullptr;
    InfoSizeProc getInfoSize = nullptr;
    InfoProc getInfo = nullptr;
    QueryProc queryValue = nullptr;

    VersionLibrary() {
        char path[MAX_PATH];
        const UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length == 0 || length + sizeof "\\version.dll" > MAX_PATH) {
            return;
        }
        std::strcat(path, "\\version.dll");
        module = LoadLibraryA(path);
        if (module != nullptr) {
            getInfoSize = reinterpret_cast<InfoSizeProc>(
                reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoSizeA")));
            getInfo = reinterpret_cast<InfoProc>(
                reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoA")));
            queryValue = reinterpret_cast<QueryProc>(
                reinterpret_cast<void*>(GetProcAddress(module, "VerQueryValueA")));
        }
    }
    ~VersionLibrary() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    VersionLibrary(const VersionLibrary&) = delete;
    VersionLibrary& operator=(const VersionLibrary&) = delete;

    bool IsComplete() const {
        return getInfoSize != nullptr && getInfo != nullptr && queryValue != nullptr;
    }
};

HRESULT CopyFixedVersion(const VersionLibrary& library, const char* path, DWORD handle, DWORD size,
                         void* data, VS_FIXEDFILEINFO* info) {
    if (!library.getInfo(path, handle, size, data)) {
        return HResultFromLastError();
    }
    void* root = nullptr;
    UINT rootSize = 0;
    if (!library.queryValue(data, "\\", &root, &rootSize)) {
        return HResultFromLastError();
    }
    // A malformed resource may carry a shorter root block than the record.
    if (rootSize < sizeof(VS_FIXEDFILEINFO)) {
        return E_FAIL;
    }
    std::memcpy(info, root, sizeof(VS_FIXEDFILEINFO));
    return S_OK;
}

// 0 when %WINDIR%\Microsoft.Net\Framework\v1.0.<build>\1033 is a directory,
// 1 when it is not.
HRESULT CheckFrameworkFolder(const char* build) {
    char folder[kWindowsDirectorySize];
    const UINT length = GetWindowsDirectoryA(folder, kWindowsDirectorySize);
    if (length == 0 || length >= kWindowsDirectorySize) {
        return HResultFromLastError();
    }
    StrCatBuffA(folder, "\\Microsoft.Net\\Framework\\v1.0.", kWindowsDirectorySize);
    StrCatBuffA(folder, build, kWindowsDirectorySize);
    StrCatBuffA(folder, "\\", kWindowsDirectorySize);
    StrCatBuffA(folder, "1033", kWindowsDirectorySize);
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return 0;
    }
    return 1;
}

HRESULT CheckPolicyValue(HKEY policy, const char* build) {
    BYTE data[256];
    DWORD dataSize = sizeof(data);
    const LONG error = RegQueryValueExA(policy, build, nullptr, nullptr, data, &dataSize);
    if (error == ERROR_FILE_NOT_FOUND) {
        return 1;
    }
    // Only the value's presence counts; data longer than the buffer still
    // means the value is there.
    if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) {
        return HResultFromError(error);
    }
    return CheckFrameworkFolder(build);
}

} // namespace

HRESULT HResultFromError(LONG error) {
    if (error > 0) {
        return static_cast<HRESULT>((static_cast<DWORD>(error) & 0xFFFF) | 0x80070000);
    }
    return error < 0 ? error : E_FAIL;
}

HRESULT HResultFromLastError() {
    return HResultFromError(static_cast<LONG>(GetLastError()));
}

HRESULT GetFileVersion(const char* path, VS_FIXEDFILEINFO* info) {
    const VersionLibrary library;
    if (!library.IsComplete()) {
        return HResultFromLastError();
    }
    DWORD handle = 0;
    const DWORD size = library.getInfoSize(path, &handle);
    if (size == 0) {
        return HResultFromLastError();
    }
    void* data = std::malloc(size);
    if (data == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT result = CopyFixedVersion(library, path, handle, size, data, info);
    std::free(data);
    return result;
}

HRESULT IsDotNetInstallNeeded(const char* redistributablePath) {
    VS_FIXEDFILEINFO version;
    const HRESULT versionResult = GetFileVersion(redistributablePath, &version);
    if (FAILED(versionResult)) {
        return versionResult;
    }
    char build[16];
    std::snprintf(build, sizeof(build), "%u",
                  static_cast<unsigned>(HIWORD(version.dwFileVersionLS)));

    HKEY policy = nullptr;
    const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDotNetPolicyKey, 0, KEY_READ, &policy);
    if (error == ERROR_FILE_NOT_FOUND) {
        return 1;
    }
    if (error != ERROR_SUCCESS) {
        return HResultFromError(error);
    }
    const HRESULT answer = CheckPolicyValue(policy, build);
    RegCloseKey(policy);
    return answer;
}
