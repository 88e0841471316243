// The platform's side of the removal: files, folders, registry, services and
// the Uninstall registration, each removed only as far as the safety rules
// allow, and the uninstaller's own removal after it has ended.
#pragma once

#include <map>
#include <set>
#include <string>

#include "uninstall/path_rules.h"
#include "uninstall/removal_run.h"
#include "uninstall/uninstall_options.h"

struct RemovalEnvironment {
    std::string uninstallerPath;       // this program's own full path
    ProtectedFolders protectedFolders; // from FindProtectedFolders
    void (*whileWaiting)();            // called while a service stops; may be null
    SystemTrees systemTrees = {};      // from FindSystemTrees
    // The files the logs list (RemovalPlan::installedFiles); null for none.
    const std::set<std::string>* installedFiles = nullptr;
    // Folders already looked at, and whether each is a link to elsewhere.
    std::map<std::string, bool> links = {};
};

// The Windows, system and Program Files directories and the shell's special
// folders of this system (desktop, start menu, profile and data folders), as
// far as the platform can name them.
ProtectedFolders FindProtectedFolders();

// The Windows directory and its system directories, in their long forms too.
SystemTrees FindSystemTrees();

// Removes one step that passed CheckStep; `context` is a RemovalEnvironment.
// A logged file, shortcut or folder below a system tree is kept
// (SystemItem), as is one reached through a folder that is a link to
// elsewhere, or a logged folder that is itself such a link (ThroughLink):
// removing it could reach its target. A service is removed only when it
// runs a program of the installation (else ForeignService).
// A thing that is already gone counts as removed. Folders are removed only
// when empty; registry keys only when they hold no subkeys and no values
// other than their default; the Uninstall registration only when its
// UninstallString names this program (or is absent). The destination folder
// step removes nothing: it is Removed when the folder will be empty once the
// uninstaller itself is gone.
RemovalResult PerformRemoval(const RemovalStep& step, void* context);

// Starts a copy of this program, from a new folder in the temporary
// directory, that waits for this process to end, then deletes
// `uninstallerPath` and its folder if empty, and finally schedules its own
// deletion at the next restart (a running program cannot delete itself).
// Removed once the copy runs, else Failed with the platform's error.
RemovalResult StartSelfRemoval(const std::string& uninstallerPath);

// The copy's work, for the options of "/cleanup". Returns the exit code: 0
// when the original and (if it was empty) its folder were removed, 1 if not.
int RunCleanup(const UninstallOptions& options, const ProtectedFolders& protectedFolders);
