// Text in fixed buffers, shared by every program of the project. Each copy
// stays within its buffer of `size` bytes (size > 0), always ends in a
// terminating zero, and says whether the whole text fitted; the result must
// be looked at, so that a path cut short is never used as if it were whole.
// Arguments run target, size, then the texts.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies `text` into `target`, cut to size - 1 characters. `text` may lie
// inside `target`. True when nothing was cut.
[[nodiscard]] bool CopyBoundedText(char* target, size_t size, const char* text);

// The first `length` bytes of `text` (which need not be terminated), cut the
// same way.
[[nodiscard]] bool CopyBoundedPart(char* target, size_t size, const char* text, size_t length);

// Appends `text` to the terminated text in `target`, cut the same way.
[[nodiscard]] bool AppendBoundedText(char* target, size_t size, const char* text);

// `first` followed by `second`.
[[nodiscard]] bool JoinBoundedText(char* target, size_t size, const char* first,
                                   const char* second);

// Appends a backslash unless the path already ends in one; an empty path
// becomes "\". False, with the path unchanged, when there is no room.
[[nodiscard]] bool EnsureTrailingBackslash(char* path, size_t size);

// True for the blanks the C library's isspace knows in the "C" locale.
bool IsSpaceCharacter(char c);

// An ASCII letter in lower case, any other byte as it is: how the names of
// sections, keys, entries and files compare where letter case does not
// count (code-page text: ansi_text.h).
char LowerAscii(char c);
bool EqualIgnoringAsciiCase(const char* a, size_t aLength, const char* b, size_t bLength);

// strtoul with a 32-bit result whatever the width of long: leading blanks,
// an optional sign ("-" negates modulo 2^32), then digits of `radix` (2 to
// 36; letters in either case). Radix 16 skips a "0x" before a digit; radix 0
// reads "0x..." as hexadecimal and anything else as decimal. Reading stops at
// the first other character; a magnitude beyond 32 bits gives 0xFFFFFFFF.
uint32_t ParseUnsigned(const char* text, int radix);
