#include "tools/builder/setup_script_generation.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "script/setup_script.h"
#include "tools/builder/build_script.h"

namespace {

ScriptEntry GeneratedEntry(const std::string& key, const std::string& value, int line) {
    ScriptEntry entry;
    entry.key = key;
    entry.value = value;
    entry.line = line;
    return entry;
}

} // namespace

ScriptDocument GenerateSetupScript(const ScriptDocument& script, const ScriptSection& sources,
                                   const std::vector<SourceFile>& files) {
    const ScriptSection* listed = FindSection(script, kFoldersSection);
    std::vector<std::string> listedFolders;
    if (listed != nullptr) {
        // The items 1 to count that are there, found by walking the entries
        // once: a count of two billion costs nothing (the checks report it).
        const ScriptEntry* count = FindEntry(*listed, kCountKey);
        const long n = count != nullptr ? atol(ProfileValue(*count).c_str()) : 0;
        std::map<long, std::string> items;
        for (const ScriptEntry& entry : listed->entries) {
            char* end = nullptr;
            const long j = strtol(entry.key.c_str(), &end, 10);
            if (!entry.key.empty() && *end == '\0' && j >= 1 && j <= n &&
                entry.key == std::to_string(j)) {
                items.emplace(j, ProfileValue(entry)); // the first of a key counts
            }
        }
        for (const auto& item : items) {
            if (!item.second.empty()) {
                listedFolders.push_back(item.second);
            }
        }
    }
    std::vector<std::string> targets;
    for (const SourceFile& file : files) {
        targets.push_back(file.target);
    }
    const std::vector<std::string> folders = PlanFolders(listedFolders, targets);

    ScriptSection folderSection{
        kFoldersSection, listed != nullptr ? listed->line : sources.line, {}};
    folderSection.entries.push_back(
        GeneratedEntry(kCountKey, std::to_string(folders.size()), folderSection.line));
    for (size_t j = 0; j < folders.size(); ++j) {
        folderSection.entries.push_back(
            GeneratedEntry(std::to_string(j + 1), folders[j], folderSection.line));
    }
    ScriptSection fileSection{kFilesSection, sources.line, {}};
    for (size_t k = 0; k < files.size(); ++k) {
        fileSection.entries.push_back(
            GeneratedEntry(std::to_string(k + 1), files[k].target, files[k].line));
    }

    ScriptDocument payload;
    payload.path = script.path;
    bool foldersPlaced = false;
    for (const ScriptSection& section : script.sections) {
        if (EqualNamesIgnoringCase(section.name, kBuildSection) ||
            EqualNamesIgnoringCase(section.name, kSourcesSection)) {
            continue;
        }
        if (EqualNamesIgnoringCase(section.name, kFoldersSection)) {
            if (!foldersPlaced) {
                payload.sections.push_back(folderSection);
                payload.sections.push_back(fileSection);
                foldersPlaced = true;
            }
            continue;
        }
        payload.sections.push_back(section);
    }
    if (!foldersPlaced) {
        payload.sections.push_back(folderSection);
        payload.sections.push_back(fileSection);
    }
    return payload;
}

bool ReadsBackAsWritten(const ScriptDocument& payload, const std::string& text, int* line) {
    ScriptDocument reread;
    std::string error;
    *line = 0;
    // setup.exe reads CP1252 whatever the bytes look like; a comment with a
    // byte UTF-8 never has keeps the reader from taking them for UTF-8.
    if (!ParseScriptDocument(";\xff\r\n" + text, payload.path, &reread, &error)) {
        return false;
    }
    // A section without name or entries is not written.
    std::vector<const ScriptSection*> written;
    for (const ScriptSection& section : payload.sections) {
        if (!section.name.empty() || !section.entries.empty()) {
            written.push_back(&section);
        }
    }
    const size_t sections = std::min(written.size(), reread.sections.size());
    for (size_t i = 0; i < sections; ++i) {
        const size_t entries = reread.sections[i].entries.size();
        *line = written[i]->line;
        if (written[i]->entries.size() != entries) {
            if (entries < written[i]->entries.size() && entries > 0) {
                *line = written[i]->entries[entries - 1].line;
            }
            return false;
        }
    }
    return written.size() == reread.sections.size();
}
