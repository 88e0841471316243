#include "uninstall/uninstall_ui.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "system/processes.h"
#include "uninstall/uninstall_resources.h"

namespace {

// More lines than this would make the closing message taller than a screen.
constexpr size_t kMaxListedFailures = 15;

std::string LoadText(HINSTANCE instance, UINT id) {
    char text[1024];
    int length = LoadStringA(instance, id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

// printf into a string of the needed size; the formats are our own strings.
template <typename... Arguments>
std::string FormatText(const std::string& format, Arguments... arguments) {
    int length = std::snprintf(nullptr, 0, format.c_str(), arguments...);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), format.c_str(), arguments...);
    return std::string(text.data(), static_cast<size_t>(length));
}

RunLog* messageLog = nullptr;
bool messagesQuiet = false;

int ShowMessage(HINSTANCE instance, HWND owner, const std::string& text, UINT style) {
    if (messageLog != nullptr) {
        LogMessage(*messageLog, text.c_str());
    }
    if (messagesQuiet) {
        return IDOK;
    }
    std::string caption = LoadText(instance, IDS_CAPTION);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), style | MB_SETFOREGROUND);
}

// How a step is named to the user: the full registry path, or the path.
std::string DisplayName(const RemovalStep& step) {
    std::string root = RegistryRootName(step.root);
    switch (step.kind) {
    case RemovalKind::RegistryValue:
        return root + "\\" + step.target + "\\" + step.valueName;
    case RemovalKind::RegistryKey:
        return root + "\\" + step.target;
    case RemovalKind::Registration:
        return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
               step.target;
    case RemovalKind::DestinationFolder:
        return step.target.substr(0, step.target.find_last_not_of('\\') + 1);
    default:
        return step.target;
    }
}

UINT ReasonId(const RemovalFailure& failure) {
    bool isRegistry = failure.step.kind == RemovalKind::RegistryKey ||
                      failure.step.kind == RemovalKind::RegistryValue;
    if (failure.result.outcome == RemovalOutcome::Refused && isRegistry) {
        return IDS_REASON_REFUSED_KEY;
    }
    if (failure.result.outcome == RemovalOutcome::SystemItem && isRegistry) {
        return IDS_REASON_SYSTEM_KEY;
    }
    return IDS_REASON_FIRST + static_cast<UINT>(failure.result.outcome);
}

INT_PTR CALLBACK ProgressProcedure(HWND, UINT message, WPARAM, LPARAM) {
    // No close box and no buttons: the removal cannot be interrupted.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// One line of the closing list: kind, name and reason.
std::string DescribeFailure(HINSTANCE instance, const RemovalFailure& failure) {
    std::string kind = LoadText(instance, IDS_KIND_FIRST + static_cast<UINT>(failure.step.kind));
    std::string reason = FormatText(LoadText(instance, ReasonId(failure)),
                                    static_cast<unsigned long>(failure.result.systemError));
    return FormatText(LoadText(instance, IDS_ITEM_LINE), kind.c_str(),
                      DisplayName(failure.step).c_str(), reason.c_str());
}

} // namespace

void SetMessageOutput(RunLog* log, bool quiet) {
    messageLog = log;
    messagesQuiet = quiet;
}

void LogRemovalStep(HINSTANCE instance, RunLog& log, const RemovalStep& step,
                    const RemovalResult& result) {
    std::string line = DescribeFailure(instance, RemovalFailure{step, result});
    // The reasons name a system error only where it is the whole reason.
    if (result.systemError != 0 && result.outcome != RemovalOutcome::Failed) {
        line += FormatText(LoadText(instance, IDS_REASON_FAILED),
                           static_cast<unsigned long>(result.systemError));
    }
    WriteLogLine(log, line.c_str());
}

bool ConfirmRemoval(HINSTANCE instance, const std::string& applicationName) {
    std::string text = FormatText(LoadText(instance, IDS_CONFIRM), applicationName.c_str());
    return ShowMessage(instance, nullptr, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

HWND CreateProgressWindow(HINSTANCE instance, const std::string& applicationName) {
    RegisterProgressBarClass(); // without it the bar is missing, nothing more
    HWND window =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressProcedure, 0);
    if (window == nullptr) {
        return nullptr;
    }
    std::string text = FormatText(LoadText(instance, IDS_PROGRESS), applicationName.c_str());
    SetDlgItemTextA(window, IDC_PROGRESS_TEXT, text.c_str());
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

void ShowProgress(HWND window, const RemovalStep& step, size_t index, size_t count) {
    if (window != nullptr) {
        SetDlgItemTextA(window, IDC_PROGRESS_ITEM, DisplayName(step).c_str());
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0,
                            static_cast<LPARAM>(count));
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(index), 0);
    }
    PumpWindowMessages();
}

void PumpWindowMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void ShowLogError(HINSTANCE instance, const std::string& logPath, LogStatus status) {
    UINT id = status == LogStatus::Missing ? IDS_LOG_MISSING : IDS_LOG_DAMAGED;
    ShowMessage(instance, nullptr, FormatText(LoadText(instance, id), logPath.c_str()),
                MB_OK | MB_ICONERROR);
}

void ShowRemovalReport(HINSTANCE instance, const std::string& applicationName,
                       const RemovalReport& report) {
    if (report.failures.empty()) {
        std::string text = FormatText(LoadText(instance, IDS_DONE), applicationName.c_str());
        ShowMessage(instance, nullptr, text, MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::string list;
    for (size_t i = 0; i < report.failures.size() && i < kMaxListedFailures; ++i) {
        list += DescribeFailure(instance, report.failures[i]);
    }
    if (report.failures.size() > kMaxListedFailures) {
        list += FormatText(LoadText(instance, IDS_MORE_ITEMS),
                           static_cast<int>(report.failures.size() - kMaxListedFailures));
    }
    std::string text =
        FormatText(LoadText(instance, IDS_DONE_INCOMPLETE), applicationName.c_str(), list.c_str());
    ShowMessage(instance, nullptr, text, MB_OK | MB_ICONWARNING);
}
