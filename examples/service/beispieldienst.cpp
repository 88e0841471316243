// The example service: it registers with the service manager, reports that
// it runs and ends when it is told to stop. Started by hand it says so. It
// runs in a process of its own, where the service manager goes by the name
// the service was created under, not this one; so the uninstaller's tests
// install it under names of their own.
#include <windows.h>

#include <cstdio>

namespace {

char serviceName[] = "TolvanexBeispiel";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopEvent = nullptr;

void ReportState(DWORD state) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI HandleControl(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        ReportState(SERVICE_STOP_PENDING);
        SetEvent(stopEvent);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
    statusHandle = RegisterServiceCtrlHandlerExA(serviceName, HandleControl, nullptr);
    if (statusHandle == nullptr) {
        return;
    }
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ReportState(SERVICE_RUNNING);
    WaitForSingleObject(stopEvent, INFINITE);
    CloseHandle(stopEvent);
    ReportState(SERVICE_STOPPED);
}

} // namespace

int main() {
    SERVICE_TABLE_ENTRYA services[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(services)) {
        std::fprintf(stderr, "beispieldienst: nur als Dienst zu starten\n");
        return 1;
    }
    return 0;
}
