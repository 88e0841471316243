// The payload: what setup.exe will find beside its script, and whether it
// finds its payload at all.
#include <iterator>

#include "script/setup_script.h"
#include "tools/builder/build_script.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"utf8-setup-script", Severity::Warning,
     "a setup.ini saved as UTF-8 with characters beyond ASCII, which setup.exe reads as CP1252"},
    {"end-record-out-of-reach", Severity::Error,
     "an installer whose payload end record lies further from the file's end than the 65,535 bytes "
     "setup.exe searches"},
    {"mixed-architecture", Severity::Error,
     "an installer whose setup.exe and uninstall.exe are a 32-bit and a 64-bit program"},
    {"unreadable-method", Severity::Error,
     "an installer entry compressed with a method its own setup.exe does not read (LZMA behind a "
     "setup.exe from before LZMA entries)"},
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
        const EntryIndex index = build != nullptr ? IndexEntries(*build) : EntryIndex();
        for (size_t i = 0; build != nullptr && i < build->entries.size(); ++i) {
            const ScriptEntry& entry = build->entries[i];
            if (entry.hasValue && StartsWith(entry.key, kAppEntryPrefix) &&
                IsFirstOfKey(index, entry)) {
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

void CheckCodePage(CheckRun& run) {
    int line = 0;
    std::string shown;
    if (run.options.setupBytes == nullptr ||
        !FindUtf8Line(*run.options.setupBytes, &line, &shown)) {
        return;
    }
    Report(run, line, "utf8-setup-script",
           "the file is UTF-8, but setup.exe reads its bytes as code page 1252 and shows this "
           "line as " +
               Quoted(shown) + " (save it as CP1252, or give it to build in a build script)");
}

CheckFamily PayloadChecks() {
    return {"payload", kChecks, std::size(kChecks)};
}
