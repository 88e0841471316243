// The list of methods the reader reads, kept where every program with the
// reader carries it, and its reading.
#include <cstring>

#include "archive/archive_reader.h"

// Kept in the image even where nothing but this reader refers to it.
__attribute__((used)) const char kReaderMethodsMark[] = "tolvanex-reader-methods: 0 8 14;";

bool IsMethodListed(const char* text, size_t length, uint32_t method) {
    const size_t prefixLength = sizeof kReaderMethodsPrefix - 1;
    if (length < prefixLength || memcmp(text, kReaderMethodsPrefix, prefixLength) != 0) {
        return false;
    }
    uint32_t number = 0;
    bool inNumber = false;
    for (size_t i = prefixLength; i < length; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9' && number < 0xFFFF) {
            number = number * 10 + static_cast<uint32_t>(c - '0');
            inNumber = true;
            continue;
        }
        if (inNumber && number == method) {
            return true;
        }
        if (c == ';') {
            return false;
        }
        if (c != ' ') {
            return false;
        }
        number = 0;
        inNumber = false;
    }
    return false;
}
