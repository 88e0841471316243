// The payload: what setup.exe will find beside its script, and whether it
// finds its payload at all.
#include <iterator>

#include "script/setup_script.h"
#include "tools/builder/build_script.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"end-record-out-of-reach", Severity::Error,
     "an installer whose payload end record lies further from the file's end than the 65,535 bytes "
     "setup.exe searches"},
};

} // namespace

void LearnPayload(CheckRun& run, bool hasSources) {
    if (run.options.payloadEntries != nullptr) {
        run.payloadKnown = run.entriesKnown = true;
        for (const std::string& name : *run.options.payloadEntries) {
            if (IsAppEntry(name)) {
                run.appEntries.push_back(name);
            } else {
                run.supportFiles.insert(name);
            }
        }
        return;
    }
    if (!run.options.buildScript) {
        return;
    }
    run.payloadKnown = true;
    const std::pair<const char*, const char*> kSupportFiles[] = {
        {kBuildLicenseKey, kLicenseFile},
        {kBuildReadmeKey, kReadmeFile},
        {kBuildDotNetKey, kDotNetRedistributableFile},
    };
    for (const auto& [key, file] : kSupportFiles) {
        if (!Value(Entry(run.document, kBuildSection, key)).empty()) {
            run.supportFiles.insert(file);
        }
    }
    if (!hasSources) {
        run.entriesKnown = true;
        const ScriptSection* build = FindSection(run.document, kBuildSection);
        for (size_t i = 0; build != nullptr && i < build->entries.size(); ++i) {
            const ScriptEntry& entry = build->entries[i];
            if (entry.hasValue && StartsWith(entry.key, kAppEntryPrefix) &&
                FindEntry(*build, entry.key) == &entry) {
                run.appEntries.push_back(entry.key);
            }
        }
    } else if (run.options.generated != nullptr) {
        const ScriptSection* files = FindSection(*run.options.generated, kFilesSection);
        for (size_t i = 0; files != nullptr && i < files->entries.size(); ++i) {
            if (!EqualNamesIgnoringCase(files->entries[i].key, kCountKey)) {
                run.appEntries.push_back(kAppEntryPrefix + files->entries[i].key);
            }
        }
    }
}

CheckFamily PayloadChecks() {
    return {"payload", kChecks, std::size(kChecks)};
}
