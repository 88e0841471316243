// Thin services over the Windows shell, COM, version library, processes and
// registry. Every function is stateless and reports failures as HRESULTs
// (0 success, negative failure); nothing is shown to the user.
#pragma once

#include <windows.h>

// Writes the current user's desktop folder into `buffer` (at least MAX_PATH
// bytes). When the shell cannot name the folder the buffer is left as it was.
void GetDesktopPath(char* buffer);

// Writes the current user's start-menu programs folder into `buffer` (at
// least MAX_PATH bytes); leaves the buffer as it was on failure.
void GetProgramsMenuPath(char* buffer);

// Saves a shell link at `shortcutPath` pointing to `target`, with the given
// description, arguments and working directory. Returns S_OK, the failing
// COM call's code, or the conversion's code for a path of MAX_PATH or more
// characters. Initialises COM for the duration of the call.
HRESULT CreateShortcut(const char* target, const char* shortcutPath, const char* description,
                       const char* arguments, const char* workingDirectory);

// The calling thread's last error as an HRESULT; always a failure code
// (E_FAIL when the last error is 0).
HRESULT HResultFromLastError();

// Copies the fixed version record of the file at `path` into `info`. On
// failure returns its code and leaves `info` unchanged; a file without
// version data fails.
HRESULT GetFileVersion(const char* path, VS_FIXEDFILEINFO* info);

// Starts `commandLine` (a writable buffer, as CreateProcessA wants) detached
// and waits for it without time-out. Returns the process's exit code, or,
// when the process cannot be created, the HRESULT of that failure.
DWORD RunAndWait(char* commandLine);

// Whether the .NET Framework redistributable at `redistributablePath` has to
// run: 1 when it does, 0 when the framework of its build is registered under
// the v1.0 policy key and its language folder 1033 exists. A failure to read
// the redistributable's version, the policy key or value (other than their
// absence) or the Windows directory gives that failure's HRESULT.
HRESULT IsDotNetInstallNeeded(const char* redistributablePath);
