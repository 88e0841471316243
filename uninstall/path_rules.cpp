#include "uninstall/path_rules.h"

#include <cstring>

#include "script/constant_names.h"
#include "system/bounded_text.h"
#include "system/windows_names.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        c = ::LowerAscii(c);
    }
    return text;
}

// A name the platform would take as written: not "." or "..", no trailing dot
// or blank (stripped by the platform, so "Windows." names "Windows"), no
// wildcard, stream separator or control character. Device names are left to
// the removal, which cannot delete a device.
bool IsPlainName(const std::string& name) {
    const NameProblem problem = FindNameProblem(name);
    return !name.empty() && (problem == NameProblem::None || problem == NameProblem::DeviceName);
}

// Splits text from position `start` into names at separators, dropping empty
// ones. False when a name is not plain.
bool SplitNames(const std::string& text, size_t start, std::vector<std::string>& names) {
    std::string name;
    for (size_t i = start; i <= text.size(); ++i) {
        if (i < text.size() && !IsSeparator(text[i])) {
            name += text[i];
            continue;
        }
        if (!name.empty()) {
            if (!IsPlainName(name)) {
                return false;
            }
            names.push_back(name);
            name.clear();
        }
    }
    return true;
}

// The root of an absolute path ("c:" or "\\server\share", lower case) and the
// names below it. False for a relative, drive-relative or device path.
bool SplitAbsolutePath(const std::string& path, std::string& root,
                       std::vector<std::string>& names) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]) &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        root = LowerAscii(path.substr(0, 2));
        return SplitNames(path, 3, names);
    }
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) {
        return false;
    }
    // A share: "\\server\share". "\\?\" and "\\.\" are device paths.
    std::vector<std::string> parts;
    if (!SplitNames(path, 2, parts) || parts.size() < 2 || IsSeparator(path[2])) {
        return false;
    }
    root = LowerAscii("\\\\" + parts[0] + "\\" + parts[1]);
    names.assign(parts.begin() + 2, parts.end());
    return true;
}

// The length of the path without its trailing separators.
size_t LengthWithoutTrailingSeparators(const std::string& path) {
    size_t length = path.size();
    while (length > 0 && IsSeparator(path[length - 1])) {
        --length;
    }
    return length;
}

// Whether `path` (normalised) is `folder` (normalised) or lies below it.
bool IsAtOrBelow(const std::string& path, const std::string& folder) {
    if (path.empty() || folder.empty() || path.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    // A root keeps its separator: "c:\" holds "c:\x".
    return path.size() == folder.size() || folder.back() == '\\' || path[folder.size()] == '\\';
}

bool StartsWithKey(const std::string& path, const std::string& key) {
    return key.empty() || (path.compare(0, key.size(), key) == 0 &&
                           (path.size() == key.size() || path[key.size()] == '\\'));
}

} // namespace

std::string NormalizePath(const std::string& path) {
    std::string root;
    std::vector<std::string> names;
    // A share root of 259 characters gains its separator here; its
    // normalised form must still be taken.
    if (LengthWithoutTrailingSeparators(path) >= kLogPathSize ||
        !SplitAbsolutePath(path, root, names)) {
        return std::string();
    }
    std::string normalized = root;
    if (names.empty()) {
        return normalized + "\\";
    }
    for (const std::string& name : names) {
        normalized += "\\" + LowerAscii(name);
    }
    return normalized;
}

PathVerdict CheckRemovablePath(const std::string& path, const ProtectedFolders& protectedFolders) {
    if (path.empty()) {
        return PathVerdict::Empty;
    }
    std::string normalized = NormalizePath(path);
    if (normalized.empty()) {
        return PathVerdict::Invalid;
    }
    if (normalized.back() == '\\') {
        return PathVerdict::Protected; // a drive or share root
    }
    for (const std::string& folder : protectedFolders) {
        if (NormalizePath(folder) == normalized) {
            return PathVerdict::Protected;
        }
    }
    return PathVerdict::Removable;
}

std::string NormalizeKeyPath(const std::string& keyPath) {
    size_t first = keyPath.find_first_not_of('\\');
    if (first == std::string::npos) {
        return std::string();
    }
    size_t last = keyPath.find_last_not_of('\\');
    return LowerAscii(keyPath.substr(first, last - first + 1));
}

PathVerdict CheckRegistryKeyPath(const std::string& keyPath) {
    if (keyPath.size() >= kLogPathSize) {
        return PathVerdict::Invalid;
    }
    std::string normalized = NormalizeKeyPath(keyPath);
    if (normalized.empty()) {
        return PathVerdict::Invalid;
    }
    return IsRootKeyName(normalized.c_str()) ? PathVerdict::Protected : PathVerdict::Removable;
}

