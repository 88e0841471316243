// One run of the uninstaller, from its command line to its exit code.
#pragma once

#include <windows.h>

// Reads uninstall.log beside this program and removes what it lists: with
// windows (confirmation, progress, closing message), quietly with "/quiet",
// or, with "/cleanup", as the copy that removes the original uninstaller.
// "/log=FILE" writes a text log of the run. Returns the exit code:
// kExitRemoved, kExitIncomplete, kExitNoLog, or 1639 when the /log file
// cannot be created (then nothing is removed).
int RunUninstaller(HINSTANCE instance, const char* commandLine);
