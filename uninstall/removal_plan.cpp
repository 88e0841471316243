#include "uninstall/removal_plan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

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

// Beyond this size a log counts as damaged; real logs stay far below it.
constexpr long kMaxLogBytes = 8L << 20;

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
// read per key would cost a read of the file each). Adds the number of lines
// to `lineCount`. A key written twice keeps its first value, as a profile
// read would.
NumberedEntries ReadNumberedEntries(const IniFile& log, const char* section, size_t& lineCount) {
    // Two spare zero bytes keep the list closed even if the service filled
    // every byte it was given.
    size_t room = 4096;
    std::vector<char> lines(room + 2);
    while (log.ReadSection(section, lines.data(), static_cast<uint32_t>(room)) + 2 >= room &&
           room <= static_cast<size_t>(kMaxLogBytes)) {
        room *= 2;
        lines.assign(room + 2, '\0');
    }
    NumberedEntries entries;
    for (char* line = lines.data(); *line != '\0';) {
        char* next = line + std::strlen(line) + 1;
        ++lineCount;
        std::string key;
        std::string value;
        unsigned long number = 0;
        const char* field = nullptr;
        if (SplitLine(line, key, value) && ParseLogKey(key.c_str(), &number, &field)) {
            entries[number].emplace(field, value);
        }
        line = next;
    }
    return entries;
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

bool BeginsWithHeaderLine(std::FILE* file) {
    size_t lineLength = std::strcspn(kUninstallLogHeader, "\r\n");
    char line[64] = {};
    if (std::fgets(line, sizeof line, file) == nullptr ||
        std::strncmp(line, kUninstallLogHeader, lineLength) != 0) {
        return false;
    }
    const char* rest = line + lineLength;
    return std::strcmp(rest, "\r\n") == 0 || std::strcmp(rest, "\n") == 0;
}

// Opens the log's file only to check its header and size.
LogStatus CheckLogFile(const std::string& logPath) {
    std::FILE* file = std::fopen(logPath.c_str(), "rb");
    if (file == nullptr) {
        return LogStatus::Missing;
    }
    bool hasHeader = BeginsWithHeaderLine(file);
    bool small = std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) <= kMaxLogBytes;
    std::fclose(file);
    return hasHeader && small ? LogStatus::Read : LogStatus::Damaged;
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

// What one log lists, section by section.
struct LogEntries {
    NumberedEntries services;
    NumberedEntries values;
    NumberedEntries keys;
    std::vector<NumberedEntries> paths; // in the order of kPathSections
};

void ReadLogEntries(const IniFile& log, LogEntries& entries, size_t& lineCount) {
    entries.services = ReadNumberedEntries(log, kLogServicesSection, lineCount);
    entries.values = ReadNumberedEntries(log, kLogRegistryValuesSection, lineCount);
    entries.keys = ReadNumberedEntries(log, kLogRegistryKeysSection, lineCount);
    for (const LogSection& section : kPathSections) {
        entries.paths.push_back(ReadNumberedEntries(log, section.name, lineCount));
    }
}

// The logs that earlier installations into the same folder left beside this
// one, newest first: a later installation does not list the keys and
// services that already existed, so only they name them. One that is damaged
// is passed over and stays, so its folder stays and is reported.
std::vector<std::string> ReadEarlierLogs(const std::string& logPath, std::vector<LogEntries>& logs,
                                         size_t& lineCount) {
    std::vector<std::string> read;
    for (int number = kMaxEarlierLogs; number >= 1; --number) {
        char buffer[kEarlierLogPathSize];
        if (!EarlierLogPath(logPath.c_str(), number, buffer, sizeof buffer)) {
            break;
        }
        const std::string path = buffer;
        if (CheckLogFile(path) != LogStatus::Read) {
            continue;
        }
        IniFile earlier(path.c_str());
        if (!earlier.KeyExists(kLogMainSection, kLogTitleKey)) {
            continue;
        }
        logs.emplace_back();
        ReadLogEntries(earlier, logs.back(), lineCount);
        read.push_back(path);
    }
    return read;
}

} // namespace

LogStatus ReadRemovalPlan(const std::string& directory, RemovalPlan& plan) {
    std::string logPath = directory + kUninstallLogName;
    LogStatus status = CheckLogFile(logPath);
    IniFile log(logPath.c_str());
    if (status != LogStatus::Read || !log.KeyExists(kLogMainSection, kLogTitleKey)) {
        return status == LogStatus::Read ? LogStatus::Damaged : status;
    }
    size_t lineCount = 0;
    std::vector<LogEntries> logs(1);
    ReadLogEntries(log, logs[0], lineCount);
    std::vector<std::string> earlierPaths = ReadEarlierLogs(logPath, logs, lineCount);
    if (lineCount > kMaxLogEntries) {
        return LogStatus::Damaged;
    }

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
    steps.push_back(MakeStep(RemovalKind::DestinationFolder, directory));

    plan.applicationTitle = title;
    plan.steps = DropRepeatedSteps(steps, directory);
    return LogStatus::Read;
}
