#include "placeholders.h"

#include "placeholders_platform.h"
#include "setup_script.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t kReplaceResultSize = 4096;

char ReplaceResult[kReplaceResultSize];
PlaceholderValues Values = {};

// Appends at most what still fits before the terminator at size - 1.
void AppendBounded(char* buffer, size_t size, size_t* used, const char* text, size_t length) {
    const size_t room = size - 1 - *used;
    const size_t copied = length < room ? length : room;
    std::memcpy(buffer + *used, text, copied);
    *used += copied;
}

void CopyBounded(char* buffer, size_t size, const char* text) {
    size_t used = 0;
    AppendBounded(buffer, size, &used, text, std::strlen(text));
    buffer[used] = '\0';
}

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

// The folder's path with a backslash, or an empty text for a folder that
// cannot be named: a lone backslash would turn relative paths into rooted ones.
void FetchFolderValue(PlaceholderFolder folder, char* buffer) {
    FetchPlaceholderFolder(folder, buffer);
    const size_t length = std::strlen(buffer);
    if (length > 0 && length < kPathSize - 1) {
        buffer[length] = '\\';
        buffer[length + 1] = '\0';
    }
}

void ReplaceInWorkBuffer(char* work, const char* token, const char* value) {
    const char* result = ReplaceAll(work, token, value);
    if (result != work) {
        CopyBounded(work, kPathSize, result);
    }
}

struct NamedNumber {
    const char* name;
    uint32_t number;
};

template <size_t N>
uint32_t NumberFromName(const NamedNumber (&rows)[N], const char* name, uint32_t fallback) {
    if (name == nullptr) {
        return fallback;
    }
    for (const NamedNumber& row : rows) {
        if (std::strcmp(row.name, name) == 0) {
            return row.number;
        }
    }
    return fallback;
}

} // namespace

void SetPlaceholderValues(const PlaceholderValues& values) {
    Values = values;
}

const char* ReplaceAll(const char* text, const char* find, const char* replacement) {
    if (find == nullptr || find[0] == '\0') {
        return text;
    }
    const char* match = std::strstr(text, find);
    if (match == nullptr) {
        return text;
    }
    const size_t findLength = std::strlen(find);
    replacement = TextOrEmpty(replacement);
    const size_t replacementLength = std::strlen(replacement);
    size_t used = 0;
    const char* rest = text;
    for (; match != nullptr; match = std::strstr(rest, find)) {
        AppendBounded(ReplaceResult, kReplaceResultSize, &used, rest, match - rest);
        AppendBounded(ReplaceResult, kReplaceResultSize, &used, replacement, replacementLength);
        rest = match + findLength;
    }
    AppendBounded(ReplaceResult, kReplaceResultSize, &used, rest, std::strlen(rest));
    ReplaceResult[used] = '\0';
    return ReplaceResult;
}

char* ExpandPlaceholders(const char* text) {
    char* work = new (std::nothrow) char[kPathSize];
    if (work == nullptr) {
        return nullptr;
    }
    CopyBounded(work, kPathSize, TextOrEmpty(text));

    char desktop[kPathSize];
    char programs[kPathSize];
    FetchFolderValue(PlaceholderFolder::Programs, programs);
    FetchFolderValue(PlaceholderFolder::Desktop, desktop);
    ReplaceInWorkBuffer(work, "%%DESKTOP%%", desktop);
    ReplaceInWorkBuffer(work, "%%PROGRAMS%%", programs);
    ReplaceInWorkBuffer(work, "%%PROGRAMFILES%%", TextOrEmpty(Values.programFilesDirectory));
    ReplaceInWorkBuffer(work, "%%INSTALLDIR%%", TextOrEmpty(Values.destinationDirectory));
    ReplaceInWorkBuffer(work, "%%USER%%", TextOrEmpty(Values.userName));
    ReplaceInWorkBuffer(work, "%%COMPANY%%", TextOrEmpty(Values.companyName));

    char directory[kPathSize];
    FetchFolderValue(PlaceholderFolder::Windows, directory);
    ReplaceInWorkBuffer(work, "%%WINDIR%%", directory);
    FetchFolderValue(PlaceholderFolder::System, directory);
    ReplaceInWorkBuffer(work, "%%WINSYSDIR%%", directory);
    return work;
}

uint32_t RegistryValueTypeFromName(const char* name) {
    static const NamedNumber rows[] = {
        {"REG_BINARY", 3}, {"REG_SZ", 1}, {"REG_DWORD", 4}, {"REG_EXPAND_SZ", 2}, {"REG_NONE", 0},
    };
    return NumberFromName(rows, name, 1);
}

uint32_t RootKeyFromName(const char* name) {
    static const NamedNumber rows[] = {
        {"HKEY_LOCAL_MACHINE", 0x80000002}, {"HKEY_CLASSES_ROOT", 0x80000000},
        {"HKEY_CURRENT_USER", 0x80000001},  {"HKEY_CURRENT_CONFIG", 0x80000005},
        {"HKEY_USERS", 0x80000003},
    };
    return NumberFromName(rows, name, 0x80000002);
}

uint32_t ServiceTypeFromName(const char* name) {
    static const NamedNumber rows[] = {
        {"FILE_SYSTEM_DRIVER", 0x2},
        {"KERNEL_DRIVER", 0x1},
        {"WIN32_OWN_PROCESS", 0x10},
        {"WIN32_SHARE_PROCESS", 0x20},
    };
    return NumberFromName(rows, name, 0x10);
}

uint32_t ErrorControlFromName(const char* name) {
    static const NamedNumber rows[] = {
        {"ERROR_IGNORE", 0},
        {"ERROR_NORMAL", 1},
        {"ERROR_SEVERE", 2},
        {"ERROR_CRITICAL", 3},
    };
    return NumberFromName(rows, name, 1);
}

uint32_t StartTypeFromName(const char* name) {
    static const NamedNumber rows[] = {
        {"AUTO_START", 2}, {"BOOT_START", 0},   {"DEMAND_START", 3},
        {"DISABLED", 4},   {"SYSTEM_START", 1},
    };
    return NumberFromName(rows, name, 3);
}
