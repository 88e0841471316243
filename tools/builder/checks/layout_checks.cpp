// Layout: sections and keys setup.exe (or the builder) never reads, and the
// second of a name, which it passes over.
#include <algorithm>
#include <iterator>

#include "script/setup_script.h"
#include "system/bounded_text.h"
#include "tools/builder/build_script.h"
#include "tools/builder/checks/check_run.h"
#include "tools/builder/program_architecture.h"

namespace {

const CheckInfo kChecks[] = {
    {"ignored-key", Severity::Warning,
     "a key setup.exe never reads, a second one of a name, a line without `=`, a key before the "
     "first section"},
    {"ignored-section", Severity::Warning,
     "a section setup.exe never reads, or a second one of a name"},
    {"files-beside-sources", Severity::Error, "a build script with both `[sources]` and `[files]`"},
    {"bad-architecture", Severity::Error, "an `architecture` in `[build]` other than x86 or x64"},
};

// The builder's own sections, in the table's form: [build] names the
// build's files (never read by setup.exe), [sources] the application files.
constexpr SetupKey BuildFile(const char* key, Need need = Need::Optional) {
    return {key, ValueKind::Path, kNoConstant, 0, Expansion::None, need, "", "a file of the build"};
}
const SetupKey kBuildKeys[] = {
    BuildFile(kBuildOutputKey),
    {kBuildArchitectureKey, ValueKind::Text, kNoConstant, 0, Expansion::None, Need::Optional, "x86",
     "the processor setup.exe and uninstall.exe are for: x86 or x64"},
    BuildFile(kBuildStubKey),
    BuildFile(kBuildUninstallerKey),
    BuildFile(kBuildLicenseKey),
    BuildFile(kBuildReadmeKey),
    BuildFile(kBuildLeftPictureKey),
    BuildFile(kBuildTopPictureKey),
    BuildFile(kBuildDotNetKey),
    BuildFile(kBuildSignKey),
    // build --method and --level win over these.
    {kBuildMethodKey, ValueKind::Text, kNoConstant, 0, Expansion::None, Need::Optional, "lzma",
     "the payload's compression: lzma, deflate or store"},
    {kBuildLevelKey, ValueKind::Number, kNoConstant, 0, Expansion::None, Need::Optional, "6",
     "the compression level, 0 (stored) to 9"},
};
const SetupKey kSourceKeys[] = {
    BuildFile(kSourceFromKey, Need::Error),
    {kSourceToKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Error, "",
     "the folder the files go to"},
};
const SetupSection kBuilderSections[] = {
    {kBuildSection, Numbering::None, kBuildKeys, std::size(kBuildKeys), "the build's files"},
    {kSourcesSection, Numbering::Items, kSourceKeys, std::size(kSourceKeys),
     "the application files"},
};

// Every section a check knows, setup.exe's first.
std::vector<SectionRules> AllSections() {
    std::vector<SectionRules> all;
    for (const SetupSection& section : kSetupSections) {
        all.push_back({&section, false});
    }
    for (const SetupSection& section : kBuilderSections) {
        all.push_back({&section, true});
    }
    return all;
}

size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Suggestion(const std::string& written, const std::vector<std::string>& known) {
    const std::string* best = nullptr;
    size_t bestDistance = 3;
    for (const std::string& name : known) {
        const size_t distance = Distance(written, name);
        if (distance < bestDistance) {
            best = &name;
            bestDistance = distance;
        }
    }
    return best != nullptr ? " (did you mean " + Quoted(*best) + "?)" : "";
}

// A decimal index as setup.exe writes it (no sign, no leading zero) and what
// follows it.
// --- Layout: sections and keys setup.exe reads --------------------------------

bool FindRules(const std::string& name, bool buildScript, SectionRules* found) {
    for (const SectionRules& rules : AllSections()) {
        if (EqualNamesIgnoringCase(name, rules.section->name) && (!rules.builder || buildScript)) {
            *found = rules;
            return true;
        }
    }
    return false;
}

bool IsKnownKey(const SetupSection& rule, const std::string& key, bool hasSources) {
    if (rule.numbering != Numbering::None && rule.numbering != Numbering::AnyKey &&
        EqualNamesIgnoringCase(key, kCountKey)) {
        return true;
    }
    int index;
    std::string rest;
    switch (rule.numbering) {
    case Numbering::None:
        for (size_t i = 0; i < rule.keyCount; ++i) {
            if (EqualNamesIgnoringCase(key, rule.keys[i].key)) {
                return true;
            }
        }
        return rule.keys == kBuildKeys && !hasSources && StartsWith(key, kAppEntryPrefix);
    case Numbering::FromOne:
        return ParseIndex(key, &index, &rest) && rest.empty() && index >= 1;
    case Numbering::FromZero:
        return ParseIndex(key, &index, &rest) && rest.empty();
    case Numbering::Items:
        return ParseIndex(key, &index, &rest) && FindField(rule, rest) >= 0;
    case Numbering::AnyKey:
        return true;
    }
    return true;
}

std::vector<std::string> KnownKeyNames(const SetupSection& rule, const std::string& key) {
    std::vector<std::string> names;
    int index = 0;
    std::string rest;
    const bool numbered = ParseIndex(key, &index, &rest);
    for (size_t i = 0; i < rule.keyCount; ++i) {
        if (rule.numbering == Numbering::None) {
            names.push_back(rule.keys[i].key);
        } else if (rule.numbering == Numbering::Items && numbered) {
            names.push_back(ItemKeyName(rule.keys[i].key, index));
        }
    }
    if (rule.numbering != Numbering::None) {
        names.push_back(kCountKey);
    }
    return names;
}

} // namespace

