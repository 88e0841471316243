// Working through a removal plan: each step is checked against the safety
// rules, handed to the platform's removal, and what remains is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "uninstall/path_rules.h"
#include "uninstall/removal_plan.h"

enum class RemovalOutcome {
    Removed,          // removed, or already gone
    Refused,          // the entry failed a safety rule and was not touched
    Invalid,          // the entry is damaged (relative, too long, empty name)
    NotEmpty,         // a folder still holds other files or folders
    InUse,            // a file is opened by a running program
    AccessDenied,     // the system refused the removal
    HasSubkeys,       // a registry key still has subkeys
    HasForeignValues, // a registry key holds values the installer did not write
    StillRunning,     // a service did not stop
    Failed,           // any other failure; see systemError
    // Kept, as not the installation's to remove:
    SystemItem,     // below the Windows directory, or a system registry key or value
    ForeignService, // a service that runs no program of the installation
    ExistedBefore,  // a file that was there before the installation replaced it
    ThroughLink,    // a link to elsewhere, or a file reached through one
};

struct RemovalResult {
    RemovalOutcome outcome;
    uint32_t systemError; // the platform's error code, 0 when there is none
};

// What could not be removed, and why.
struct RemovalFailure {
    RemovalStep step;
    RemovalResult result;
};

struct RemovalReport {
    std::vector<RemovalFailure> failures;
};

// The platform's removal of one step that passed the safety rules.
using PerformRemovalFunction = RemovalResult (*)(const RemovalStep& step, void* context);
// Called before each step; index counts from 0 to count - 1.
using RemovalProgressFunction = void (*)(const RemovalStep& step, size_t index, size_t count,
                                         void* context);

// Called after each step with what became of it.
using RemovalDoneFunction = void (*)(const RemovalStep& step, const RemovalResult& result,
                                     void* context);

struct RemovalCallbacks {
    PerformRemovalFunction perform;
    RemovalProgressFunction progress; // may be null
    void* context;
    RemovalDoneFunction done = nullptr;
};

// The safety rules for one step: Removed when the step may go to the
// platform, Refused, Invalid or SystemItem (a system registry key or value)
// or ExistedBefore when it never may. An empty file or folder
// entry (the installer logs one for an item that was never created) and a
// destination folder that is a system folder are passed over: Removed, with
// nothing to do, which `mustPerform` tells apart.
RemovalResult CheckStep(const RemovalStep& step, const ProtectedFolders& protectedFolders,
                        bool& mustPerform);

// Works through the plan in its order and returns what could not be removed.
RemovalReport RunRemovalPlan(const RemovalPlan& plan, const ProtectedFolders& protectedFolders,
                             const RemovalCallbacks& callbacks);

// Exit codes of the quiet mode.
constexpr int kExitRemoved = 0;    // everything listed was removed, or only
                                   // folders remain that hold a user's files
constexpr int kExitIncomplete = 1; // something the installation made remains
constexpr int kExitNoLog = 2;      // the log is missing or cannot be read; nothing removed

int ExitCodeFor(const RemovalReport& report);
