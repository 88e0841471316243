// The uninstaller's windows: the confirmation, the progress window and the
// closing messages. Texts come from the string table in uninstall.rc.
#pragma once

#include <windows.h>

#include <string>

#include "system/run_log.h"
#include "uninstall/removal_run.h"

// Where the messages go besides the screen: every message's text goes into
// `log` (may be null); with `quiet` none is shown.
void SetMessageOutput(RunLog* log, bool quiet);

// Logs one step as the closing list names it, with what became of it.
void LogRemovalStep(HINSTANCE instance, RunLog& log, const RemovalStep& step,
                    const RemovalResult& result);

// Asks whether the application shall be removed; true for "Ja".
bool ConfirmRemoval(HINSTANCE instance, const std::string& applicationName);

// The modeless progress window; null when it cannot be created (the removal
// then runs without it).
HWND CreateProgressWindow(HINSTANCE instance, const std::string& applicationName);

// Shows the step about to be removed and keeps the window painted.
void ShowProgress(HWND window, const RemovalStep& step, size_t index, size_t count);

// Handles the pending window messages of this thread, so that the progress
// window stays painted during a long step.
void PumpWindowMessages();

// Tells that the log is missing or damaged and nothing was removed.
void ShowLogError(HINSTANCE instance, const std::string& logPath, LogStatus status);

// The closing message: success, or the list of what remains and why.
void ShowRemovalReport(HINSTANCE instance, const std::string& applicationName,
                       const RemovalReport& report);
