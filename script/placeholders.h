// Placeholder expansion of setup-script values, the substring replacement
// beneath it, and the names of registry and service constants.
#pragma once

#include <cstdint>

// The run's values that placeholders stand for. The setup driver points these
// at its run-state buffers once; the texts are read anew on every expansion.
// A null pointer stands for an empty text.
struct PlaceholderValues {
    const char* programFilesDirectory; // "%%PROGRAMFILES%%", ends in a backslash
    const char* destinationDirectory;  // "%%INSTALLDIR%%"
    const char* userName;              // "%%USER%%"
    const char* companyName;           // "%%COMPANY%%"
};

void SetPlaceholderValues(const PlaceholderValues& values);

// Replaces every occurrence of `find` (byte-wise, case-sensitive, left to
// right, not overlapping) in `text` by `replacement`. Returns `text` itself
// when `find` does not occur or is empty, otherwise a shared buffer of 4096
// bytes that the next replacing call overwrites; a longer result is cut to
// 4095 bytes. `text` must not be that shared buffer.
const char* ReplaceAll(const char* text, const char* find, const char* replacement);

// Returns a new 260-byte string (release with delete[]; null only when memory
// runs out) holding `text` with the tokens "%%DESKTOP%%", "%%PROGRAMS%%",
// "%%PROGRAMFILES%%", "%%INSTALLDIR%%", "%%USER%%", "%%COMPANY%%",
// "%%WINDIR%%" and "%%WINSYSDIR%%" replaced one after another in that order.
// The text and every intermediate result are cut to 259 characters. A folder
// the system cannot name (on other platforms than Windows: every folder)
// replaces its token by an empty text.
char* ExpandPlaceholders(const char* text);

// The platform numbers for the script's constant names. Names are compared
// whole and case-sensitively; an unknown or empty name gives the default
// noted. All numbers are those of the Windows headers.
uint32_t RegistryValueTypeFromName(const char* name); // REG_*; default REG_SZ (1)
// Low 32 bits of the predefined key handle; HKEY_LOCAL_MACHINE (0x80000002)
// by default. Make the HKEY by sign extension: (HKEY)(LONG_PTR)(LONG)number.
uint32_t RootKeyFromName(const char* name);
uint32_t ServiceTypeFromName(const char* name);  // default SERVICE_WIN32_OWN_PROCESS (0x10)
uint32_t ErrorControlFromName(const char* name); // default SERVICE_ERROR_NORMAL (1)
uint32_t StartTypeFromName(const char* name);    // default SERVICE_DEMAND_START (3)
