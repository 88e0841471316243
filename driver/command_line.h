// setup.exe's command line: how it is split into arguments, the switches it
// knows, and the exit codes an unattended run ends with. Without /quiet or
// /passive the run is the wizard, whose exit code is always 0.
#pragma once

#include <cstddef>

#include "script/setup_script.h"

// The argument that starts at `cursor`, split by the C runtime's rules:
// blanks and tabs outside double quotes separate; 2n backslashes before a
// quote give n backslashes and the quote groups, 2n+1 give n and a literal
// quote; other backslashes are literal; "" inside quotes is one quote. The
// argument goes into `buffer` of `size` bytes (cut to fit: `*cut` says so).
// Returns where the next argument starts, or null when none is left.
const char* NextArgument(const char* cursor, char* buffer, size_t size, bool* cut);

// The whole command line past the program's name, which the platform splits
// by simpler rules of its own (quotes only, no backslash escapes).
const char* SkipProgramName(const char* commandLine);

enum class SetupMode { Wizard, Passive, Quiet };

struct SetupOptions {
    SetupMode mode;
    bool help;      // /? or /help
    bool noRestart; // accepted, without effect
    char directory[kPathSize];
    char userName[kTextSize];
    char companyName[kTextSize];
    char logPath[kPathSize];
    // The first argument that is unknown, empty, too long or not allowed;
    // empty when there is none.
    char badArgument[kPathSize];
};

// Reads the arguments past the program's name into `options`. Switches
// begin with '/' or '-' and match in any letter case; a value follows '='.
// /dir must be absolute (a drive or \\server\share). Returns false when an
// argument is bad (named in badArgument); the other switches are read all
// the same, so a wizard run can use them.
bool ParseSetupOptions(const char* commandLine, SetupOptions* options);

// True when the run asks nobody anything.
bool IsUnattended(const SetupOptions& options);

// How a run ends, as the driver sees it.
enum class SetupOutcome {
    Installed,        // everything listed was made
    ItemFailed,       // installed, but at least one item failed
    PayloadDamaged,   // the archive is missing or cannot be read
    NotAdministrator, // the user lacks the rights
    AlreadyRunning,   // another setup of the same application runs
    BadCommandLine,   // an unknown switch, a bad value, a log that cannot be made
};

// The exit code of `outcome`: Windows Installer's values in an unattended
// run (0, 1603, 1620, 740, 1618, 1639), 0 in every wizard run.
int SetupExitCode(SetupOutcome outcome, SetupMode mode);
