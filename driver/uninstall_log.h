// The installer's writer of uninstall.log (format: uninstall_log_format.h):
// each entry is written as soon as its item has been handled, so that an
// interrupted installation leaves a log of what it did.
#pragma once

#include <cstddef>

#include "script/ini_file.h"
#include "script/uninstall_log_format.h"

// Writes into one log and keeps the counters whose values become its keys.
struct UninstallLogWriter {
    IniFile* log;
    int fileCount;       // files logged so far; the first key is 1
    int createdKeyCount; // the first logged key is 0
    int writtenValueCount;
};

// Keeps an existing log at path as the first free earlier log.
void KeepEarlierLog(const char* path);

// Creates the file at `path` with the header (an existing one is kept as an
// earlier log first), binds `log` to it and logs the application title. False when the file cannot
// be created; the writer is then still usable but writes nothing that lasts.
bool StartUninstallLog(UninstallLogWriter& writer, IniFile& log, const char* path,
                       const char* applicationTitle);

void LogFolderCount(UninstallLogWriter& writer, int count);
void LogFolder(UninstallLogWriter& writer, int key, const char* path);
// Logs the next application file under the next number.
void LogFile(UninstallLogWriter& writer, const char* targetPath);
void LogFileCount(UninstallLogWriter& writer);
void LogShellFolder(UninstallLogWriter& writer, int index, const char* path);
void LogShellFolderCount(UninstallLogWriter& writer, int count);
void LogShellItem(UninstallLogWriter& writer, int index, const char* shortcutPath);
void LogShellItemCount(UninstallLogWriter& writer, int count);
// Root names are logged as the setup script writes them.
void LogCreatedRegistryKey(UninstallLogWriter& writer, const char* rootName, const char* keyPath);
void LogWrittenRegistryValue(UninstallLogWriter& writer, const char* rootName, const char* keyPath,
                             const char* valueName);
void LogService(UninstallLogWriter& writer, int index, const char* serviceName);
