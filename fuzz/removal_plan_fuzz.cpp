// Feeds arbitrary bytes to the uninstaller as its folder's uninstall.log (and,
// after a 0xFF byte, as the list of replaced targets beside it), reads the
// removal plan and puts every step through the safety rules, with the path
// and registry rules applied to each step's texts as well. Nothing here may
// read or write beyond a buffer, and every step the rules pass must name a
// valid path or key.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "script/uninstall_log_format.h"
#include "uninstall/path_rules.h"
#include "uninstall/removal_plan.h"
#include "uninstall/removal_run.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        std::string path = "/tmp/tolvanex-plan-fuzz-" + std::to_string(getpid()) + "/";
        mkdir(path.c_str(), 0700);
        return path;
    }();
    return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
}

const ProtectedFolders kProtected = {"C:\\Windows", "C:\\Program Files", "\\\\server\\share"};
const SystemTrees kTrees = {"C:\\Windows"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string logPath = Folder() + kUninstallLogName;
    char listPath[kReplacedListPathSize];
    if (!ReplacedListPath(logPath.c_str(), listPath, sizeof listPath)) {
        std::abort();
    }
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0xFF, size));
    size_t logSize = split != nullptr ? static_cast<size_t>(split - data) : size;
    WriteFile(logPath, data, logSize);
    std::remove(listPath);
    if (split != nullptr) {
        WriteFile(listPath, split + 1, size - logSize - 1);
    }

    RemovalPlan plan;
    if (ReadRemovalPlan(Folder(), plan) != LogStatus::Read) {
        if (!plan.steps.empty()) {
            std::abort(); // the plan is filled only for a log that was read
        }
        return 0;
    }
    for (const RemovalStep& step : plan.steps) {
        bool mustPerform = false;
        RemovalResult result = CheckStep(step, kProtected, mustPerform);
        if (mustPerform && result.outcome != RemovalOutcome::Removed) {
            std::abort();
        }
        bool isPath = step.kind != RemovalKind::Service && step.kind != RemovalKind::Registration &&
                      step.kind != RemovalKind::RegistryKey &&
                      step.kind != RemovalKind::RegistryValue;
        if (mustPerform && isPath && NormalizePath(step.target).empty()) {
            std::abort(); // only valid paths reach the platform
        }
        std::string normalized = NormalizePath(step.target);
        if (!normalized.empty() && NormalizePath(normalized) != normalized) {
            std::abort();
        }
        IsInSystemTree(step.target, kTrees);
        IsBelowFolder(step.target, Folder());
        ServiceBelongsToInstallation(step.target, "C:\\App\\", true, plan.installedFiles, kTrees);
        IsSystemRegistryEntry(step.root, step.target, true, step.inCreatedKey);
        IsSystemRegistryEntry(step.root, step.target, false, false);
    }
    ExitCodeFor(
        RunRemovalPlan(plan, kProtected,
                       RemovalCallbacks{[](const RemovalStep&, void*) {
                                            return RemovalResult{RemovalOutcome::Removed, 0};
                                        },
                                        nullptr, nullptr}));
    return 0;
}
