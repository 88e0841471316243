// Windows services: creating one, and stopping and deleting one by name.
// Failures are HRESULTs: S_OK, or the platform's error as HRESULT_FROM_WIN32
// (HRESULT_CODE gives it back).
#pragma once

#include <windows.h>

// Closes the service or manager handle it holds on every path.
struct ServiceHandle {
    SC_HANDLE handle = nullptr;
    ServiceHandle() = default;
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle();
};

// The local machine's service control manager, active database.
HRESULT OpenServiceManager(DWORD access, ServiceHandle& manager);

struct ServiceDefinition {
    const char* name;
    const char* displayName;
    const char* binaryPath; // with any arguments
    DWORD type;
    DWORD startType;
    DWORD errorControl;
};

// Creates the service, to run as LocalSystem, without starting it.
HRESULT CreateWin32Service(SC_HANDLE manager, const ServiceDefinition& service);

// The command line the service manager starts the service with, into
// `buffer` of `size` bytes (always terminated). A missing service fails with
// ERROR_SERVICE_DOES_NOT_EXIST; one too long for the buffer with
// ERROR_INSUFFICIENT_BUFFER.
HRESULT QueryServiceCommandLine(SC_HANDLE manager, const char* name, char* buffer, DWORD size);

// Stops the service when it runs and, when it runs in a process of its own,
// waits for that process to end as well (only then is its program file free
// to be deleted), calling `whileWaiting` (may be null) between polls for up
// to `timeoutMilliseconds`; then marks it for deletion. A service that does
// not stop in time is still marked: it goes when it ends, at the latest at
// the next restart; `stopped` tells. A service already marked counts as
// deleted; a missing one fails with ERROR_SERVICE_DOES_NOT_EXIST.
HRESULT StopAndDeleteService(SC_HANDLE manager, const char* name, DWORD timeoutMilliseconds,
                             void (*whileWaiting)(), bool& stopped);
