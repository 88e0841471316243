#include "ansi_text.h"
#include "system/bounded_text.h"

#include <cstring>

bool IsLeadByte(char) {
    return false;
}

bool EqualIgnoringCase(const char* a, const char* b) {
    while (*a != '\0' && LowerAscii(*a) == LowerAscii(*b)) {
        ++a;
        ++b;
    }
    return LowerAscii(*a) == LowerAscii(*b);
}

const char* FindText(const char* text, const char* part) {
    return std::strstr(text, part);
}

void ReverseText(char* text) {
    size_t length = std::strlen(text);
    for (size_t i = 0; i < length / 2; ++i) {
        char c = text[i];
        text[i] = text[length - 1 - i];
        text[length - 1 - i] = c;
    }
}
