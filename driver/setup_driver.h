// The setup program: one run from the administrator check through staging,
// the wizard and the installation to the clean-up. The driver owns the run
// state (run_state.h), the payload archive and the two profile files.
#pragma once

#include "archive/setup_archive.h"
#include "driver/run_state.h"
#include "script/ini_file.h"
#include "system/run_log.h"

// The program's own file, open from staging to the clean-up.
extern SetupArchive PayloadArchive;
// The staged setup.ini, read for the whole run.
extern IniFile SetupScript;
// uninstall.log in the destination, written during the installation.
extern IniFile UninstallLog;

// The /log file; not open without the switch.
extern RunLog SetupRunLog;

// The whole run, from the entry point, with the whole command line. Returns
// the exit code (command_line.h).
int RunSetup(HINSTANCE instance, const char* commandLine);

// What the run tells the user: a message box in a wizard run, none in an
// unattended one; the log takes the text either way. Returns the box's
// result, IDOK when none was shown.
int ShowRunMessage(HWND owner, const char* text, const char* caption, UINT type);

// Logs one item of the installation with its result (a Win32 error code or
// an HRESULT, 0 for success); a failure marks the run as ItemFailed.
void ReportItem(const char* kind, const char* target, DWORD error);
DWORD ErrorFromResult(HRESULT result);

// The wizard's page loop; returns after a cancel or after the finish page.
void RunWizard();

// The installation, after the ready page or at once in an unattended run;
// a wizard run ends by showing the finish page.
void RunInstallation();

// Deletes the title font and the staged files and directories, and closes the
// archive and both profile files.
void CleanUp();
