#include "bounded_text.h"

#include <cstring>

bool CopyBoundedText(char* target, size_t size, const char* text) {
    size_t length = std::strlen(text);
    bool whole = length < size;
    if (!whole) {
        length = size - 1;
    }
    std::memmove(target, text, length);
    target[length] = '\0';
    return whole;
}

bool AppendBoundedText(char* target, size_t size, const char* text) {
    size_t used = std::strlen(target);
    return CopyBoundedText(target + used, size - used, text);
}

bool JoinBoundedText(char* target, size_t size, const char* first, const char* second) {
    bool whole = CopyBoundedText(target, size, first);
    return AppendBoundedText(target, size, second) && whole;
}
