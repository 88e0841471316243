// The setup program: one run from the administrator check through staging,
// the wizard and the installation to the clean-up. The driver owns the run
// state (run_state.h), the payload archive and the two profile files.
#pragma once

#include "archive/setup_archive.h"
#include "driver/run_state.h"
#include "script/ini_file.h"

// The program's own file, open from staging to the clean-up.
extern SetupArchive PayloadArchive;
// The staged setup.ini, read for the whole run.
extern IniFile SetupScript;
// uninstall.log in the destination, written during the installation.
extern IniFile UninstallLog;

// The whole run, from the entry point. Returns the exit code, always 0.
int RunSetup(HINSTANCE instance);

// The wizard's page loop; returns after a cancel or after the finish page.
void RunWizard();

// The installation, after the ready page; ends by showing the finish page.
void RunInstallation();

// Deletes the title font and the staged files and directories, and closes the
// archive and both profile files.
void CleanUp();
