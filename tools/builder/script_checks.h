// The builder's checks of a setup script or build script: each finding names
// something setup.exe would do otherwise than the script's author most
// likely meant, in the way compilers report, so that editors and CI can jump
// to it. Every check has a stable name and a row in its family's table
// (tools/builder/checks/); `check --list` prints them, README.md lists them.
#pragma once

#include <string>
#include <vector>

#include "tools/builder/script_document.h"

enum class Severity {
    Warning,
    Error,
    WarningOrError, // rows only: the finding says which
};

// One check's row: its name, how grave its findings are, what it looks for.
struct CheckInfo {
    const char* name;
    Severity severity;
    const char* summary;
};

// Every finding of the builder, the installer's own included.
struct Finding {
    std::string file;
    int line; // 0: the file as a whole
    Severity severity;
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
    // The setup.ini's bytes as setup.exe reads them (the document read with
    // ScriptBytes::AsSetupExe); null for a build script.
    const std::string* setupBytes = nullptr;
};

// Appends the findings for `document`, in line order.
void CheckScript(const ScriptDocument& document, const CheckOptions& options,
                 std::vector<Finding>* findings);

// "FILE:LINE: warning: TEXT [name]", or "error:"; "FILE: error: ..." for a
// finding about the whole file.
std::string FormatFinding(const Finding& finding);

// Whether any finding is an error, or with warningsAsErrors any at all.
bool HasErrors(const std::vector<Finding>& findings, bool warningsAsErrors);

// Every check's row, family by family in the order the families run.
std::vector<CheckInfo> ListAllChecks();
// The rows as `check --list` prints them: one line each, "NAME  SEVERITY
// SUMMARY".
std::string DescribeChecks();
// "warning", "error" or "error/warning", as README.md's table writes them.
const char* SeverityName(Severity severity);
// The row of the check named `name`; null for none.
const CheckInfo* FindCheck(const std::string& name);

// The lengths the path checks assume for each placeholder's value, one line
// each ("%%DESKTOP%%  64"), for help texts.
std::string DescribeAssumedPlaceholderLengths();
