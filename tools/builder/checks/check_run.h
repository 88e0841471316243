// What the families of checks share: the run over one document, the way a
// finding is reported, and the helpers several families read values with.
// Internal to the checks; script_checks.h is their public face.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "script/setup_script_schema.h"
#include "tools/builder/script_checks.h"

// The rules of one section a check reads: the setup script's table, or the
// builder's own for [build] and [sources].
struct SectionRules {
    const SetupSection* section;
    bool builder; // read by the builder, not by setup.exe
};

struct CheckRun {
    const ScriptDocument& document;  // the build script or setup.ini
    const ScriptDocument& effective; // what setup.exe reads
    const CheckOptions& options;
    std::vector<Finding>* findings;
    bool filesKnown;   // the [files] list is the one setup.exe gets
    bool payloadKnown; // the payload's support files are known
    bool entriesKnown; // the payload's application entries are known
    std::set<std::string> supportFiles;
    std::vector<std::string> appEntries;
    int assumedInstallDirLength;
    bool userInfoShown;
};

// Reports with the severity the check's row gives it.
void Report(CheckRun& run, int line, const char* name, const std::string& text);
// For the checks whose row says "warning or error".
void ReportAs(CheckRun& run, int line, const char* name, Severity severity,
              const std::string& text);

// One family's rows, for the list of every check.
struct CheckFamily {
    const char* name;
    const CheckInfo* checks;
    size_t count;
};
CheckFamily PlaceholderChecks();
CheckFamily ValueChecks();
CheckFamily LayoutChecks();
CheckFamily ListChecks();
CheckFamily TargetChecks();
CheckFamily RegistryChecks();
CheckFamily ServiceChecks();
CheckFamily MainAndPageChecks();
CheckFamily PayloadChecks();

// --- Reading values ----------------------------------------------------------

std::string Quoted(const std::string& text);
std::string LowerText(std::string text);
bool StartsWith(const std::string& text, const char* prefix);
std::string Number(long long value);
const ScriptEntry* Entry(const ScriptDocument& document, const char* section, const char* key);
std::string Value(const ScriptEntry* entry);
bool IsOn(const ScriptEntry* entry);
int LineOf(const ScriptEntry* entry, const ScriptSection* section);
bool IsWholeNumber(const std::string& text);
// A decimal index as setup.exe writes it (no sign, no leading zero) and what
// follows it.
bool ParseIndex(const std::string& key, int* index, std::string* rest);
// The key of item `index` in a "%s..." format, as setup.exe forms it.
std::string ItemKeyName(const char* format, int index);
bool IsAppEntry(const std::string& name);

// --- Placeholders and lengths (placeholder_checks.cpp) -------------------------

int EstimateLength(const CheckRun& run, const std::string& value, Expansion expansion);
void CheckPlaceholders(CheckRun& run, const ScriptEntry& entry, const std::string& value,
                       Expansion expansion);
int AssumedInstallDirLength();
// Whether a placeholder token stands for text the user types (%%USER%%,
// %%COMPANY%%) rather than for a folder, which ends in a backslash.
bool IsTypedTextToken(const char* token);
// The longest path setup.exe takes, without its terminator.
constexpr int kLongestPath = kPathSize - 1;

// --- Values (value_checks.cpp) ---------------------------------------------

// The checks of one value that need nothing but the value and its row.
void CheckValue(CheckRun& run, const ScriptEntry& entry, const SetupKey& rule);

// --- Layout (layout_checks.cpp) ----------------------------------------------

// The rules of a section named exactly as the table names it; [build] and
// [sources] included.
SectionRules RulesOf(const char* name);
void CheckLayout(CheckRun& run, bool hasSources);
void CheckBuildSection(CheckRun& run);

// --- Lists (list_checks.cpp) -------------------------------------------------

// One item of a list within its count: its entries by field, in the order of
// the section's rows (one for the plain numbered lists).
struct ListItem {
    const SetupSection* section;
    int index;
    std::vector<const ScriptEntry*> fields;
};

// Reads a list as setup.exe does, reporting its count and missing keys, and
// checks the values of the items it will handle. Returns those items, in
// order.
std::vector<ListItem> CheckList(CheckRun& run, const ScriptDocument& document,
                                const SectionRules& rules);
// The field of rule's keys that `rest` ("_dest") is, or -1.
int FindField(const SetupSection& rule, const std::string& rest);
// An item's field reached by its key's name (kRegistryRootKey).
const ScriptEntry* FieldEntry(const ListItem& item, const char* key);
std::string FieldValue(const ListItem& item, const char* key);
// The field's line, or the item's first line when the field is missing.
int FieldLine(const ListItem& item, const char* key);

// --- Targets and folders (target_checks.cpp) -----------------------------------

std::string NormalizePath(const std::string& path);
bool IsUnderInstallDir(const std::string& normalized);
std::string ParentPath(const std::string& normalized);

struct Target {
    std::string key;
    std::string normalized;
    const ScriptEntry* entry;
};

struct Created {
    std::set<std::string> folders; // normalised, placeholder roots implied
    std::map<std::string, const Target*> files;
};

bool IsCreatedFolder(const Created& created, const std::string& normalized);
bool TargetInstalled(const CheckRun& run, const Created& created, const std::string& path,
                     bool folderToo);
void CheckFolderList(CheckRun& run, const std::vector<ListItem>& items, Created* created);
void CheckFiles(CheckRun& run, const std::vector<Target>& targets, Created* created);
void CheckShortcuts(CheckRun& run, const std::vector<ListItem>& items, const Created& created);

// --- The other families ---------------------------------------------------------

void CheckRegistry(CheckRun& run, const std::vector<ListItem>& items);
void CheckServices(CheckRun& run, const std::vector<ListItem>& items, const Created& created,
                   const std::string& destination);
void CheckMain(CheckRun& run);
void CheckPageText(CheckRun& run, const char* key, const char* file, const char* buildKey,
                   const char* name);
void CheckFinishPage(CheckRun& run, const Created& created, const char* flagKey,
                     const char* pathKey);
// The payload that setup.exe will find, as far as it is known.
void LearnPayload(CheckRun& run, bool hasSources);
// Text setup.exe will show otherwise than written: UTF-8 read as CP1252.
void CheckCodePage(CheckRun& run);
