#include "install_data.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegDword = 4;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

} // namespace

bool IsApplicationEntry(const char* entryName) {
    return std::strstr(entryName, "file_") != nullptr;
}

bool IsUninstallerEntry(const char* entryName) {
    return std::strcmp(entryName, "uninstall.exe") == 0;
}

uint32_t ParseRegistryNumber(const char* text) {
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    int radix = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text += 2;
    }
    uint64_t value = 0;
    for (; DigitValue(*text) < radix; ++text) {
        value = value * radix + DigitValue(*text);
        if (value > 0xFFFFFFFFu) {
            return 0xFFFFFFFFu;
        }
    }
    uint32_t number = static_cast<uint32_t>(value);
    return negative ? 0u - number : number;
}

int32_t EncodeRegistryData(uint32_t type, const char* text, unsigned char* data, size_t size) {
    if (type == kRegDword) {
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
