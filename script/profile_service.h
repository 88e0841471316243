// The profile-file service beneath IniFile: the platform's own on Windows,
// the project's profile-file module elsewhere. Names match case-insensitively
// and blanks around names and values are ignored.
#pragma once

#include <cstdint>

// Copies the value of key in section, or defaultValue when either is absent,
// into buffer (always terminated; one pair of enclosing quotes dropped).
// Returns the characters copied, size - 1 when the value was cut.
uint32_t ProfileReadValue(const char* section, const char* key, const char* defaultValue,
                          char* buffer, uint32_t size, const char* path);

// Sets key to value, creating file, section and key as needed. A null key
// removes the section, a null value the key. Returns non-zero on success.
int ProfileWriteValue(const char* section, const char* key, const char* value, const char* path);

// The section's "key=value" lines as a double-NUL list. Returns the characters
// copied without the closing NUL, size - 2 when cut.
uint32_t ProfileReadSection(const char* section, char* buffer, uint32_t size, const char* path);

// All section names as a double-NUL list; counts as ProfileReadSection.
uint32_t ProfileReadSectionNames(char* buffer, uint32_t size, const char* path);

// Replaces the section's contents with the "key=value" strings of a double-NUL
// list, creating the section if needed. Returns non-zero on success.
int ProfileWriteSection(const char* section, const char* list, const char* path);
