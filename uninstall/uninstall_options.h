// The uninstaller's command line. The system starts it through the
// UninstallString with no arguments; scripts add "/quiet". "/cleanup" is the
// uninstaller's own: a copy of itself started to remove the original once it
// has exited.
#pragma once

#include <cstdint>
#include <string>

enum class UninstallMode { Interactive, Quiet, Cleanup };

struct UninstallOptions {
    UninstallMode mode;
    uintptr_t waitHandle;    // Cleanup: the original's process handle, inherited
    std::string cleanupPath; // Cleanup: the original uninstaller's full path
    std::string logPath;     // "/log=FILE": the run's text log; empty without
};

// Parses a whole command line (program name first, as the platform gives it;
// double quotes group blanks). "/quiet" and "/cleanup" match in any letter
// case, as does "/log=" before the log's path; other arguments are ignored. "/cleanup" without a
// handle number and a path falls back to Interactive.
UninstallOptions ParseUninstallOptions(const char* commandLine);

// The arguments that start a cleanup copy: "/cleanup <handle> "<path>"".
std::string FormatCleanupArguments(uintptr_t waitHandle, const std::string& path);