SectionRules RulesOf(const char* name) {
    for (const SectionRules& rules : AllSections()) {
        if (SameSchemaName(rules.section->name, name)) {
            return rules;
        }
    }
    return {&kSetupSections[0], false};
}

// The values of [build], the entries naming application files aside.
void CheckBuildSection(CheckRun& run) {
    const ScriptSection* build =
        run.options.buildScript ? FindSection(run.document, kBuildSection) : nullptr;
    const EntryIndex index = build != nullptr ? IndexEntries(*build) : EntryIndex();
    for (size_t i = 0; build != nullptr && i < build->entries.size(); ++i) {
        const ScriptEntry& entry = build->entries[i];
        if (StartsWith(entry.key, kAppEntryPrefix)) {
            continue;
        }
        for (const SetupKey& rule : kBuildKeys) {
            if (EqualNamesIgnoringCase(entry.key, rule.key) && IsFirstOfKey(index, entry)) {
                CheckValue(run, entry, rule);
            }
        }
        Machine architecture;
        if (EqualNamesIgnoringCase(entry.key, kBuildArchitectureKey) &&
            FindEntry(*build, kBuildArchitectureKey) == &entry &&
            !ParseArchitecture(ProfileValue(entry), &architecture)) {
            Report(run, entry.line, "bad-architecture",
                   std::string(kBuildArchitectureKey) + "=" + Quoted(ProfileValue(entry)) +
                       ": x86 or x64 expected");
        }
    }
}

void CheckLayout(CheckRun& run, bool hasSources) {
    const bool build = run.options.buildScript;
    std::vector<std::string> sectionNames;
    for (const SectionRules& rules : AllSections()) {
        if (!rules.builder || build) {
            sectionNames.push_back(rules.section->name);
        }
    }
    const char* reader = "setup.exe";
    const SectionIndex sections = IndexSections(run.document);
    for (const ScriptSection& section : run.document.sections) {
        if (section.name.empty()) {
            if (!section.entries.empty()) {
                Report(run, section.entries.front().line, "ignored-key",
                       "a key before the first section header: setup.exe never reads it");
            }
            continue;
        }
        SectionRules rules;
        if (!FindRules(section.name, build, &rules)) {
            Report(run, section.line, "ignored-section",
                   "setup.exe never reads [" + section.name + "]" +
                       Suggestion(section.name, sectionNames));
            continue;
        }
        const SetupSection* rule = rules.section;
        reader = rules.builder ? "the builder" : "setup.exe";
        const ScriptSection* first = FindSection(sections, section.name);
        if (first != &section) {
            Report(run, section.line, "ignored-section",
                   "[" + section.name + "] again: " + reader + " reads only the first, at line " +
                       Number(first->line));
            continue;
        }
        const EntryIndex entries = IndexEntries(section);
        for (const ScriptEntry& entry : section.entries) {
            if (!entry.hasValue) {
                Report(run, entry.line, "ignored-key",
                       "a line without \"=\": " + std::string(reader) + " reads no value from it");
            } else if (!IsFirstOfKey(entries, entry)) {
                Report(run, entry.line, "ignored-key",
                       Quoted(entry.key) + " again: " + reader + " reads only the first, at line " +
                           Number(FindEntry(entries, entry.key)->line));
            } else if (!IsKnownKey(*rule, entry.key, hasSources)) {
                std::string text = std::string(reader) + " never reads " + Quoted(entry.key) +
                                   " in [" + section.name + "]";
                if (rule->keys == kBuildKeys && hasSources &&
                    StartsWith(entry.key, kAppEntryPrefix)) {
                    text += ": with [sources] the builder numbers the files itself";
                } else {
                    text += Suggestion(entry.key, KnownKeyNames(*rule, entry.key));
                }
                Report(run, entry.line, "ignored-key", text);
            }
        }
    }
}

CheckFamily LayoutChecks() {
    return {"layout", kChecks, std::size(kChecks)};
}
