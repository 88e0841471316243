#include "uninstall_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/bounded_text.h"
#include "system/files.h"

namespace {

// Lines a profile writer would make, as one buffer each.
constexpr size_t kLineRoom = 2 * kLogPathSize + kLogKeySize + 8;

void WriteNumbered(UninstallLogWriter& writer, const char* section, int number, const char* field,
                   const char* value) {
    char key[kLogKeySize];
    FormatLogKey(key, number, field);
    WriteLogEntry(writer, section, key, value);
}

void WriteNumber(UninstallLogWriter& writer, const char* section, const char* key, int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    WriteLogEntry(writer, section, key, text);
}

// The text without the blanks the profile writer drops around names and
// values.
struct Trimmed {
    const char* start;
    size_t length;
};

Trimmed Trim(const char* text) {
    size_t length = std::strlen(text);
    while (length > 0 && IsSpaceCharacter(*text)) {
        ++text;
        --length;
    }
    while (length > 0 && IsSpaceCharacter(text[length - 1])) {
        --length;
    }
    return Trimmed{text, length};
}

bool Reserve(UninstallLogWriter& writer, size_t extra) {
    if (writer.length + extra <= writer.capacity) {
        return true;
    }
    size_t capacity = writer.capacity > 0 ? writer.capacity : 4096;
    while (capacity < writer.length + extra) {
        capacity *= 2;
    }
    char* grown = static_cast<char*>(std::realloc(writer.text, capacity));
    if (grown == nullptr) {
        return false;
    }
    writer.text = grown;
    writer.capacity = capacity;
    return true;
}

// Replaces `removed` bytes at `at`, which lie in `span`, by `bytes`; the
// sections behind it move.
bool EditText(UninstallLogWriter& writer, LogSectionSpan& span, size_t at, size_t removed,
              const char* bytes, size_t length) {
    if (length > removed && !Reserve(writer, length - removed)) {
        return false;
    }
    std::memmove(writer.text + at + length, writer.text + at + removed,
                 writer.length - at - removed);
    std::memcpy(writer.text + at, bytes, length);
    writer.length = writer.length - removed + length;
    span.end = span.end - removed + length;
    for (LogSectionSpan* later = &span + 1; later < writer.sections + writer.sectionCount;
         ++later) {
        later->start = later->start - removed + length;
        later->end = later->end - removed + length;
    }
    return true;
}

bool AppendToFile(UninstallLogWriter& writer, const char* bytes, size_t length) {
    return writer.file != nullptr && std::fwrite(bytes, 1, length, writer.file) == length &&
           std::fflush(writer.file) == 0;
}

// The whole text into a copy beside the log, which then takes the log's
// place; a reader sees either file whole. Tried a few times: a program that
// just reads the log (a virus scanner, say) holds the rename off.
bool ReplaceFile(UninstallLogWriter& writer) {
    char update[sizeof writer.path + 8];
    if (!JoinBoundedText(update, sizeof update, writer.path, kUninstallLogUpdateSuffix)) {
        return false;
    }
    std::FILE* copy = std::fopen(update, "wb");
    if (copy == nullptr) {
        return false;
    }
    bool written = std::fwrite(writer.text, 1, writer.length, copy) == writer.length;
    written = std::fclose(copy) == 0 && written;
    if (writer.file != nullptr) {
        std::fclose(writer.file);
        writer.file = nullptr;
    }
    bool replaced = false;
    for (int attempt = 0; written && !replaced && attempt < 20; ++attempt) {
        replaced = ReplaceFileWith(update, writer.path);
    }
    if (!replaced) {
        std::remove(update);
    }
    writer.file = std::fopen(writer.path, "ab");
    return replaced && writer.file != nullptr;
}

// The end of the line that starts at `line`, its line break included.
size_t LineEnd(const UninstallLogWriter& writer, size_t line) {
    const char* lineEnd =
        static_cast<const char*>(std::memchr(writer.text + line, '\n', writer.length - line));
    return lineEnd != nullptr ? static_cast<size_t>(lineEnd - writer.text) + 1 : writer.length;
}

// Whether the line at `line`, ending at `end`, holds `key` before its "=".
bool LineHasKey(const UninstallLogWriter& writer, size_t line, size_t end, Trimmed key) {
    const char* text = writer.text + line;
    const char* equals = static_cast<const char*>(std::memchr(text, '=', end - line));
    return equals != nullptr &&
           EqualIgnoringAsciiCase(text, static_cast<size_t>(equals - text), key.start, key.length);
}

// Where a key's line lies in a section, or false.
bool FindKeyLine(const UninstallLogWriter& writer, const LogSectionSpan& span, Trimmed key,
                 size_t& start, size_t& end) {
    for (size_t line = span.start; line < span.end;) {
        const size_t next = LineEnd(writer, line);
        if (line > span.start && LineHasKey(writer, line, next, key)) {
            start = line;
            end = next;
            return true;
        }
        line = next;
    }
    return false;
}

bool FileExists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

LogSectionSpan* FindSection(UninstallLogWriter& writer, Trimmed name) {
    for (int i = 0; i < writer.sectionCount; ++i) {
        LogSectionSpan& span = writer.sections[i];
        if (EqualIgnoringAsciiCase(span.name, std::strlen(span.name), name.start, name.length)) {
            return &span;
        }
    }
    return nullptr;
}

// Opens a section at the end of the text; its header line is appended.
LogSectionSpan* AddSection(UninstallLogWriter& writer, Trimmed name, char* line, size_t& length) {
    if (writer.sectionCount == kMaxLogSections || name.length >= sizeof writer.sections[0].name) {
        return nullptr;
    }
    LogSectionSpan& span = writer.sections[writer.sectionCount++];
    std::memcpy(span.name, name.start, name.length);
    span.name[name.length] = '\0';
    span.start = span.end = writer.length;
    length = static_cast<size_t>(
        std::snprintf(line, kLineRoom, "[%.*s]\r\n", static_cast<int>(name.length), name.start));
    return &span;
}

} // namespace

