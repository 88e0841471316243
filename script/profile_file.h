// The project's own profile-file (INI) module, for platforms without a
// profile service. Plain file I/O only; every call reads the file afresh and
// every write rewrites it whole, keeping all lines it does not change.
//
// Names match case-insensitively (ASCII), blanks around section names, keys
// and values are ignored, lines end in CR LF when written. Where a name occurs
// twice, the first section and the first key count; lines before the first
// section header form the section with the empty name. Lines starting with
// ";" are comments. A missing or unreadable file reads as empty.
#pragma once

#include <cstdint>

// Copies the value, or defaultValue as it is when section or key is absent
// (a key on a line without "=" counts as absent), into buffer of
// size bytes, always terminated; one pair of enclosing single or double
// quotes around a value is dropped. Returns the characters copied, size - 1
// when the value was cut.
uint32_t ProfileFileReadValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, uint32_t size, const char* path);

// Sets key to value in section, creating the file, the section (at the end of
// the file) and the key (at the end of its section) as needed; names and
// value are stored without blanks around them. A null key removes the
// section, a null value the key. A file that would not change is not
// written. Returns 0 when the file cannot be read or written, else 1.
int ProfileFileWriteValue(const char* section, const char* key, const char* value,
                          const char* path);

// The section's lines as a double-NUL list of "key=value" strings (a line
// without "=" as its key alone; comments and blank lines left out). Returns
// the characters copied without the closing NUL, size - 2 when cut: the last
// string is then cut and followed by two NULs.
uint32_t ProfileFileReadSection(const char* section, char* buffer, uint32_t size, const char* path);

// All section names as a double-NUL list; counts as ProfileFileReadSection.
uint32_t ProfileFileReadSectionNames(char* buffer, uint32_t size, const char* path);

// Replaces the section's lines, comments included, with the "key=value"
// strings of a double-NUL list (strings without "=" are skipped), creating the
// section if needed. Returns as ProfileFileWriteValue.
int ProfileFileWriteSection(const char* section, const char* list, const char* path);
