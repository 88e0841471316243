// Targets and folders: what the installation creates, in the order it
// creates it, and the files, shortcuts and paths that rely on it.
#include <cstring>
#include <iterator>

#include "script/placeholders.h"
#include "script/setup_script.h"
#include "system/bounded_text.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"folder-order", Severity::Error,
     "a folder below `%%INSTALLDIR%%` listed before its parent (never created)"},
    {"folder-not-created", Severity::Error,
     "a folder, `[files]` target or shortcut below `%%INSTALLDIR%%` whose folder nothing creates"},
    {"duplicate-target", Severity::Warning, "two files with one target"},
    {"target-outside-installdir", Severity::Warning, "a `[files]` target outside `%%INSTALLDIR%%`"},
    {"entry-without-target", Severity::Error,
     "a payload entry `file_N` without a `[files]` key (message 140)"},
    {"target-without-entry", Severity::Warning, "a `[files]` key without a payload entry"},
    {"shortcut-target-not-installed", Severity::Warning,
     "a shortcut to a file below `%%INSTALLDIR%%` that is not installed"},
};

std::string FilesKeyOfEntry(const std::string& name) {
    std::string key;
    const size_t prefixLength = std::strlen(kAppEntryPrefix);
    for (size_t at = 0; at < name.size();) {
        if (name.compare(at, prefixLength, kAppEntryPrefix) == 0) {
            at += prefixLength;
        } else {
            key.push_back(name[at++]);
        }
    }
    return key;
}

// --- Paths ----------------------------------------------------------------

// A placeholder alone: a folder that exists before anything is created.
bool IsPlaceholderRoot(const std::string& normalized) {
    return normalized.size() == 2 && normalized[0] == '\x01';
}

// --- What the installation creates -----------------------------------------

} // namespace

// A path in a form to compare: placeholders kept (each followed by the
// backslash its value ends in), separators as backslashes, repeated ones
// folded, none at the end, letters in lower case. Marker bytes stand for the
// placeholders, so that a token's own case stays significant.
std::string NormalizePath(const std::string& path) {
    std::string marked;
    for (size_t at = 0; at < path.size();) {
        bool replaced = false;
        for (size_t i = 0; i < std::size(kPlaceholderTokens) && !replaced; ++i) {
            const char* token = kPlaceholderTokens[i];
            if (path.compare(at, std::strlen(token), token) == 0) {
                marked += '\x01';
                marked += static_cast<char>('0' + i);
                marked += '\\';
                at += std::strlen(token);
                replaced = true;
            }
        }
        if (!replaced) {
            const char c = path[at++];
            marked += c == '/' ? '\\' : LowerAscii(c);
        }
    }
    std::string folded;
    for (char c : marked) {
        if (c == '\\' && !folded.empty() && folded.back() == '\\' && folded.size() > 1) {
            continue;
        }
        folded += c;
    }
    while (folded.size() > 1 && folded.back() == '\\') {
        folded.pop_back();
    }
    return folded;
}

namespace {

// "%%INSTALLDIR%%" alone, normalised.
std::string InstallDirRoot() {
    return NormalizePath(kInstallDirToken);
}

} // namespace

bool IsUnderInstallDir(const std::string& normalized) {
    const std::string root = InstallDirRoot();
    return normalized.compare(0, root.size(), root) == 0;
}

// The folder that holds a normalised path; "" for none.
std::string ParentPath(const std::string& normalized) {
    const size_t slash = normalized.rfind('\\');
    if (slash == std::string::npos) {
        return "";
    }
    return normalized.substr(0, slash);
}

bool IsCreatedFolder(const Created& created, const std::string& normalized) {
    return IsPlaceholderRoot(normalized) || created.folders.count(normalized) != 0;
}