UninstallLogWriter::~UninstallLogWriter() {
    FinishUninstallLog(*this);
}

void FinishUninstallLog(UninstallLogWriter& writer) {
    if (writer.file != nullptr) {
        std::fclose(writer.file);
        writer.file = nullptr;
    }
    if (writer.replacedList != nullptr) {
        std::fclose(writer.replacedList);
        writer.replacedList = nullptr;
    }
    std::free(writer.text);
    writer.text = nullptr;
    writer.length = writer.capacity = 0;
    writer.sectionCount = 0;
    writer.broken = true;
}

namespace {

// Whether a key may have been written before; a new one needs no search of
// its section, which for a large installation's file list would make the
// writing quadratic.
enum class KeyAge { MayExist, New };

bool WriteEntry(UninstallLogWriter& writer, const char* section, const char* key, const char* value,
                KeyAge age) {
    Trimmed sectionName = Trim(section);
    Trimmed keyName = Trim(key);
    Trimmed valueText = Trim(value != nullptr ? value : "");
    if (writer.broken || keyName.length + valueText.length > 2 * kLogPathSize) {
        return false;
    }
    char line[kLineRoom];
    size_t length = 0;
    LogSectionSpan* span = FindSection(writer, sectionName);
    if (span == nullptr && (span = AddSection(writer, sectionName, line, length)) == nullptr) {
        return false;
    }
    size_t at = span->end;
    size_t removed = 0;
    size_t keyEnd = 0;
    if (age == KeyAge::MayExist && FindKeyLine(writer, *span, keyName, at, keyEnd)) {
        // A key written again keeps the spelling it was first written with.
        removed = keyEnd - at;
        keyName.start = writer.text + at;
    }
    length += static_cast<size_t>(std::snprintf(
        line + length, kLineRoom - length, "%.*s=%.*s\r\n", static_cast<int>(keyName.length),
        keyName.start, static_cast<int>(valueText.length), valueText.start));
    const bool atTheEnd = at == writer.length && removed == 0;
    if (!EditText(writer, *span, at, removed, line, length)) {
        writer.broken = true;
        return false;
    }
    bool written =
        atTheEnd && !writer.behind ? AppendToFile(writer, line, length) : ReplaceFile(writer);
    writer.behind = !written;
    return written;
}

} // namespace

