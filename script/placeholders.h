// Placeholder expansion of setup-script values and the substring replacement
// beneath it. A returned char* is the caller's, released with delete[]; a
// returned const char* is lent and stays this module's.
#pragma once

#include <cstddef>

// The tokens, each a directory ending in a backslash or a text of the user's,
// in the order ExpandPlaceholders replaces them.
inline constexpr char kDesktopToken[] = "%%DESKTOP%%";
inline constexpr char kProgramsToken[] = "%%PROGRAMS%%";
inline constexpr char kProgramFilesToken[] = "%%PROGRAMFILES%%";
inline constexpr char kInstallDirToken[] = "%%INSTALLDIR%%";
inline constexpr char kUserToken[] = "%%USER%%";
inline constexpr char kCompanyToken[] = "%%COMPANY%%";
inline constexpr char kWindowsDirToken[] = "%%WINDIR%%";
inline constexpr char kSystemDirToken[] = "%%WINSYSDIR%%";
inline constexpr const char* kPlaceholderTokens[] = {
    kDesktopToken, kProgramsToken, kProgramFilesToken, kInstallDirToken,
    kUserToken,    kCompanyToken,  kWindowsDirToken,   kSystemDirToken,
};

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
// replaces its token by an empty text. The folders are asked for once, on
// first use; the values of PlaceholderValues are read on every call.
char* ExpandPlaceholders(const char* text);
