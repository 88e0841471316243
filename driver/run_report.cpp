// What a run reports: messages and item results, to the user, to the log
// and, in an unattended run, to the exit code only.
#include "driver/setup_driver.h"

#include "system/bounded_text.h"

RunLog SetupRunLog;

int ShowRunMessage(HWND owner, const char* text, const char* caption, UINT type) {
    LogMessage(SetupRunLog, text);
    if (IsUnattended(Run.Options)) {
        return IDOK;
    }
    return MessageBoxA(owner, text, caption, type);
}

DWORD ErrorFromResult(HRESULT result) {
    if (SUCCEEDED(result)) {
        return 0;
    }
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                      : static_cast<DWORD>(result);
}

void ReportItem(const char* kind, const char* target, DWORD error) {
    if (error != 0) {
        Run.ItemFailed = true;
    }
    if (SetupRunLog.file == nullptr) {
        return;
    }
    char text[512] = "";
    if (error != 0 && FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, text, sizeof text, nullptr) == 0) {
        text[0] = '\0';
    }
    LogItemResult(SetupRunLog, kind, target, error, text);
}
