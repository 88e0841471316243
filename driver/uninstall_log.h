// The installer's writer of uninstall.log (format: uninstall_log_format.h).
// Each entry is in the file, whole and flushed to the system, before the
// call returns, so that an interrupted installation leaves a log of exactly
// what it did. The file is never truncated while it grows: an entry for the
// last section is appended; one for an earlier section (the interleaved
// registry sections) makes a new copy beside the log that replaces it in one
// rename. The lines are those the platform's profile writer would make of
// the same writes (names and values without blanks around them, a section
// opened at the end of the file by its first entry, a key written again
// replaced in place), behind the log's own two header lines.
#pragma once

#include <cstddef>
#include <cstdio>

#include "script/ini_file.h"
#include "script/uninstall_log_format.h"

constexpr int kMaxLogSections = 16;

// Where a section's lines lie in the log's text: [start, end), its header
// line included.
struct LogSectionSpan {
    char name[32];
    size_t start;
    size_t end;
};

// One log being written: the file, a copy of its whole text, and the
// counters whose values become its keys. The destructor closes the file.
struct UninstallLogWriter {
    char path[kLogPathSize + 16] = "";
    std::FILE* file = nullptr; // open for appending while the log is written
    char* text = nullptr;      // what the file holds
    size_t length = 0;
    size_t capacity = 0;
    LogSectionSpan sections[kMaxLogSections] = {};
    int sectionCount = 0;
    bool broken = false; // out of memory or the file is gone: nothing more is written
    bool behind = false; // the file lacks an entry the text has: the next write replaces it
    int fileCount = 0;   // files logged so far; the first key is 1
    int createdKeyCount = 0;
    int writtenValueCount = 0;
    // The list of replaced targets beside the log, opened with its first.
    std::FILE* replacedList = nullptr;

    UninstallLogWriter() = default;
    UninstallLogWriter(const UninstallLogWriter&) = delete;
    UninstallLogWriter& operator=(const UninstallLogWriter&) = delete;
    ~UninstallLogWriter();
};

// Keeps an existing log at path as the first free earlier log, with its list
// of replaced targets.
void KeepEarlierLog(const char* path);

// Creates the file at `path` with the header (an existing one is kept as an
// earlier log first; a log this writer was writing is finished), binds `log`
// to it and logs the application title. False when the file cannot be
// created; the writer then writes nothing.
bool StartUninstallLog(UninstallLogWriter& writer, IniFile& log, const char* path,
                       const char* applicationTitle);

// Closes the file and releases the text; later entries are not written.
void FinishUninstallLog(UninstallLogWriter& writer);

// Writes `key` = `value` into `section` as described above. False when the
// entry could not be written.
bool WriteLogEntry(UninstallLogWriter& writer, const char* section, const char* key,
                   const char* value);

void LogFolderCount(UninstallLogWriter& writer, int count);
void LogFolder(UninstallLogWriter& writer, int key, const char* path);
// Logs the next application file under the next number.
void LogFile(UninstallLogWriter& writer, const char* targetPath);
// Records that the target of the file to be logged next already exists, so
// that the uninstaller leaves it; written through before the call returns.
// False when it could not be recorded: the file must then not be logged.
[[nodiscard]] bool LogReplacedFile(UninstallLogWriter& writer, const char* targetPath);
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
