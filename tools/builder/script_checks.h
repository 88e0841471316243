// The builder's checks of a setup script or build script: each finding names
// something setup.exe would do otherwise than the script's author most
// likely meant, in the way compilers report, so that editors and CI can jump
// to it. Every check has a stable name; README.md lists them.
#pragma once

#include <string>
#include <vector>

#include "tools/builder/script_document.h"

struct Finding {
    std::string file;
    int line;
    bool error; // false: a warning
    std::string text;
    std::string name;
};

struct CheckOptions {
    // The document is a build script: [build] and [sources] are known
    // sections; with [sources], [folders] and [files] are the builder's.
    bool buildScript = false;
    // The setup.ini the builder made from the build script, if any, with the
    // entries keeping the build-script lines they come from (a generated
    // entry the line of its [sources] item). Every check of what setup.exe
    // reads then looks at this document; the build script itself is checked
    // for its layout and its [build] and [sources] sections. Findings name the
    // build script's path. Without it, a build script with [sources] is
    // checked without the checks that need the [files] list.
    const ScriptDocument* generated = nullptr;
    // The names of the payload's entries (an installer given to `check`);
    // null when there is no payload. For a build script without [sources]
    // the payload is what its [build] section names.
    const std::vector<std::string>* payloadEntries = nullptr;
    // The setup is a 64-bit program: %%PROGRAMFILES%% is the shorter
    // "C:\Program Files\" (program_architecture.h).
    bool sixtyFourBit = false;
};

// Appends the findings for `document`, in line order.
void CheckScript(const ScriptDocument& document, const CheckOptions& options,
                 std::vector<Finding>* findings);

// "FILE:LINE: warning: TEXT [name]", or "error:".
std::string FormatFinding(const Finding& finding);

// Whether any finding is an error, or with warningsAsErrors any at all.
bool HasErrors(const std::vector<Finding>& findings, bool warningsAsErrors);

// The lengths the path checks assume for each placeholder's value, one line
// each ("%%DESKTOP%%  64"), for help texts.
std::string DescribeAssumedPlaceholderLengths();
