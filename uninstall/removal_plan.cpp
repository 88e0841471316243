#include "uninstall/removal_plan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <utility>

#include "script/ini_file.h"
#include "script/uninstall_log_format.h"
#include "uninstall/path_rules.h"

namespace {

// The fields of one numbered entry: "" for a plain section's "7", or "_hkey",
// "_key" and "_value" for the registry sections' "7_hkey" and so on.
using EntryFields = std::map<std::string, std::string>;
using NumberedEntries = std::map<unsigned long, EntryFields>;

struct LogSection {
    const char* name;
    RemovalKind kind;
};

// The sections holding one path per numbered key, in removal order.
const LogSection kPathSections[] = {
    {kLogShellItemsSection, RemovalKind::Shortcut},
    {kLogShellFoldersSection, RemovalKind::ShellFolder},
    {kLogFilesSection, RemovalKind::File},
    {kLogFoldersSection, RemovalKind::Folder},
};

// Splits a "key=value" line in place as the profile reader does: blanks
// around both dropped, and one pair of quotes around the value. False for a
// line without "=".
bool SplitLine(char* line, std::string& key, std::string& value) {
    char* equals = std::strchr(line, '=');
    if (equals == nullptr) {
        return false;
    }
    *equals = '\0';
    char* text = equals + 1;
    TrimBlanks(line);
    TrimBlanks(text);
    size_t length = std::strlen(text);
    if (length >= 2 && (text[0] == '"' || text[0] == '\'') && text[length - 1] == text[0]) {
        text[length - 1] = '\0';
        ++text;
    }
    key = line;
    value = text;
    return true;
}

// The numbered entries of a section, from one read of the whole section (a
// read per key would cost a read of the file each) into room for the whole
// file, whose lines a section cannot outgrow. False when the section came
// back cut all the same (the file grew while it was read). A key written
// twice keeps its first value, as a profile read would.
bool ReadNumberedEntries(const IniFile& log, const char* section, long fileBytes,
                         NumberedEntries& entries) {
    // Two spare zero bytes keep the list closed even if the service filled
    // every byte it was given.
    const size_t room = static_cast<size_t>(fileBytes) + 16;
    std::vector<char> lines(room + 2);
    if (log.ReadSection(section, lines.data(), static_cast<uint32_t>(room)) + 2 >= room) {
        return false;
    }
    for (char* line = lines.data(); *line != '\0';) {
        char* next = line + std::strlen(line) + 1;
        std::string key;
        std::string value;
        unsigned long number = 0;
        const char* field = nullptr;
        if (SplitLine(line, key, value) && ParseLogKey(key.c_str(), &number, &field)) {
            entries[number].emplace(field, value);
        }
        line = next;
    }
    return true;
}

// A logged text of an entry; "" when absent.
std::string FieldText(const EntryFields& fields, const char* field) {
    auto found = fields.find(field);
    return found == fields.end() ? std::string() : found->second;
}

RemovalStep MakeStep(RemovalKind kind, const std::string& target) {
    return RemovalStep{kind, target, RegistryRoot::LocalMachine, std::string(), false};
}

// Adds a section's entries from the last number to the first. A text longer
// than the installer's buffers could have held marks its step as damaged; a
// root name of any length reads as the installer reads it.
void AddSectionSteps(const NumberedEntries& entries, RemovalKind kind,
                     std::vector<RemovalStep>& steps) {
    bool isRegistry = kind == RemovalKind::RegistryKey || kind == RemovalKind::RegistryValue;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const EntryFields& fields = entry->second;
        RemovalStep step = MakeStep(kind, FieldText(fields, isRegistry ? kLogKeyPathField : ""));
        if (isRegistry) {
            step.root = RegistryRootFromName(FieldText(fields, kLogRootField).c_str());
        }
        if (kind == RemovalKind::RegistryValue) {
            step.valueName = FieldText(fields, kLogValueNameField);
        }
        step.tooLong = step.target.size() >= kLogPathSize || step.valueName.size() >= kLogPathSize;
        steps.push_back(step);
    }
}

bool BeginsWithHeaderLine(std::FILE* file, const char* header) {
    size_t lineLength = std::strcspn(header, "\r\n");
    char line[64] = {};
    if (std::fgets(line, sizeof line, file) == nullptr ||
        std::strncmp(line, header, lineLength) != 0) {
        return false;
    }
    const char* rest = line + lineLength;
    return std::strcmp(rest, "\r\n") == 0 || std::strcmp(rest, "\n") == 0;
}

// Opens a log's file (or a list beside it) only to check its header and
// size, which it returns in `bytes`.
LogStatus CheckLogFile(const std::string& logPath, const char* header, long& bytes) {
    std::FILE* file = std::fopen(logPath.c_str(), "rb");
    if (file == nullptr) {
        return LogStatus::Missing;
    }
    bool hasHeader = BeginsWithHeaderLine(file, header);
    bytes = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    std::fclose(file);
    return hasHeader && bytes >= 0 && bytes <= kMaxLogBytes ? LogStatus::Read : LogStatus::Damaged;
}

