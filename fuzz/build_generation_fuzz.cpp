// Feeds arbitrary bytes to build's generation of the payload's setup.ini: a
// build script (the bytes up to the first NUL) and the targets of its files
// (the NUL-separated rest), as the source search hands them over. Whatever
// the script holds, the setup.ini written from it must read back with the
// sections and entries it was written with, and hold one [files] entry per
// file; a target with a control character (which the source search refuses)
// may only be caught by the reading back, never pass it unnoticed. What is
// read back through the indexes inspect and the checks use is what was
// written, and the checks of build and of check take both sides.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "system/bounded_text.h"
#include "tools/builder/build_sources.h"
#include "tools/builder/script_checks.h"
#include "tools/builder/script_document.h"
#include "tools/builder/setup_script_generation.h"

namespace {

constexpr size_t kMaxTargets = 64;

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// A blank as the profile rules read one: a tab or a vertical tab as well.
bool HasOuterBlank(const std::string& text) {
    return !text.empty() && (IsSpaceCharacter(text.front()) || IsSpaceCharacter(text.back()));
}

// A target as the source search hands one over: no control character, no
// blank at either end of the name or of any folder on its way (the search
// refuses those; a value read back loses them).
bool IsPlainTarget(const std::string& text) {
    size_t start = 0;
    for (size_t at = 0; at <= text.size(); ++at) {
        const char c = at < text.size() ? text[at] : '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
        if (c == '\\' || c == '/') {
            if (at > start && (text[start] == ' ' || text[at - 1] == ' ')) {
                return false;
            }
            start = at + 1;
        }
    }
    return true;
}

// What inspect and the checks look up in the setup.ini read back, through
// their indexes, is what was written, and the indexes agree with a walk.
void ReadBackThroughIndexes(const ScriptDocument& payload, const ScriptDocument& reread,
                            bool plainTargets) {
    const SectionIndex sections = IndexSections(reread);
    for (const ScriptSection& section : reread.sections) {
        if (FindSection(sections, section.name) != FindSection(reread, section.name)) {
            std::abort();
        }
        const EntryIndex keys = IndexEntries(section);
        for (const ScriptEntry& entry : section.entries) {
            if (FindEntry(keys, entry.key) != FindEntry(section, entry.key)) {
                std::abort();
            }
        }
    }
    for (const ScriptSection& section : payload.sections) {
        const ScriptSection* found = FindSection(sections, section.name);
        if (found == nullptr || FindSection(payload, section.name) != &section) {
            continue; // a section named twice is read as its first
        }
        const EntryIndex keys = IndexEntries(*found);
        for (const ScriptEntry& entry : section.entries) {
            const ScriptEntry* back = FindEntry(keys, entry.key);
            // Blanks around a value are not read, as Windows ignores them
            // at a name's end: a folder level the script's own folders
            // derive ("A " of "A \B") reads back without its blank.
            if (HasOuterBlank(ProfileValue(entry))) {
                continue;
            }
            if (plainTargets && FindEntry(section, entry.key) == &entry &&
                (back == nullptr || ProfileValue(*back) != ProfileValue(entry))) {
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t cut = bytes.find('\0');
    ScriptDocument script;
    std::string error;
    if (!ParseScriptDocument(bytes.substr(0, cut), "build.ini", &script, &error)) {
        return 0;
    }
    std::vector<SourceFile> files;
    bool breaksLines = false;
    bool plainTargets = true;
    for (size_t at = cut;
         at != std::string::npos && at < bytes.size() && files.size() < kMaxTargets;) {
        const size_t end = bytes.find('\0', at + 1);
        const std::string target =
            bytes.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (!target.empty()) {
            breaksLines = breaksLines || HasLineBreak(target);
            plainTargets = plainTargets && IsPlainTarget(target);
            files.push_back({"source", target, 1});
        }
        at = end;
    }
    const ScriptSection fallback{"sources", 1, {}};
    const ScriptSection* sources = FindSection(script, "sources");
    const ScriptDocument payload =
        GenerateSetupScript(script, sources != nullptr ? *sources : fallback, files);
    const std::string text = FormatScriptText(payload);
    int line = 0;
    const bool readsBack = ReadsBackAsWritten(payload, text, &line);
    if (!breaksLines && !readsBack) {
        std::abort(); // a script the builder takes would reach setup.exe otherwise
    }
    if (readsBack) {
        ScriptDocument reread;
        if (!ParseScriptDocument(";\xff\n" + text, "setup.ini", &reread, &error)) {
            std::abort();
        }
        // build refuses a script with a [files] of its own (it writes that
        // section itself), so only a script without one must come back with
        // one entry per file.
        const bool ownFiles = FindSection(script, "files") != nullptr;
        const ScriptSection* written = FindSection(reread, "files");
        if (!ownFiles && (written == nullptr || written->entries.size() != files.size())) {
            std::abort();
        }
        ReadBackThroughIndexes(payload, reread, plainTargets);
    }
    // The checks of build (the script with what it generates) and of check
    // (the setup.ini read back from the installer) take whatever came.
    std::vector<Finding> findings;
    CheckOptions options;
    options.buildScript = true;
    options.generated = &payload;
    CheckScript(script, options, &findings);
    ScriptDocument asSetupExe;
    if (ParseScriptDocument(text, "setup.ini", &asSetupExe, &error, ScriptBytes::AsSetupExe)) {
        std::vector<std::string> entries{"setup.ini"};
        for (size_t k = 0; k < files.size(); ++k) {
            entries.push_back("file_" + std::to_string(k + 1));
        }
        CheckOptions installer;
        installer.payloadEntries = &entries;
        installer.setupBytes = &text;
        CheckScript(asSetupExe, installer, &findings);
    }
    return 0;
}
