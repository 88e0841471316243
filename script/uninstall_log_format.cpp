#include "uninstall_log_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void FormatLogKey(char* key, int number, const char* field) {
    std::snprintf(key, kLogKeySize, "%d%s", number, field);
}

bool ParseLogKey(const char* key, unsigned long* number, const char** field) {
    size_t digits = std::strspn(key, "0123456789");
    if (digits == 0 || digits > 9 || (key[digits] != '\0' && key[digits] != '_')) {
        return false;
    }
    *number = std::strtoul(key, nullptr, 10);
    *field = key + digits;
    return true;
}

bool EarlierLogPath(const char* path, int number, char* buffer, size_t size) {
    const char* extension = std::strrchr(path, '.');
    if (extension == nullptr || std::strcmp(extension, ".log") != 0) {
        return false;
    }
    const int length = std::snprintf(buffer, size, "%.*s.%d.log",
                                     static_cast<int>(extension - path), path, number);
    return length > 0 && static_cast<size_t>(length) < size;
}

bool ReplacedListPath(const char* logPath, char* buffer, size_t size) {
    const char* extension = std::strrchr(logPath, '.');
    if (extension == nullptr || std::strcmp(extension, ".log") != 0) {
        return false;
    }
    const int length = std::snprintf(buffer, size, "%.*s.replaced",
                                     static_cast<int>(extension - logPath), logPath);
    return length > 0 && static_cast<size_t>(length) < size;
}