// The identity under which a step could repeat another: files and shortcuts
// are files, folders and shell folders are folders. Empty for a step whose
// path is not valid, which is always kept so that it is refused and reported.
std::string StepIdentity(const RemovalStep& step) {
    std::string kind = std::to_string(static_cast<int>(step.kind));
    switch (step.kind) {
    case RemovalKind::Shortcut:
    case RemovalKind::File:
    case RemovalKind::ShellFolder:
    case RemovalKind::Folder: {
        std::string path = NormalizePath(step.target);
        bool isFolder = step.kind == RemovalKind::ShellFolder || step.kind == RemovalKind::Folder;
        return path.empty() ? path : (isFolder ? "folder:" : "file:") + path;
    }
    case RemovalKind::RegistryKey:
    case RemovalKind::RegistryValue:
        return kind + ":" + std::to_string(static_cast<int>(step.root)) + ":" +
               NormalizeKeyPath(step.target) + ":" + step.valueName;
    default:
        return kind + ":" + step.target;
    }
}

// Drops repeated entries, keeping the first in removal order, and the files
// and folders that the last steps remove anyway: the log, the uninstaller and
// their folder.
std::vector<RemovalStep> DropRepeatedSteps(const std::vector<RemovalStep>& steps,
                                           const std::string& directory) {
    std::set<std::string> seen = {
        "file:" + NormalizePath(directory + kUninstallerFile),
        "file:" + NormalizePath(directory + kUninstallLogName),
        "folder:" + NormalizePath(directory),
    };
    std::vector<RemovalStep> kept;
    for (const RemovalStep& step : steps) {
        std::string identity = StepIdentity(step);
        if (identity.empty() || seen.insert(identity).second) {
            kept.push_back(step);
        }
    }
    return kept;
}

// What one log lists, section by section, and the targets it replaced.
struct LogEntries {
    NumberedEntries services;
    NumberedEntries values;
    NumberedEntries keys;
    std::vector<NumberedEntries> paths; // in the order of kPathSections
    NumberedEntries replaced;           // by the number of the [files] entry
    std::string replacedListPath;       // empty when the log has no such list
};

constexpr size_t kFilesSectionIndex = 2; // of kPathSections

// Reads the log at logPath of `bytes` bytes and its list of replaced
// targets. False when a section or the list cannot be read whole: without
// the list the files it names would be lost.
bool ReadLogEntries(const std::string& logPath, long bytes, LogEntries& entries) {
    IniFile log(logPath.c_str());
    bool whole = ReadNumberedEntries(log, kLogServicesSection, bytes, entries.services) &&
                 ReadNumberedEntries(log, kLogRegistryValuesSection, bytes, entries.values) &&
                 ReadNumberedEntries(log, kLogRegistryKeysSection, bytes, entries.keys);
    for (const LogSection& section : kPathSections) {
        entries.paths.emplace_back();
        whole = whole && ReadNumberedEntries(log, section.name, bytes, entries.paths.back());
    }
    char listPath[kReplacedListPathSize];
    if (!whole || !ReplacedListPath(logPath.c_str(), listPath, sizeof listPath)) {
        return whole;
    }
    long listBytes = 0;
    LogStatus list = CheckLogFile(listPath, kReplacedListHeader, listBytes);
    if (list == LogStatus::Missing) {
        return true;
    }
    IniFile replaced(listPath);
    entries.replacedListPath = listPath;
    return list == LogStatus::Read &&
           ReadNumberedEntries(replaced, kReplacedSection, listBytes, entries.replaced);
}

// The logs that earlier installations into the same folder left beside this
// one, newest first: a later installation does not list the keys and
// services that already existed, so only they name them. One that is damaged,
// or would take the logs beyond kMaxAllLogsBytes, is passed over and stays,
// so its folder stays and is reported.
std::vector<std::string> ReadEarlierLogs(const std::string& logPath, long bytesSoFar,
                                         std::vector<LogEntries>& logs) {
    std::vector<std::string> read;
    for (int number = kMaxEarlierLogs; number >= 1; --number) {
        char buffer[kEarlierLogPathSize];
        if (!EarlierLogPath(logPath.c_str(), number, buffer, sizeof buffer)) {
            break;
        }
        const std::string path = buffer;
        long bytes = 0;
        if (CheckLogFile(path, kUninstallLogHeader, bytes) != LogStatus::Read ||
            bytes > kMaxAllLogsBytes - bytesSoFar) {
            continue;
        }
        IniFile earlier(path.c_str());
        LogEntries entries;
        if (!earlier.KeyExists(kLogMainSection, kLogTitleKey) ||
            !ReadLogEntries(path, bytes, entries)) {
            continue;
        }
        bytesSoFar += bytes;
        logs.push_back(std::move(entries));
        read.push_back(path);
    }
    return read;
}

