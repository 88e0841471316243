// The failure codes of the platform layer, file version records and the .NET
// Framework decision. Every function of system/ (shell, processes, registry,
// services, security) reports failures as HRESULTs (0 success, negative
// failure) or as a documented bool; nothing is shown to the user.
#pragma once

#include <windows.h>

// The calling thread's last error as an HRESULT; always a failure code
// (E_FAIL when the last error is 0).
HRESULT HResultFromLastError();

// A failure's Win32 error code as an HRESULT: HRESULT_FROM_WIN32 of a
// positive code, a negative one (already an HRESULT) as it is, and E_FAIL
// for 0, so that the result is always a failure code.
HRESULT HResultFromError(LONG error);

// Copies the fixed version record of the file at `path` into `info`. On
// failure returns its code and leaves `info` unchanged; a file without
// version data fails.
HRESULT GetFileVersion(const char* path, VS_FIXEDFILEINFO* info);

// Whether the .NET Framework redistributable at `redistributablePath` has to
// run: 1 when it does, 0 when the framework of its build is registered under
// the v1.0 policy key and its language folder 1033 exists. A failure to read
// the redistributable's version, the policy key or value (other than their
// absence) or the Windows directory gives that failure's HRESULT.
HRESULT IsDotNetInstallNeeded(const char* redistributablePath);
