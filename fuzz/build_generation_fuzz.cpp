// Feeds arbitrary bytes to build's generation of the payload's setup.ini: a
// build script (the bytes up to the first NUL) and the targets of its files
// (the NUL-separated rest), as the source search hands them over. Whatever
// the script holds, the setup.ini written from it must read back with the
// sections and entries it was written with, and hold one [files] entry per
// file; a target with a control character (which the source search refuses)
// may only be caught by the reading back, never pass it unnoticed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/builder/build_sources.h"
#include "tools/builder/script_document.h"
#include "tools/builder/setup_script_generation.h"

namespace {

constexpr size_t kMaxTargets = 64;

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
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
    for (size_t at = cut;
         at != std::string::npos && at < bytes.size() && files.size() < kMaxTargets;) {
        const size_t end = bytes.find('\0', at + 1);
        const std::string target =
            bytes.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (!target.empty()) {
            breaksLines = breaksLines || HasLineBreak(target);
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
        const ScriptSection* written = FindSection(reread, "files");
        if (written == nullptr || written->entries.size() != files.size()) {
            std::abort();
        }
    }
    return 0;
}
