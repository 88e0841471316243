// The subcommands of tolvanex-build. Each takes the arguments after its name
// and returns the process exit code.
#pragma once

#include <string>
#include <vector>

#include "tools/builder/installer_output.h"

constexpr int kExitSuccess = 0;
constexpr int kExitEntriesFailed = 1; // the command ran, but some work failed
constexpr int kExitBadInput = 2;      // wrong arguments, unreadable or damaged file
constexpr int kExitSignFailed = 3;    // the signing command failed or signed nothing

int RunPackCommand(int argc, char** argv);
int RunBuildCommand(int argc, char** argv);
int RunInspectCommand(int argc, char** argv);
int RunListCommand(int argc, char** argv);
int RunExtractCommand(int argc, char** argv);
int RunCheckCommand(int argc, char** argv);

// Prints the usage to stderr and returns kExitBadInput.
int ReportUsageError();

// Prints "tolvanex-build: SUBJECT: REASON" to stderr.
void ReportProblem(const char* subject, const char* reason);

struct ScriptDocument;

// The setup.ini `build` makes of a build script with [sources], its files
// collected as `build` collects them (with the same messages when they
// cannot be), without reading or packing them. False when the script has no
// [sources] or they cannot be collected.
bool CollectBuildSources(const ScriptDocument& script, ScriptDocument* setupScript);

// One payload entry: the file at sourcePath, or `data` when sourcePath is
// empty.
using PackEntry = InstallerEntry;

// False, with one line naming the entry, for a name the payload reader
// refuses or reads as something else (unsafe, empty parts, "." parts, a
// trailing separator, over 260 characters), a name given twice, or one that
// another entry needs as its folder ("d" beside "d/e"). Letter case does
// not tell names apart: Windows does not either.
bool CheckEntryNames(const std::vector<PackEntry>& entries);
