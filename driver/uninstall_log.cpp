#include "uninstall_log.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kDecimal = 10;

void WriteNumbered(UninstallLogWriter& writer, const char* section, int number, const char* field,
                   const char* value) {
    char key[kLogKeySize];
    FormatLogKey(key, number, field);
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
    log.WriteString(kLogMainSection, kLogTitleKey, applicationTitle);
    return created;
}

void LogFolderCount(UninstallLogWriter& writer, int count) {
    writer.log->WriteInt(kLogFoldersSection, kLogCountKey, count, kDecimal);
}

void LogFolder(UninstallLogWriter& writer, int key, const char* path) {
    WriteNumbered(writer, kLogFoldersSection, key, "", path);
}

void LogFile(UninstallLogWriter& writer, const char* targetPath) {
    WriteNumbered(writer, kLogFilesSection, kFirstLoggedFile + writer.fileCount, "", targetPath);
    ++writer.fileCount;
}

void LogFileCount(UninstallLogWriter& writer) {
    writer.log->WriteInt(kLogFilesSection, kLogCountKey, writer.fileCount, kDecimal);
}

void LogShellFolder(UninstallLogWriter& writer, int index, const char* path) {
    WriteNumbered(writer, kLogShellFoldersSection, index, "", path);
}

void LogShellFolderCount(UninstallLogWriter& writer, int count) {
    writer.log->WriteInt(kLogShellFoldersSection, kLogCountKey, count, kDecimal);
}

void LogShellItem(UninstallLogWriter& writer, int index, const char* shortcutPath) {
    WriteNumbered(writer, kLogShellItemsSection, index, "", shortcutPath);
}

void LogShellItemCount(UninstallLogWriter& writer, int count) {
    writer.log->WriteInt(kLogShellItemsSection, kLogCountKey, count, kDecimal);
}

void LogCreatedRegistryKey(UninstallLogWriter& writer, const char* rootName, const char* keyPath) {
    int n = kFirstLoggedRegistryEntry + writer.createdKeyCount++;
    WriteNumbered(writer, kLogRegistryKeysSection, n, kLogRootField, rootName);
    WriteNumbered(writer, kLogRegistryKeysSection, n, kLogKeyPathField, keyPath);
}

void LogWrittenRegistryValue(UninstallLogWriter& writer, const char* rootName, const char* keyPath,
                             const char* valueName) {
    int n = kFirstLoggedRegistryEntry + writer.writtenValueCount++;
    WriteNumbered(writer, kLogRegistryValuesSection, n, kLogRootField, rootName);
    WriteNumbered(writer, kLogRegistryValuesSection, n, kLogKeyPathField, keyPath);
    WriteNumbered(writer, kLogRegistryValuesSection, n, kLogValueNameField, valueName);
}

void LogService(UninstallLogWriter& writer, int index, const char* serviceName) {
    WriteNumbered(writer, kLogServicesSection, index, "", serviceName);
}
