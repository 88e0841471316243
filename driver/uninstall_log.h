// uninstall.log: the record of one installation, written into the destination
// directory for the uninstaller. A profile file that begins with a fixed
// comment line; sections appear in the order of their first entry. The
// numbering bases differ between sections and are part of the format the
// uninstaller reads:
//   [main]          appptitle (three p, as the uninstaller expects)
//   [folders]       count first, then 1..n as in the setup script
//   [files]         1..m in payload order, then count
//   [shell_folders] 0..n-1, then count
//   [shell_items]   0..n-1 (the shortcut files), then count
//   [reg_key]       %d_hkey, %d_key for each key created, counted from 0
//   [reg_val]       %d_hkey, %d_key, %d_value for each value written, from 0
//   [svc]           the index of the script entry of each created service
#pragma once

#include <cstddef>

#include "script/ini_file.h"

constexpr char kUninstallLogName[] = "uninstall.log";
constexpr char kUninstallLogHeader[] = "; Tolvanex uninstall log\r\n\r\n";

// Writes into one log and keeps the counters whose values become its keys.
struct UninstallLogWriter {
    IniFile* log;
    int fileCount;       // files logged so far; the first key is 1
    int createdKeyCount; // the first logged key is 0
    int writtenValueCount;
};

// How many earlier logs of installations into the same folder are kept.
constexpr int kMaxEarlierLogs = 99;

constexpr size_t kEarlierLogPathSize = 270;

// The name under which the log at path is kept when a later installation
// starts a new one: "uninstall.log" with number 2 gives "uninstall.2.log".
// False, with nothing usable in buffer, when path does not end in ".log" or
// the name does not fit in size bytes.
bool EarlierLogPath(const char* path, int number, char* buffer, size_t size);

// Keeps an existing log at path as the first free earlier log.
void KeepEarlierLog(const char* path);

// Creates the file at `path` with the header (an existing one is kept as an
// earlier log first), binds `log` to
// it and logs the application title. False when the file cannot be created;
// the writer is then still usable but writes nothing that lasts.
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
