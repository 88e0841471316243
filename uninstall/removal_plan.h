// The removal plan: what one uninstall log lists, as steps in the order in
// which the uninstaller removes them. Reading the log decides nothing about
// safety; the steps carry the entries exactly as logged.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "script/constant_names.h"

// The order of the kinds is the order of removal: the reverse of the order in
// which the installer created them.
enum class RemovalKind {
    Service,           // target: the service name
    RegistryValue,     // root, target: key path, valueName
    RegistryKey,       // root, target: key path
    Shortcut,          // target: the shortcut file
    ShellFolder,       // target: the folder
    File,              // target: the file
    Folder,            // target: the folder
    Registration,      // target: the application title naming the Uninstall key
    LogFile,           // target: uninstall.log
    DestinationFolder, // target: the folder of the uninstaller and the log
};

struct RemovalStep {
    RemovalKind kind;
    std::string target;
    RegistryRoot root;
    std::string valueName;
    bool tooLong; // the logged text did not fit the installer's buffer: damaged
    // A file that was there before the installation replaced it (the oldest
    // log listing it says so), not the installation's to remove.
    bool existedBefore = false;
    // A value whose key, or a key above it, a log lists as created.
    bool inCreatedKey = false;
};

struct RemovalPlan {
    std::string applicationTitle;
    std::vector<RemovalStep> steps;
    // Every file the logs list, as NormalizePath names it: the programs a
    // service of the installation may run.
    std::set<std::string> installedFiles{};
};

enum class LogStatus { Read, Missing, Damaged };

// The largest log that is read; a larger one is garbage, not a log. The
// installer's largest (65,534 files and lists of any count, each entry at
// most a few hundred bytes) stays well below it.
constexpr long kMaxLogBytes = 64L << 20;
// All logs of a folder together; an earlier log beyond it is passed over.
constexpr long kMaxAllLogsBytes = 256L << 20;

// Reads directory + "uninstall.log" (directory ends in a separator), and the
// earlier logs that later installations into the folder kept beside it
// ("uninstall.N.log"), into one plan: services, registry values and keys,
// shortcuts, shell folders, files and folders, each kind from its last
// logged entry to its first and from the newest log to the oldest, then the
// Uninstall registration, the logs and the directory. Entries listed twice,
// and folders and files that the last steps cover, appear once. Missing when
// uninstall.log cannot be opened; Damaged when it does not begin with the
// log's header line, lacks the application title, is larger than
// kMaxLogBytes or its list of replaced files cannot be read. A damaged
// earlier log is passed over. Each log's list of the files it replaced
// marks the files that existed before, and is removed with its log. The plan
// is filled only on Read.
LogStatus ReadRemovalPlan(const std::string& directory, RemovalPlan& plan);