// Each file the logs list, with whether it existed before: the oldest log
// that lists it decides, by whether its first entry for the file replaced a
// target that was there (a later entry of the same log replaces only the
// installation's own file).
std::map<std::string, bool> FindInstalledFiles(const std::vector<LogEntries>& logs) {
    std::map<std::string, bool> files;
    for (auto log = logs.rbegin(); log != logs.rend(); ++log) {
        std::map<std::string, bool> firstInThisLog;
        for (const auto& entry : log->paths[kFilesSectionIndex]) {
            std::string path = NormalizePath(FieldText(entry.second, ""));
            if (path.empty() || files.count(path) > 0 || firstInThisLog.count(path) > 0) {
                continue;
            }
            auto replaced = log->replaced.find(entry.first);
            firstInThisLog[path] = replaced != log->replaced.end() &&
                                   NormalizePath(FieldText(replaced->second, "")) == path;
        }
        files.insert(firstInThisLog.begin(), firstInThisLog.end());
    }
    return files;
}

using CreatedKeys = std::set<std::pair<RegistryRoot, std::string>>;

CreatedKeys FindCreatedKeys(const std::vector<LogEntries>& logs) {
    CreatedKeys keys;
    for (const LogEntries& log : logs) {
        for (const auto& entry : log.keys) {
            std::string path = NormalizeKeyPath(FieldText(entry.second, kLogKeyPathField));
            if (!path.empty()) {
                keys.emplace(RegistryRootFromName(FieldText(entry.second, kLogRootField).c_str()),
                             path);
            }
        }
    }
    return keys;
}

// Whether the key or one above it is among the created keys.
bool IsInCreatedKey(RegistryRoot root, const std::string& keyPath, const CreatedKeys& created) {
    std::string path = NormalizeKeyPath(keyPath);
    while (!path.empty()) {
        if (created.count({root, path}) > 0) {
            return true;
        }
        size_t separator = path.find_last_of('\\');
        path.resize(separator == std::string::npos ? 0 : separator);
    }
    return false;
}

} // namespace

LogStatus ReadRemovalPlan(const std::string& directory, RemovalPlan& plan) {
    std::string logPath = directory + kUninstallLogName;
    long bytes = 0;
    LogStatus status = CheckLogFile(logPath, kUninstallLogHeader, bytes);
    IniFile log(logPath.c_str());
    if (status != LogStatus::Read || !log.KeyExists(kLogMainSection, kLogTitleKey)) {
        return status == LogStatus::Read ? LogStatus::Damaged : status;
    }
    std::vector<LogEntries> logs(1);
    if (!ReadLogEntries(logPath, bytes, logs[0])) {
        return LogStatus::Damaged;
    }
    std::vector<std::string> earlierPaths = ReadEarlierLogs(logPath, bytes, logs);

    std::vector<RemovalStep> steps;
    for (const LogEntries& entries : logs) {
        AddSectionSteps(entries.services, RemovalKind::Service, steps);
    }
    for (const LogEntries& entries : logs) {
        AddSectionSteps(entries.values, RemovalKind::RegistryValue, steps);
    }
    for (const LogEntries& entries : logs) {
        AddSectionSteps(entries.keys, RemovalKind::RegistryKey, steps);
    }
    for (size_t i = 0; i < std::size(kPathSections); ++i) {
        for (const LogEntries& entries : logs) {
            AddSectionSteps(entries.paths[i], kPathSections[i].kind, steps);
        }
    }
    const std::map<std::string, bool> files = FindInstalledFiles(logs);
    const CreatedKeys createdKeys = FindCreatedKeys(logs);
    for (RemovalStep& step : steps) {
        if (step.kind == RemovalKind::File) {
            auto file = files.find(NormalizePath(step.target));
            step.existedBefore = file != files.end() && file->second;
        } else if (step.kind == RemovalKind::RegistryValue) {
            step.inCreatedKey = IsInCreatedKey(step.root, step.target, createdKeys);
        }
    }
    // The installer reads the title into 255 bytes; a longer one would name
    // another application's key once cut.
    char title[kLogTitleSize + 1] = {};
    RemovalStep registration = MakeStep(RemovalKind::Registration, std::string());
    registration.tooLong = log.ReadString(kLogMainSection, kLogTitleKey, title, sizeof title, "") >=
                           static_cast<int32_t>(kLogTitleSize);
    registration.target = title;
    steps.push_back(registration);
    steps.push_back(MakeStep(RemovalKind::LogFile, logPath));
    for (const std::string& earlierPath : earlierPaths) {
        steps.push_back(MakeStep(RemovalKind::LogFile, earlierPath));
    }
    // Each list of replaced targets goes with its log.
    for (const LogEntries& entries : logs) {
        if (!entries.replacedListPath.empty()) {
            steps.push_back(MakeStep(RemovalKind::LogFile, entries.replacedListPath));
        }
    }
    steps.push_back(MakeStep(RemovalKind::DestinationFolder, directory));

    plan.applicationTitle = title;
    plan.steps = DropRepeatedSteps(steps, directory);
    plan.installedFiles.clear();
    for (const auto& file : files) {
        plan.installedFiles.insert(file.first);
    }
    return LogStatus::Read;
}
