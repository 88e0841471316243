#include "services.h"

#include "system/system_services.h"

namespace {

constexpr DWORD kPollMilliseconds = 250;

// Closes a process handle on every path.
struct ProcessHandle {
    HANDLE handle = nullptr;
    ~ProcessHandle() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};

bool HasStopped(SC_HANDLE service, HANDLE process) {
    SERVICE_STATUS status = {};
    bool stateStopped =
        !QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED;
    return stateStopped && (process == nullptr || WaitForSingleObject(process, 0) == WAIT_OBJECT_0);
}

bool StopService(SC_HANDLE service, DWORD timeoutMilliseconds, void (*whileWaiting)()) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed) ||
        status.dwCurrentState == SERVICE_STOPPED) {
        return true;
    }
    ProcessHandle process;
    if ((status.dwServiceType & SERVICE_WIN32_OWN_PROCESS) != 0 && status.dwProcessId != 0) {
        process.handle = OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId);
    }
    SERVICE_STATUS control = {};
    ControlService(service, SERVICE_CONTROL_STOP, &control);
    for (DWORD waited = 0; waited <= timeoutMilliseconds; waited += kPollMilliseconds) {
        if (HasStopped(service, process.handle)) {
            return true;
        }
        if (whileWaiting != nullptr) {
            whileWaiting();
        }
        Sleep(kPollMilliseconds);
    }
    return false;
}

} // namespace

ServiceHandle::~ServiceHandle() {
    if (handle != nullptr) {
        CloseServiceHandle(handle);
    }
}

HRESULT OpenServiceManager(DWORD access, ServiceHandle& manager) {
    manager.handle = OpenSCManagerA(nullptr, nullptr, access);
    return manager.handle != nullptr ? S_OK : HResultFromLastError();
}

HRESULT CreateWin32Service(SC_HANDLE manager, const ServiceDefinition& service) {
    ServiceHandle created;
    created.handle =
        CreateServiceA(manager, service.name, service.displayName, SERVICE_ALL_ACCESS, service.type,
                       service.startType, service.errorControl, service.binaryPath, nullptr,
                       nullptr, nullptr, nullptr, nullptr);
    return created.handle != nullptr ? S_OK : HResultFromLastError();
}

HRESULT StopAndDeleteService(SC_HANDLE manager, const char* name, DWORD timeoutMilliseconds,
                             void (*whileWaiting)(), bool& stopped) {
    stopped = false;
    ServiceHandle service;
    service.handle = OpenServiceA(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (service.handle == nullptr) {
        return HResultFromLastError();
    }
    stopped = StopService(service.handle, timeoutMilliseconds, whileWaiting);
    if (!DeleteService(service.handle) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        return HResultFromLastError();
    }
    return S_OK;
}

HRESULT QueryServiceCommandLine(SC_HANDLE manager, const char* name, char* buffer, DWORD size) {
    if (size == 0) {
        return E_INVALIDARG;
    }
    buffer[0] = '\0';
    ServiceHandle service;
    service.handle = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
    if (service.handle == nullptr) {
        return HResultFromLastError();
    }
    DWORD needed = 0;
    QueryServiceConfigA(service.handle, nullptr, 0, &needed);
    if (needed == 0) {
        return HResultFromLastError();
    }
    // The configuration record holds its texts behind it in the same block.
    QUERY_SERVICE_CONFIGA* config =
        static_cast<QUERY_SERVICE_CONFIGA*>(HeapAlloc(GetProcessHeap(), 0, needed));
    if (config == nullptr) {
        return E_OUTOFMEMORY;
    }
    HRESULT result = S_OK;
    if (!QueryServiceConfigA(service.handle, config, needed, &needed)) {
        result = HResultFromLastError();
    } else {
        const char* path = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : "";
        if (lstrlenA(path) >= static_cast<int>(size)) {
            result = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        } else {
            lstrcpynA(buffer, path, static_cast<int>(size));
        }
    }
    HeapFree(GetProcessHeap(), 0, config);
    return result;
}
