// The removal plan: what one uninstall log lists, as steps in the order in
// which the uninstaller removes them. Reading the log decides nothing about
// safety; the steps carry the entries exactly as logged.
#pragma once

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
};

struct RemovalPlan {
    std::string applicationTitle;
    std::vector<RemovalStep> steps;
};

enum class LogStatus { Read, Missing, Damaged };

// The most entries a log may list; more mark it as damaged.
constexpr size_t kMaxLogEntries = 100000;

// Reads directory + "uninstall.log" (directory ends in a separator), and the
// earlier logs that later installations into the folder kept beside it
// ("uninstall.N.log"), into one plan: services, registry values and keys,
// shortcuts, shell folders, files and folders, each kind from its last
// logged entry to its first and from the newest log to the oldest, then the
// Uninstall registration, the logs and the directory. Entries listed twice,
// and folders and files that the last steps cover, appear once. Missing when
// uninstall.log cannot be opened; Damaged when it does not begin with the
// log's header line, lacks the application title or the logs list more than
// kMaxLogEntries entries. A damaged earlier log is passed over. The plan is
// filled only on Read.
LogStatus ReadRemovalPlan(const std::string& directory, RemovalPlan& plan);