bool WriteLogEntry(UninstallLogWriter& writer, const char* section, const char* key,
                   const char* value) {
    return WriteEntry(writer, section, key, value, KeyAge::MayExist);
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
            char list[kReplacedListPathSize];
            char earlierList[kReplacedListPathSize];
            // The list first: a log kept without its list would lose the
            // files it names.
            if (ReplacedListPath(path, list, sizeof list) && FileExists(list) &&
                (!ReplacedListPath(earlier, earlierList, sizeof earlierList) ||
                 std::rename(list, earlierList) != 0)) {
                return;
            }
            std::rename(path, earlier);
            return;
        }
    }
}

bool StartUninstallLog(UninstallLogWriter& writer, IniFile& log, const char* path,
                       const char* applicationTitle) {
    FinishUninstallLog(writer);
    writer.fileCount = writer.createdKeyCount = writer.writtenValueCount = 0;
    log.SetFile(path);
    if (!CopyBoundedText(writer.path, sizeof writer.path, path)) {
        return false;
    }
    KeepEarlierLog(path);
    char list[kReplacedListPathSize];
    if (ReplacedListPath(path, list, sizeof list)) {
        std::remove(list); // left by a log that is gone: it names nothing of this one
    }
    const size_t length = sizeof(kUninstallLogHeader) - 1;
    writer.file = std::fopen(path, "wb");
    writer.broken = writer.file == nullptr || !Reserve(writer, length);
    if (writer.broken) {
        FinishUninstallLog(writer);
        return false;
    }
    std::memcpy(writer.text, kUninstallLogHeader, length);
    writer.length = length;
    return AppendToFile(writer, kUninstallLogHeader, length) &&
           WriteLogEntry(writer, kLogMainSection, kLogTitleKey, applicationTitle);
}

void LogFolderCount(UninstallLogWriter& writer, int count) {
    WriteNumber(writer, kLogFoldersSection, kLogCountKey, count);
}

void LogFolder(UninstallLogWriter& writer, int key, const char* path) {
    WriteNumbered(writer, kLogFoldersSection, key, "", path);
}

// The writer numbers the files itself, so each key is a new one.
void LogFile(UninstallLogWriter& writer, const char* targetPath) {
    char key[kLogKeySize];
    FormatLogKey(key, kFirstLoggedFile + writer.fileCount, "");
    WriteEntry(writer, kLogFilesSection, key, targetPath, KeyAge::New);
    ++writer.fileCount;
}

namespace {

// Lines are formatted with snprintf and written whole: the stream printf of
// the C runtime the product links would bring a formatter of its own.
bool WriteReplacedLine(std::FILE* list, const char* format, ...) {
    char line[kLineRoom + 64];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    return length > 0 && static_cast<size_t>(length) < sizeof line &&
           std::fwrite(line, 1, static_cast<size_t>(length), list) == static_cast<size_t>(length);
}

} // namespace

bool LogReplacedFile(UninstallLogWriter& writer, const char* targetPath) {
    if (writer.broken) {
        return false;
    }
    if (writer.replacedList == nullptr) {
        char list[kReplacedListPathSize];
        if (!ReplacedListPath(writer.path, list, sizeof list) ||
            (writer.replacedList = std::fopen(list, "wb")) == nullptr) {
            return false;
        }
        WriteReplacedLine(writer.replacedList, "%s[%s]\r\n", kReplacedListHeader, kReplacedSection);
    }
    Trimmed target = Trim(targetPath);
    int number = kFirstLoggedFile + writer.fileCount;
    return WriteReplacedLine(writer.replacedList, "%d=%.*s\r\n", number,
                             static_cast<int>(target.length), target.start) &&
           std::fflush(writer.replacedList) == 0;
}

void LogFileCount(UninstallLogWriter& writer) {
    WriteNumber(writer, kLogFilesSection, kLogCountKey, writer.fileCount);
}

void LogShellFolder(UninstallLogWriter& writer, int index, const char* path) {
    WriteNumbered(writer, kLogShellFoldersSection, index, "", path);
}

void LogShellFolderCount(UninstallLogWriter& writer, int count) {
    WriteNumber(writer, kLogShellFoldersSection, kLogCountKey, count);
}

void LogShellItem(UninstallLogWriter& writer, int index, const char* shortcutPath) {
    WriteNumbered(writer, kLogShellItemsSection, index, "", shortcutPath);
}

void LogShellItemCount(UninstallLogWriter& writer, int count) {
    WriteNumber(writer, kLogShellItemsSection, kLogCountKey, count);
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
