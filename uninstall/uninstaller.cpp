#include "uninstall/uninstaller.h"

#include <string>

#include "script/uninstall_log_format.h"
#include "uninstall/removal_actions.h"
#include "uninstall/removal_plan.h"
#include "uninstall/removal_run.h"
#include "uninstall/uninstall_options.h"
#include "uninstall/uninstall_ui.h"

namespace {

// Redrawing the progress window and handling its messages for every step
// would cost more than the steps themselves in a large installation.
constexpr DWORD kProgressIntervalMilliseconds = 50;

struct UninstallRun {
    RemovalEnvironment environment;
    HWND progressWindow;
    DWORD lastProgressTick;
    HINSTANCE instance;
    RunLog* log;
};

// The exit code of a command line the uninstaller cannot follow: a log it
// cannot create. The value installation managers know from Windows Installer.
constexpr int kExitBadCommandLine = 1639;

void LogStep(const RemovalStep& step, const RemovalResult& result, void* context) {
    auto* run = static_cast<UninstallRun*>(context);
    if (run->log->file != nullptr &&
        (!step.target.empty() || step.kind == RemovalKind::Registration)) {
        LogRemovalStep(run->instance, *run->log, step, result);
    }
}

RemovalResult PerformStep(const RemovalStep& step, void* context) {
    return PerformRemoval(step, &static_cast<UninstallRun*>(context)->environment);
}

void ReportProgress(const RemovalStep& step, size_t index, size_t count, void* context) {
    auto* run = static_cast<UninstallRun*>(context);
    DWORD now = GetTickCount();
    if (index > 0 && now - run->lastProgressTick < kProgressIntervalMilliseconds) {
        return;
    }
    run->lastProgressTick = now;
    ShowProgress(run->progressWindow, step, index, count);
}

std::string ModulePath() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

// The folder of the uninstaller, ending in a separator.
std::string FolderOf(const std::string& path) {
    size_t separator = path.find_last_of('\\');
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// The application's title, or its folder when the title is empty.
std::string ApplicationName(const RemovalPlan& plan, const std::string& folder) {
    return plan.applicationTitle.empty() ? folder.substr(0, folder.size() - 1)
                                         : plan.applicationTitle;
}

// Works through the plan, with the progress window unless quiet, and
// leaves the uninstaller's own removal to its copy.
RemovalReport RemoveInstallation(HINSTANCE instance, const RemovalPlan& plan,
                                 const std::string& uninstallerPath, const std::string& name,
                                 bool quiet, RunLog& log) {
    UninstallRun run{
        {uninstallerPath, FindProtectedFolders(), PumpWindowMessages}, nullptr, 0, instance, &log};
    run.environment.systemTrees = FindSystemTrees();
    run.environment.installedFiles = &plan.installedFiles;
    if (!quiet) {
        run.progressWindow = CreateProgressWindow(instance, name);
    }
    RemovalCallbacks callbacks{PerformStep, ReportProgress, &run, LogStep};
    RemovalReport report = RunRemovalPlan(plan, run.environment.protectedFolders, callbacks);
    RemovalResult selfRemoval = StartSelfRemoval(uninstallerPath);
    if (selfRemoval.outcome != RemovalOutcome::Removed) {
        RemovalStep step{RemovalKind::File, uninstallerPath, RegistryRoot::LocalMachine,
                         std::string(), false};
        report.failures.push_back(RemovalFailure{step, selfRemoval});
        LogStep(step, selfRemoval, &run);
    }
    if (run.progressWindow != nullptr) {
        DestroyWindow(run.progressWindow);
    }
    return report;
}

} // namespace

int RunUninstaller(HINSTANCE instance, const char* commandLine) {
    UninstallOptions options = ParseUninstallOptions(commandLine);
    if (options.mode == UninstallMode::Cleanup) {
        return RunCleanup(options, FindProtectedFolders());
    }
    bool quiet = options.mode == UninstallMode::Quiet;
    std::string uninstallerPath = ModulePath();
    RunLog log;
    if (!options.logPath.empty() &&
        !OpenRunLog(log, options.logPath.c_str(), "Tolvanex Deinstallation",
                    uninstallerPath.c_str(), commandLine)) {
        return kExitBadCommandLine;
    }
    SetMessageOutput(&log, quiet);
    std::string folder = FolderOf(uninstallerPath);
    RemovalPlan plan;
    LogStatus status = folder.empty() ? LogStatus::Missing : ReadRemovalPlan(folder, plan);
    if (status != LogStatus::Read) {
        ShowLogError(instance, folder + kUninstallLogName, status);
        CloseRunLog(log, kExitNoLog);
        return kExitNoLog;
    }
    std::string name = ApplicationName(plan, folder);
    if (!quiet && !ConfirmRemoval(instance, name)) {
        CloseRunLog(log, kExitIncomplete);
        return kExitIncomplete;
    }
    RemovalReport report = RemoveInstallation(instance, plan, uninstallerPath, name, quiet, log);
    ShowRemovalReport(instance, name, report);
    int code = ExitCodeFor(report);
    CloseRunLog(log, code);
    return code;
}
