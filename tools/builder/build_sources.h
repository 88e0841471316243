// The application files of a build script: its [sources] items matched
// against the file system, and the folders their targets need.
#pragma once

#include <string>
#include <vector>

// One application file: where it is read from (a file-system path) and its
// target as setup.ini gives it (CP1252, "\\" separators, placeholders as
// written).
struct SourceFile {
    std::string sourcePath;
    std::string target;
    int line; // of the "%s_from" key it came from
};

// Matches `pattern` ("/" or "\\" alike; "*" and "?" within one name, "**"
// any number of folders), relative to `baseDirectory` unless absolute, and
// appends one SourceFile per matching file, ordered by byte order of the
// kept relative path. A file keeps its name, a directory or a "**" the paths
// below it. `targetFolder` is the folder the files go to; a "\\" is put
// between it and the kept path unless it ends in one, in "/" or in a
// placeholder. `pattern` and `targetFolder` are CP1252. False with *problem
// when nothing matches, a file cannot be read, a name cannot be written in
// CP1252 or is one setup.exe cannot create on Windows (a control character,
// one of < > : " | ? *, a device name such as NUL or COM1 with or without an
// extension, a trailing dot or blank), or when `files` would hold more than
// `limit` files: the walk stops there.
bool CollectSources(const std::string& baseDirectory, const std::string& pattern,
                    const std::string& targetFolder, int line, size_t limit,
                    std::vector<SourceFile>* files, std::string* problem);

// Whether a file or folder name matches a pattern part: "*" any run of
// characters, "?" one character, byte-wise. Work grows with the name's
// length times the pattern's.
bool MatchName(const char* pattern, const char* name);

// The folders below their root (a placeholder, a drive or nothing) that the
// targets lie in, after `listed` (kept first, in their order), each parent
// before its children and each folder once: letter case and "/" against "\\"
// do not tell folders apart, and a trailing separator is not part of one.
std::vector<std::string> PlanFolders(const std::vector<std::string>& listed,
                                     const std::vector<std::string>& targets);

// A file-system path for a CP1252 path of a script (on Windows the same
// bytes; elsewhere UTF-8).
std::string FileSystemPath(const std::string& scriptPath);

// CP1252 text as UTF-8, on every platform (for JSON).
std::string Utf8FromScriptText(const std::string& text);
