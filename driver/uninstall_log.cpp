#include "uninstall_log.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kDecimal = 10;

// Room for a decimal int and a "_suffix".
using NumberKey = char[32];

void FormatKey(NumberKey key, int number, const char* suffix) {
    std::snprintf(key, sizeof(NumberKey), "%d%s", number, suffix);
}

void WriteNumbered(UninstallLogWriter& writer, const char* section, int number, const char* suffix,
                   const char* value) {
    NumberKey key;
    FormatKey(key, number, suffix);
    writer.log->WriteString(section, key, value);
}

bool FileExists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

} // namespace

bool EarlierLogPath(const char* path, int number, char* buffer, size_t size) {
    const char* extension = std::strrchr(path, '.');
    if (extension == nullptr || std::strcmp(extension, ".log") != 0) {
        return false;
    }
    const int length = std::snprintf(buffer, size, "%.*s.%d.log",
                                     static_cast<int>(extension - path), path, number);
    return length > 0 && static_cast<size_t>(length) < size;
}

// A new installation into the same folder logs only what it created itself:
// keys and services of the earlier one exist already and go unlisted. The
// earlier log is kept beside the new one, so that the uninstaller still
// removes them.
void KeepEarlierLog(const char* path) {
    if (!FileExists(path)) {
        return;
    }
    char earlier[kEarlierLogPathSize];
    for (int number = 1; number <= kMaxEarlierLogs; ++number) {
        if (!EarlierLogPath(path, number, earlier, sizeof earlier)) {
            return;
        }
        if (!FileExists(earlier)) {
            std::rename(path, earlier);
            return;
        }
    }
}

bool StartUninstallLog(UninstallLogWriter& writer, IniFile& log, const char* path,
                       const char* applicationTitle) {
    writer = UninstallLogWriter{&log, 0, 0, 0};
    KeepEarlierLog(path);
    std::FILE* file = std::fopen(path, "wb");
    bool created = file != nullptr;
    if (created) {
        size_t length = sizeof(kUninstallLogHeader) - 1;
        created = std::fwrite(kUninstallLogHeader, 1, length, file) == length;
        created = std::fclose(file) == 0 && created;
    }
    log.SetFile(path);
    log.WriteString("main", "appptitle", applicationTitle);
    return created;
}

void LogFolderCount(UninstallLogWriter& writer, int count) {
    writer.log->WriteInt("folders", "count", count, kDecimal);
}

void LogFolder(UninstallLogWriter& writer, int key, const char* path) {
    WriteNumbered(writer, "folders", key, "", path);
}

void LogFile(UninstallLogWriter& writer, const char* targetPath) {
    ++writer.fileCount;
    WriteNumbered(writer, "files", writer.fileCount, "", targetPath);
}

void LogFileCount(UninstallLogWriter& writer) {
    writer.log->WriteInt("files", "count", writer.fileCount, kDecimal);
}

void LogShellFolder(UninstallLogWriter& writer, int index, const char* path) {
    WriteNumbered(writer, "shell_folders", index, "", path);
}

void LogShellFolderCount(UninstallLogWriter& writer, int count) {
    writer.log->WriteInt("shell_folders", "count", count, kDecimal);
}

void LogShellItem(UninstallLogWriter& writer, int index, const char* shortcutPath) {
    WriteNumbered(writer, "shell_items", index, "", shortcutPath);
}

void LogShellItemCount(UninstallLogWriter& writer, int count) {
    writer.log->WriteInt("shell_items", "count", count, kDecimal);
}

void LogCreatedRegistryKey(UninstallLogWriter& writer, const char* rootName, const char* keyPath) {
    int n = writer.createdKeyCount++;
    WriteNumbered(writer, "reg_key", n, "_hkey", rootName);
    WriteNumbered(writer, "reg_key", n, "_key", keyPath);
}

void LogWrittenRegistryValue(UninstallLogWriter& writer, const char* rootName, const char* keyPath,
                             const char* valueName) {
    int n = writer.writtenValueCount++;
    WriteNumbered(writer, "reg_val", n, "_hkey", rootName);
    WriteNumbered(writer, "reg_val", n, "_key", keyPath);
    WriteNumbered(writer, "reg_val", n, "_value", valueName);
}

void LogService(UninstallLogWriter& writer, int index, const char* serviceName) {
    WriteNumbered(writer, "svc", index, "", serviceName);
}