// A folder list, created one level at a time in order: a folder below
// %%INSTALLDIR%% whose parent is not there yet is never made.
void CheckFolderList(CheckRun& run, const std::vector<ListItem>& items, Created* created) {
    std::map<std::string, int> later;
    for (const ListItem& item : items) {
        const ScriptEntry* entry = FieldEntry(item, kPlainItemKey);
        if (entry != nullptr) {
            later.emplace(NormalizePath(Value(entry)), entry->line);
        }
    }
    for (const ListItem& item : items) {
        const ScriptEntry* entry = FieldEntry(item, kPlainItemKey);
        if (entry == nullptr) {
            continue;
        }
        const std::string path = NormalizePath(Value(entry));
        const std::string parent = ParentPath(path);
        if (IsUnderInstallDir(path) && !IsPlaceholderRoot(path) &&
            !IsCreatedFolder(*created, parent)) {
            auto found = later.find(parent);
            if (found != later.end()) {
                Report(run, entry->line, "folder-order",
                       "listed before its parent (line " + Number(found->second) +
                           "): setup.exe creates one level at a time, so this folder is never "
                           "created");
            } else {
                Report(run, entry->line, "folder-not-created",
                       "its parent folder is created by nothing: setup.exe creates one level at a "
                       "time, so this folder is never created");
            }
        }
        created->folders.insert(path);
    }
}

bool TargetInstalled(const CheckRun& run, const Created& created, const std::string& path,
                     bool folderToo) {
    if (!run.filesKnown) {
        return true;
    }
    const std::string normalized = NormalizePath(path);
    if (!IsUnderInstallDir(normalized)) {
        return true; // not ours to know
    }
    return created.files.count(normalized) != 0 ||
           (folderToo && IsCreatedFolder(created, normalized));
}

void CheckFiles(CheckRun& run, const std::vector<Target>& targets, Created* created) {
    for (const Target& target : targets) {
        const std::string value = ProfileValue(*target.entry);
        if (value.empty()) {
            continue;
        }
        if (!StartsWith(value, kInstallDirToken)) {
            Report(run, target.entry->line, "target-outside-installdir",
                   "the target lies outside " + std::string(kInstallDirToken) +
                       ": a file there is replaced and later removed by the uninstaller");
        } else if (!IsCreatedFolder(*created, ParentPath(target.normalized))) {
            Report(run, target.entry->line, "folder-not-created",
                   "the target's folder is created by nothing ([" + std::string(kFoldersSection) +
                       "] does not list it): setup.exe cannot copy the file (message 140)");
        }
        auto known = created->files.find(target.normalized);
        if (known != created->files.end()) {
            Report(run, target.entry->line, "duplicate-target",
                   "the same target as " + Quoted(known->second->key) + " (line " +
                       Number(known->second->entry->line) + "): one file replaces the other");
        } else {
            created->files.emplace(target.normalized, &target);
        }
    }
    if (!run.entriesKnown) {
        return;
    }
    const ScriptSection* section = FindSection(run.effective, kFilesSection);
    std::set<std::string> entryKeys;
    for (const std::string& name : run.appEntries) {
        const std::string key = FilesKeyOfEntry(name);
        entryKeys.insert(LowerText(key));
        const ScriptEntry* entry = section != nullptr ? FindEntry(*section, key) : nullptr;
        if (Value(entry).empty()) {
            Report(run, LineOf(entry, section), "entry-without-target",
                   "the payload entry " + Quoted(name) + " has no target in [" +
                       std::string(kFilesSection) + "] (key " + Quoted(key) +
                       "): setup.exe shows message 140 and installs nothing from it");
        }
    }
    for (const Target& target : targets) {
        if (entryKeys.count(LowerText(target.key)) == 0) {
            Report(run, target.entry->line, "target-without-entry",
                   "no payload entry " + Quoted(kAppEntryPrefix + target.key) +
                       ": nothing is installed at this target");
        }
    }
}

void CheckShortcuts(CheckRun& run, const std::vector<ListItem>& items, const Created& created) {
    for (const ListItem& item : items) {
        const std::string target = FieldValue(item, kShortcutTargetKey);
        if (!target.empty() && !TargetInstalled(run, created, target, true)) {
            Report(run, FieldLine(item, kShortcutTargetKey), "shortcut-target-not-installed",
                   "the shortcut points to " + Quoted(target) +
                       ", which the installation does not install");
        }
        const std::string shortcut = NormalizePath(FieldValue(item, kShortcutFileKey));
        if (IsUnderInstallDir(shortcut) && run.filesKnown &&
            !IsCreatedFolder(created, ParentPath(shortcut))) {
            Report(run, FieldLine(item, kShortcutFileKey), "folder-not-created",
                   "the shortcut's folder is created by nothing: setup.exe cannot create it");
        }
    }
}

// A registry key path as the registry compares them.

CheckFamily TargetChecks() {
    return {"targets and folders", kChecks, std::size(kChecks)};
}
