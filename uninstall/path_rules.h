// The safety rules for what an uninstall log names. The log is data from disk:
// a damaged or edited log must never lead to a drive, a system folder or a
// registry root being removed, so every entry passes these checks first.
#pragma once

#include <string>
#include <vector>

#include "script/uninstall_log_format.h"

enum class PathVerdict {
    Removable,
    Empty,     // nothing was created under this entry
    Invalid,   // relative, too long, or with parts the platform would reinterpret
    Protected, // a drive or share root, or one of the system's own folders
};

// Full paths of the system's own folders (Windows, system, Program Files and
// the like), which are never removed even when empty.
using ProtectedFolders = std::vector<std::string>;

// Verdict on a file or folder path. Only absolute paths with a drive letter
// ("C:\...") or a share ("\\server\share\...") can be removable; "." and ".."
// and names ending in a dot or blank (which the platform would silently
// shorten) are invalid, as are wildcards and stream names.
PathVerdict CheckRemovablePath(const std::string& path, const ProtectedFolders& protectedFolders);

// Verdict on a registry key path below a root: empty, or naming a root key
// itself, or longer than the installer could have written, is never removable.
PathVerdict CheckRegistryKeyPath(const std::string& keyPath);

// The path with '/' read as '\', repeated separators and a trailing one
// dropped, and ASCII letters in lower case: two paths naming the same file the
// same way compare equal. Empty for a path that is not absolute and valid.
std::string NormalizePath(const std::string& path);

// The registry key path without separators at its ends, in lower case.
std::string NormalizeKeyPath(const std::string& keyPath);
