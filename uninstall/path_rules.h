// The safety rules for what an uninstall log names. The log is data from disk:
// a damaged or edited log must never lead to a drive, a system folder or a
// registry root being removed, so every entry passes these checks first.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "script/constant_names.h"
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

// Folders whose whole content belongs to the system (the Windows directory
// and its system directories): nothing below them is an application's to
// remove, whatever a log says.
using SystemTrees = std::vector<std::string>;

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
// same way compare equal. A drive or share root keeps one separator. Empty
// for a path that is not absolute and valid; the length bound counts the
// path without trailing separators, so a normalised path normalises to
// itself.
std::string NormalizePath(const std::string& path);

// Whether `path` lies strictly below `folder`, name by name; false when
// either is not a valid absolute path.
bool IsBelowFolder(const std::string& path, const std::string& folder);

// Whether `path` is one of the system trees or lies below one.
bool IsInSystemTree(const std::string& path, const SystemTrees& systemTrees);

// Whether a service whose command line is `commandLine` runs a program of
// the installation in `folder`: a file below that folder, or one of
// `installedFiles` (as NormalizePath gives them), but never one in a system
// tree. A quoted program path is taken as quoted; an unquoted one may end at
// any blank, as the platform reads it. A folder that is itself a system
// folder or in a system tree (`folderIsOwn` false) vouches for nothing.
bool ServiceBelongsToInstallation(const std::string& commandLine, const std::string& folder,
                                  bool folderIsOwn, const std::set<std::string>& installedFiles,
                                  const SystemTrees& systemTrees);

// The registry key path without separators at its ends, in lower case.
std::string NormalizeKeyPath(const std::string& keyPath);

// Whether a logged registry key, or a value in it (`isValue`), belongs to the
// system and is kept: anything in the trees that hold the system's own
// configuration (HKEY_LOCAL_MACHINE\SYSTEM, SAM, SECURITY, HARDWARE, the
// boot data, and HKEY_CURRENT_CONFIG); a key that is, or holds, one of the
// system's settings keys (Windows NT\CurrentVersion, Windows\CurrentVersion
// itself, the policy keys); and a value in those settings keys unless
// `inCreatedKey`: a log lists its key, or a key above it, as created by the
// installation. Values in other existing keys (Environment, Run) remain the
// installation's to remove.
bool IsSystemRegistryEntry(RegistryRoot root, const std::string& keyPath, bool isValue,
                           bool inCreatedKey);
