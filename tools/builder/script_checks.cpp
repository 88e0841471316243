// The checks' order and the list of every check: each family (checks/)
// keeps its own rows and code; this runs them over one document in the order
// setup.exe reads it.
#include "tools/builder/script_checks.h"

#include <algorithm>
#include <cstdio>

#include "script/setup_script.h"
#include "tools/builder/build_script.h"
#include "tools/builder/checks/check_run.h"

namespace {

const std::vector<CheckFamily>& Families() {
    static const std::vector<CheckFamily> families = {
        LayoutChecks(),   ListChecks(),    ValueChecks(),       PlaceholderChecks(), TargetChecks(),
        RegistryChecks(), ServiceChecks(), MainAndPageChecks(), PayloadChecks(),
    };
    return families;
}

} // namespace

const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Warning:
        return "warning";
    case Severity::Error:
        return "error";
    case Severity::WarningOrError:
        return "error/warning";
    }
    return "error";
}

namespace {

bool FindingBefore(const Finding& a, const Finding& b) {
    return a.line < b.line;
}

} // namespace

void CheckScript(const ScriptDocument& document, const CheckOptions& options,
                 std::vector<Finding>* findings) {
    const bool hasSources =
        options.buildScript && FindSection(document, kSourcesSection) != nullptr;
    const ScriptDocument& effective =
        options.buildScript && options.generated != nullptr ? *options.generated : document;
    std::vector<Finding> found;
    CheckRun run{document, effective, options, &found, true, false, false, {}, {}, 0, false};
    run.filesKnown = !hasSources || options.generated != nullptr;
    run.userInfoShown = IsOn(Entry(effective, kDialogsSection, kShowUserInfoKey));
    LearnPayload(run, hasSources);

    const std::string destination = Value(Entry(effective, kMainSection, kDestDirKey));
    run.assumedInstallDirLength = AssumedInstallDirLength();
    if (!destination.empty()) {
        run.assumedInstallDirLength = EstimateLength(run, destination, Expansion::AtStartup) + 1;
    }

    CheckCodePage(run);
    CheckLayout(run, hasSources);
    if (hasSources) {
        const ScriptSection* files = FindSection(document, kFilesSection);
        if (files != nullptr) {
            Report(run, files->line, "files-beside-sources",
                   "a [" + std::string(kFilesSection) + "] section beside [" + kSourcesSection +
                       "]: the builder numbers the files from [" + kSourcesSection + "]; leave [" +
                       kFilesSection + "] out");
        }
        CheckList(run, document, RulesOf(kSourcesSection));
    }
    CheckBuildSection(run);

    for (const char* name : {kMainSection, kDialogsSection}) {
        const SetupSection& rule = *FindSetupSection(name);
        const ScriptSection* section = FindSection(effective, name);
        for (size_t k = 0; section != nullptr && k < rule.keyCount; ++k) {
            const ScriptEntry* entry = FindEntry(*section, rule.keys[k].key);
            if (entry != nullptr && entry->hasValue) {
                CheckValue(run, *entry, rule.keys[k]);
            }
        }
    }
    CheckMain(run);
    CheckPageText(run, kShowLicenseKey, kLicenseFile, kBuildLicenseKey, "missing-license");
    CheckPageText(run, kShowReadmeKey, kReadmeFile, kBuildReadmeKey, "missing-readme");

    Created created;
    const std::vector<ListItem> folders = CheckList(run, effective, RulesOf(kFoldersSection));
    if (run.filesKnown) {
        CheckFolderList(run, folders, &created);
    }
    std::vector<Target> targets;
    const ScriptSection* files = FindSection(effective, kFilesSection);
    for (size_t i = 0; run.filesKnown && files != nullptr && i < files->entries.size(); ++i) {
        const ScriptEntry& entry = files->entries[i];
        if (entry.hasValue && !EqualNamesIgnoringCase(entry.key, kCountKey) &&
            FindEntry(*files, entry.key) == &entry) {
            CheckValue(run, entry, kFileItemKeys[0]);
            targets.push_back({entry.key, NormalizePath(ProfileValue(entry)), &entry});
        }
    }
    if (run.filesKnown) {
        CheckFiles(run, targets, &created);
    }
    CheckFinishPage(run, created, kDoneShowReadmeKey, kDoneShowReadmePathKey);
    CheckFinishPage(run, created, kDoneShowLaunchKey, kDoneShowLaunchPathKey);

    const std::vector<ListItem> shellFolders =
        CheckList(run, effective, RulesOf(kShellFoldersSection));
    if (run.filesKnown) {
        CheckFolderList(run, shellFolders, &created);
    }
    CheckShortcuts(run, CheckList(run, effective, RulesOf(kShellItemsSection)), created);
    CheckRegistry(run, CheckList(run, effective, RulesOf(kRegistrySection)));
    CheckServices(run, CheckList(run, effective, RulesOf(kServiceSection)), created, destination);

    std::stable_sort(found.begin(), found.end(), FindingBefore);
    findings->insert(findings->end(), found.begin(), found.end());
}

std::string FormatFinding(const Finding& finding) {
    return finding.file + (finding.line > 0 ? ":" + std::to_string(finding.line) : "") +
           (finding.severity == Severity::Error ? ": error: " : ": warning: ") + finding.text +
           " [" + finding.name + "]";
}

bool HasErrors(const std::vector<Finding>& findings, bool warningsAsErrors) {
    for (const Finding& finding : findings) {
        if (finding.severity == Severity::Error || warningsAsErrors) {
            return true;
        }
    }
    return false;
}

std::vector<CheckInfo> ListAllChecks() {
    std::vector<CheckInfo> all;
    for (const CheckFamily& family : Families()) {
        all.insert(all.end(), family.checks, family.checks + family.count);
    }
    return all;
}

const CheckInfo* FindCheck(const std::string& name) {
    for (const CheckFamily& family : Families()) {
        for (size_t i = 0; i < family.count; ++i) {
            if (name == family.checks[i].name) {
                return &family.checks[i];
            }
        }
    }
    return nullptr;
}

std::string DescribeChecks() {
    std::string text;
    for (const CheckFamily& family : Families()) {
        text += std::string(family.name) + ":\n";
        for (size_t i = 0; i < family.count; ++i) {
            const CheckInfo& check = family.checks[i];
            char line[96];
            std::snprintf(line, sizeof line, "  %-31s %-13s ", check.name,
                          SeverityName(check.severity));
            text += line + std::string(check.summary) + "\n";
        }
    }
    return text;
}
