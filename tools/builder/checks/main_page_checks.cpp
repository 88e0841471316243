// [main] and the pages: the product's registration, its destination and the
// texts and offers of the pages.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "tools/builder/build_script.h"
#include "tools/builder/checks/check_run.h"

namespace {

// The registry's limit for a key's path below its root.
constexpr size_t kRegistryKeyPathLimit = 255;

const CheckInfo kChecks[] = {
    {"empty-apptitle", Severity::Warning, "no `apptitle`: no Uninstall registration"},
    {"apptitle-backslash", Severity::Warning,
     "an `apptitle` with a backslash: a nested Uninstall key"},
    {"apptitle-too-long", Severity::Warning,
     "an `apptitle` of more than 203 characters: the Uninstall key's path would pass the "
     "registry's 255"},
    {"empty-destdir", Severity::Warning, "no `destdir`"},
    {"destdir-too-long", Severity::Warning,
     "a destination that, with what setup.exe puts behind it, may pass 259 characters"},
    {"dotnet-without-redistributable", Severity::Error, "`dotnet` on without `dotnetfx.exe`"},
    {"missing-license", Severity::Error,
     "the licence page on without its text in the payload (or in `[build]`)"},
    {"missing-readme", Severity::Error,
     "the readme page on without its text in the payload (or in `[build]`)"},
    {"done-path-not-installed", Severity::Warning,
     "a finish-page path that names no installed file, or is empty while its offer is on"},
};

} // namespace

void CheckMain(CheckRun& run) {
    const ScriptSection* main = FindSection(run.effective, kMainSection);
    const ScriptEntry* titleEntry = main != nullptr ? FindEntry(*main, kAppTitleKey) : nullptr;
    const std::string title = Value(titleEntry);
    const int titleLine = LineOf(titleEntry, main);
    if (title.empty()) {
        Report(run, titleLine, "empty-apptitle",
               "no apptitle: setup.exe registers no uninstall entry, and the pages show an empty "
               "title");
    } else {
        if (title.find('\\') != std::string::npos) {
            Report(run, titleLine, "apptitle-backslash",
                   "the backslash makes the Uninstall registration a nested key, which Windows "
                   "does not list among the installed programs");
        }
        const size_t keyLength = std::strlen(kUninstallRegistrationKey) + title.size();
        if (keyLength > kRegistryKeyPathLimit) {
            Report(run, titleLine, "apptitle-too-long",
                   "the Uninstall registration's key would be " + Number(keyLength) +
                       " characters long, more than the " + Number(kRegistryKeyPathLimit) +
                       " the registry takes: the installation is not registered (at most " +
                       Number(kRegistryKeyPathLimit - std::strlen(kUninstallRegistrationKey)) +
                       " characters of apptitle)");
        }
    }
    const ScriptEntry* destEntry = main != nullptr ? FindEntry(*main, kDestDirKey) : nullptr;
    const std::string destination = Value(destEntry);
    if (destination.empty()) {
        Report(run, LineOf(destEntry, main), "empty-destdir",
               "no destdir: the destination page proposes an empty folder");
    } else if (static_cast<int>(destination.size()) <= kLongestPath) {
        // The longest path setup.exe puts directly into the destination.
        size_t longest = std::strlen(kUninstallLogName) + std::strlen(kUninstallLogUpdateSuffix);
        std::vector<std::string> names = run.appEntries;
        const ScriptSection* files = FindSection(run.effective, kFilesSection);
        for (size_t i = 0; names.empty() && files != nullptr && i < files->entries.size(); ++i) {
            names.push_back(kAppEntryPrefix + files->entries[i].key);
        }
        for (const std::string& name : names) {
            longest = std::max(longest, std::strlen(kExtractionFolder) + 1 + name.size());
        }
        const int length = EstimateLength(run, destination, Expansion::AtStartup) + 1;
        if (length + static_cast<int>(longest) > kLongestPath) {
            Report(run, destEntry->line, "destdir-too-long",
                   "the destination may be about " + Number(length) +
                       " characters after expansion (with the placeholder lengths in "
                       "tolvanex-build --help); with the " +
                       Number(longest) +
                       " characters setup.exe puts behind it that exceeds 259: no uninstall.log, "
                       "files not copied");
        }
    }
    const ScriptEntry* dotNet = main != nullptr ? FindEntry(*main, kDotNetKey) : nullptr;
    if (IsOn(dotNet) && run.payloadKnown &&
        run.supportFiles.count(kDotNetRedistributableFile) == 0) {
        Report(run, dotNet->line, "dotnet-without-redistributable",
               std::string(kDotNetKey) + " is on, but the payload has no " +
                   kDotNetRedistributableFile +
                   (run.options.buildScript && !run.options.payloadEntries
                        ? " ([" + std::string(kBuildSection) + "] " + kBuildDotNetKey + ")"
                        : std::string()) +
                   ": setup.exe skips the .NET Framework");
    }
}

void CheckPageText(CheckRun& run, const char* key, const char* file, const char* buildKey,
                   const char* name) {
    const ScriptEntry* entry = Entry(run.effective, kDialogsSection, key);
    if (IsOn(entry) && run.payloadKnown && run.supportFiles.count(file) == 0) {
        Report(run, entry->line, name,
               std::string(key) + " is on, but the payload has no " + file +
                   (run.options.buildScript && !run.options.payloadEntries
                        ? " ([" + std::string(kBuildSection) + "] " + buildKey + ")"
                        : std::string()) +
                   ": the page shows no text");
    }
}

void CheckFinishPage(CheckRun& run, const Created& created, const char* flagKey,
                     const char* pathKey) {
    const ScriptEntry* flag = Entry(run.effective, kDialogsSection, flagKey);
    if (!IsOn(flag)) {
        return;
    }
    const ScriptEntry* path = Entry(run.effective, kDialogsSection, pathKey);
    const std::string value = Value(path);
    if (value.empty()) {
        Report(run, flag->line, "done-path-not-installed",
               std::string(flagKey) + " is on, but " + pathKey +
                   " is empty: the finish page "
                   "offers nothing to open");
    } else if (!TargetInstalled(run, created, value, false)) {
        Report(run, path->line, "done-path-not-installed",
               Quoted(value) + " is no file the installation installs");
    }
}

// The payload that setup.exe will find, as far as it is known.

CheckFamily MainAndPageChecks() {
    return {"main and pages", kChecks, std::size(kChecks)};
}
