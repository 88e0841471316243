// The shell: its special folders and shortcut files. Failures are HRESULTs
// (0 success, negative failure); nothing is shown to the user.
#pragma once

#include <windows.h>

// Writes the current path of the shell folder `folder` (a CSIDL_ number)
// into `buffer` (at least MAX_PATH bytes). On failure returns its code and
// leaves the buffer as it was.
HRESULT GetShellFolderPath(int folder, char* buffer);

// The current user's desktop and start-menu programs folders, as above; the
// buffer stays as it was when the shell cannot name the folder.
void GetDesktopPath(char* buffer);
void GetProgramsMenuPath(char* buffer);

// Saves a shell link at `shortcutPath` pointing to `target`, with the given
// description, arguments and working directory. Returns S_OK, the failing
// COM call's code, or the conversion's code for a path of MAX_PATH or more
// characters. Initialises COM for the duration of the call.
HRESULT CreateShortcut(const char* target, const char* shortcutPath, const char* description,
                       const char* arguments, const char* workingDirectory);
