// A setup script or build script as the builder sees it: every section and
// entry with its line, read the way setup.exe's profile reader reads
// (script/profile_file.h), so that the builder's checks and the setup.ini it
// writes agree with what the installer will find. Texts are CP1252, the code
// page setup.exe reads its script in.
#pragma once

#include <string>
#include <vector>

// One "key=value" line; blanks around key and value trimmed, the value as
// written (enclosing quotes kept). A line without "=" is kept with hasValue
// false: the profile reader treats its key as absent.
struct ScriptEntry {
    std::string key;
    std::string value;
    int line;
    bool hasValue = true;
};

// Lines before the first header form the section with the empty name; it is
// listed only when it holds entries. `line` is the header's line (1 for the
// unnamed section).
struct ScriptSection {
    std::string name;
    int line;
    std::vector<ScriptEntry> entries;
};

struct ScriptDocument {
    std::string path;
    std::vector<ScriptSection> sections; // in file order, duplicates kept
};

// How the bytes of a script are taken.
enum class ScriptBytes {
    // A build script: bytes that are valid UTF-8 and not plain ASCII are taken
    // as UTF-8 (a leading byte-order mark dropped), anything else as CP1252.
    Detect,
    // A setup.ini: as setup.exe takes them, every byte a CP1252 character.
    AsSetupExe,
};

// Reads a build script or setup.ini; the result is CP1252. A character CP1252
// cannot hold gives false with *error = "FILE:LINE: error: TEXT"; an
// unreadable file gives false with "FILE: error: TEXT".
bool ReadScriptDocument(const std::string& path, ScriptDocument* document, std::string* error);
// The file's bytes; false with "FILE: error: TEXT" when it cannot be read.
bool ReadScriptBytes(const std::string& path, std::string* bytes, std::string* error);
// The same for bytes already read; `path` names them in messages.
bool ParseScriptDocument(const std::string& bytes, const std::string& path,
                         ScriptDocument* document, std::string* error,
                         ScriptBytes how = ScriptBytes::Detect);

// For bytes setup.exe will read as CP1252: when they are valid UTF-8 and not
// plain ASCII (text saved as UTF-8), true with the first line (from 1) that
// holds a character beyond ASCII, and that line as setup.exe shows it,
// itself in UTF-8.
bool FindUtf8Line(const std::string& bytes, int* line, std::string* shown);

// The section or entry setup.exe would use: names match without regard to
// ASCII letter case, the first one counts. Null when there is none.
const ScriptSection* FindSection(const ScriptDocument& document, const char* name);
const ScriptEntry* FindEntry(const ScriptSection& section, const char* key);
// The same for names taken from a document, which may hold any byte.
const ScriptSection* FindSection(const ScriptDocument& document, const std::string& name);
const ScriptEntry* FindEntry(const ScriptSection& section, const std::string& key);

// The value as setup.exe's profile reader returns it: one pair of enclosing
// double or single quotes dropped; empty for a line without "=".
std::string ProfileValue(const ScriptEntry& entry);

// True when the two names are equal without regard to ASCII letter case.
bool EqualNamesIgnoringCase(const std::string& a, const char* b);
bool EqualNamesIgnoringCase(const std::string& a, const std::string& b);

// The document as a profile file: CP1252, CR LF line ends, sections and
// entries in their order, a blank line between sections.
std::string FormatScriptText(const ScriptDocument& document);
