#include "install_data.h"

#include <cstdio>
#include <cstring>

#include "script/constant_names.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "system/bounded_text.h"

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;

} // namespace

bool IsApplicationEntry(const char* entryName) {
    return std::strstr(entryName, kAppEntryPrefix) != nullptr;
}

bool IsUninstallerEntry(const char* entryName) {
    return std::strcmp(entryName, kUninstallerFile) == 0;
}

uint32_t ParseRegistryNumber(const char* text) {
    return ParseUnsigned(text, 0);
}

int32_t EncodeRegistryData(uint32_t type, const char* text, unsigned char* data, size_t size) {
    if (type == kRegistryDwordType) {
        if (size < 4) {
            return -1;
        }
        uint32_t number = ParseRegistryNumber(text);
        for (int i = 0; i < 4; ++i) {
            data[i] = static_cast<unsigned char>(number >> (8 * i));
        }
        return 4;
    }
    size_t length = std::strlen(text);
    if (type == kRegSz || type == kRegExpandSz) {
        ++length; // the terminating zero belongs to the data
    }
    if (length > size) {
        return -1;
    }
    std::memcpy(data, text, length);
    return static_cast<int32_t>(length);
}

bool FormatDotNetCommandLine(const char* installerPath, char* buffer, size_t size) {
    int written = std::snprintf(buffer, size, "\"%s\" /q:a /c:\"install /l /q\"", installerPath);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        if (size > 0) {
            buffer[0] = '\0';
        }
        return false;
    }
    return true;
}
