#include "bounded_text.h"

#include <cstring>

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

} // namespace

bool CopyBoundedPart(char* target, size_t size, const char* text, size_t length) {
    bool whole = length < size;
    if (!whole) {
        length = size - 1;
    }
    std::memmove(target, text, length);
    target[length] = '\0';
    return whole;
}

bool CopyBoundedText(char* target, size_t size, const char* text) {
    return CopyBoundedPart(target, size, text, std::strlen(text));
}

bool AppendBoundedText(char* target, size_t size, const char* text) {
    size_t used = std::strlen(target);
    return CopyBoundedText(target + used, size - used, text);
}

bool JoinBoundedText(char* target, size_t size, const char* first, const char* second) {
    bool whole = CopyBoundedText(target, size, first);
    return AppendBoundedText(target, size, second) && whole;
}

bool EnsureTrailingBackslash(char* path, size_t size) {
    size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '\\') {
        return true;
    }
    if (length + 1 >= size) {
        return false;
    }
    path[length] = '\\';
    path[length + 1] = '\0';
    return true;
}

bool IsSpaceCharacter(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (aLength != bLength) {
        return false;
    }
    for (size_t i = 0; i < aLength; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

uint32_t ParseUnsigned(const char* text, int radix) {
    while (IsSpaceCharacter(*text)) {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    bool hexPrefix = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (radix == 0) {
        radix = hexPrefix ? 16 : 10;
    }
    if (radix == 16 && hexPrefix && DigitValue(text[2]) < 16) {
        text += 2;
    }
    uint64_t magnitude = 0;
    for (; DigitValue(*text) < radix; ++text) {
        magnitude = magnitude * static_cast<unsigned>(radix) + DigitValue(*text);
        if (magnitude > UINT32_MAX) {
            return UINT32_MAX;
        }
    }
    uint32_t value = static_cast<uint32_t>(magnitude);
    return negative ? 0u - value : value;
}
