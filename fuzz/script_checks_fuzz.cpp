// Feeds arbitrary bytes to the builder's checks through the entry `check`
// uses: the bytes read as a setup.ini (as setup.exe reads them) and as a
// build script, each checked alone, with a payload's entry names and, for a
// build script, with itself as the generated setup.ini. Every finding must
// name a check that has its row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/builder/script_checks.h"
#include "tools/builder/script_document.h"

namespace {

void CheckEvery(const ScriptDocument& document, const CheckOptions& options) {
    std::vector<Finding> findings;
    CheckScript(document, options, &findings);
    for (const Finding& finding : findings) {
        if (FindCheck(finding.name) == nullptr || finding.line < 1) {
            std::abort();
        }
        FormatFinding(finding);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> entries = {"setup.ini", "file_1", "file_x_file_2", "readme.rtf",
                                              "dotnetfx.exe"};
    ScriptDocument document;
    std::string error;
    if (ParseScriptDocument(bytes, "s.ini", &document, &error, ScriptBytes::AsSetupExe)) {
        CheckOptions options;
        options.setupBytes = &bytes;
        CheckEvery(document, options);
        options.payloadEntries = &entries;
        CheckEvery(document, options);
    }
    if (ParseScriptDocument(bytes, "b.ini", &document, &error)) {
        CheckOptions options;
        options.buildScript = true;
        CheckEvery(document, options);
        options.generated = &document;
        CheckEvery(document, options);
        FormatScriptText(document);
    }
    return 0;
}
