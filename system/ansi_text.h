// Text in the system's ANSI code page, which may be double-byte: the few
// operations that must know its characters, not just its bytes. On Windows
// the C runtime's multibyte routines know the code page; elsewhere text is
// single-byte and letters are ASCII.
#pragma once

// True when `c` is the first byte of a double-byte character.
bool IsLeadByte(char c);

// Whether two texts are equal without regard to letter case.
bool EqualIgnoringCase(const char* a, const char* b);

// The first occurrence of `part` in `text`, never inside a double-byte
// character; null when there is none.
const char* FindText(const char* text, const char* part);

// Reverses the characters of `text` in place, keeping double-byte
// characters whole.
void ReverseText(char* text);
