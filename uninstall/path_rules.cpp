#include "uninstall/path_rules.h"

#include <cstring>

#include "script/constant_names.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        c = LowerAscii(c);
    }
    return text;
}

// A name the platform would take as written: not "." or "..", no trailing dot
// or blank (stripped by the platform, so "Windows." names "Windows"), no
// wildcard, stream separator or control character.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c) != nullptr) {
            return false;
        }
    }
    return true;
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

} // namespace

std::string NormalizePath(const std::string& path) {
    std::string root;
    std::vector<std::string> names;
    if (path.size() >= kLogPathSize || !SplitAbsolutePath(path, root, names)) {
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