bool IsBelowFolder(const std::string& path, const std::string& folder) {
    std::string normalizedPath = NormalizePath(path);
    std::string normalizedFolder = NormalizePath(folder);
    return normalizedPath != normalizedFolder && IsAtOrBelow(normalizedPath, normalizedFolder);
}

bool IsInSystemTree(const std::string& path, const SystemTrees& systemTrees) {
    std::string normalized = NormalizePath(path);
    for (const std::string& tree : systemTrees) {
        if (IsAtOrBelow(normalized, NormalizePath(tree))) {
            return true;
        }
    }
    return false;
}

bool ServiceBelongsToInstallation(const std::string& commandLine, const std::string& folder,
                                  bool folderIsOwn, const std::set<std::string>& installedFiles,
                                  const SystemTrees& systemTrees) {
    std::vector<std::string> candidates;
    if (!commandLine.empty() && commandLine[0] == '"') {
        size_t closing = commandLine.find('"', 1);
        if (closing == std::string::npos) {
            return false;
        }
        candidates.push_back(commandLine.substr(1, closing - 1));
    } else {
        for (size_t blank = commandLine.find(' '); blank != std::string::npos;
             blank = commandLine.find(' ', blank + 1)) {
            candidates.push_back(commandLine.substr(0, blank));
        }
        candidates.push_back(commandLine);
    }
    for (const std::string& candidate : candidates) {
        std::string program = NormalizePath(candidate);
        if (program.empty() || IsInSystemTree(program, systemTrees)) {
            continue;
        }
        if ((folderIsOwn && IsBelowFolder(program, folder)) || installedFiles.count(program) > 0) {
            return true;
        }
    }
    return false;
}

namespace {

// How far a system key's protection reaches.
enum class KeyReach {
    Tree,            // the key, everything below it, every value: always kept
    Settings,        // its values, and those of its subkeys, unless the installation made the key
    SettingsKeyOnly, // the values of the key itself, on the same terms; its subkeys are free
};

struct SystemKey {
    RegistryRoot root;
    const char* path; // normalised: lower case, no separators at the ends
    KeyReach reach;
};

// A 32-bit uninstaller sees HKEY_LOCAL_MACHINE\SOFTWARE through the WOW64
// view, but a log may name the 32-bit node directly.
const SystemKey kSystemKeys[] = {
    {RegistryRoot::LocalMachine, "system", KeyReach::Tree},
    {RegistryRoot::LocalMachine, "sam", KeyReach::Tree},
    {RegistryRoot::LocalMachine, "security", KeyReach::Tree},
    {RegistryRoot::LocalMachine, "hardware", KeyReach::Tree},
    {RegistryRoot::LocalMachine, "bcd00000000", KeyReach::Tree},
    {RegistryRoot::CurrentConfig, "", KeyReach::Tree},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows nt\\currentversion",
     KeyReach::Settings},
    {RegistryRoot::LocalMachine, "software\\wow6432node\\microsoft\\windows nt\\currentversion",
     KeyReach::Settings},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows nt\\currentversion",
     KeyReach::Settings},
    {RegistryRoot::LocalMachine, "software\\policies", KeyReach::Settings},
    {RegistryRoot::LocalMachine, "software\\wow6432node\\policies", KeyReach::Settings},
    {RegistryRoot::CurrentUser, "software\\policies", KeyReach::Settings},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion\\policies",
     KeyReach::Settings},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion\\policies",
     KeyReach::Settings},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion",
     KeyReach::SettingsKeyOnly},
    {RegistryRoot::LocalMachine, "software\\wow6432node\\microsoft\\windows\\currentversion",
     KeyReach::SettingsKeyOnly},
};

} // namespace

bool IsSystemRegistryEntry(RegistryRoot root, const std::string& keyPath, bool isValue,
                           bool inCreatedKey) {
    std::string key = NormalizeKeyPath(keyPath);
    for (const SystemKey& system : kSystemKeys) {
        if (system.root != root) {
            continue;
        }
        const std::string systemPath = system.path;
        bool atOrBelow = StartsWithKey(key, systemPath);
        if (!isValue &&
            (StartsWithKey(systemPath, key) || (atOrBelow && system.reach == KeyReach::Tree))) {
            return true; // the key is, holds or lies in one the system owns
        }
        if (!isValue || !atOrBelow) {
            continue;
        }
        if (system.reach == KeyReach::Tree) {
            return true;
        }
        bool covered = system.reach == KeyReach::Settings || key.size() == systemPath.size();
        if (covered && !inCreatedKey) {
            return true;
        }
    }
    return false;
}
