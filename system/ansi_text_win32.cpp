#include "ansi_text.h"

#include <mbstring.h>

namespace {

const unsigned char* Bytes(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

} // namespace

bool IsLeadByte(char c) {
    return _ismbblead(static_cast<unsigned char>(c)) != 0;
}

bool EqualIgnoringCase(const char* a, const char* b) {
    return _mbsicmp(Bytes(a), Bytes(b)) == 0;
}

const char* FindText(const char* text, const char* part) {
    return reinterpret_cast<const char*>(_mbsstr(Bytes(text), Bytes(part)));
}

void ReverseText(char* text) {
    _mbsrev(reinterpret_cast<unsigned char*>(text));
}
