// Values on their own: quotes the profile reader takes off, lengths beyond
// setup.exe's buffers, names Windows refuses in the paths setup.exe creates,
// booleans and the names of the constant tables.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "script/constant_names.h"
#include "script/ini_file.h"
#include "script/placeholders.h"
#include "system/bounded_text.h"
#include "system/windows_names.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"enclosing-quotes", Severity::Warning,
     "a value wholly in quotes, which the profile reader takes off (quote twice to keep one pair)"},
    {"path-too-long", Severity::WarningOrError,
     "a path longer than 259 characters as written (error) or possibly after expansion (warning)"},
    {"text-too-long", Severity::Warning, "a text longer than the buffer setup.exe reads it into"},
    {"bad-path-name", Severity::WarningOrError,
     "a folder, file or shortcut path with a name Windows refuses (error) or ends in a dot or "
     "blank, which Windows drops (warning)"},
    {"bad-boolean", Severity::Warning, "a boolean that is not true, yes, false, no or a number"},
    {"unknown-root", Severity::Warning,
     "a registry root not in the name table: setup.exe writes into HKEY_LOCAL_MACHINE"},
    {"unknown-value-type", Severity::Warning, "a value type not in the table: REG_SZ"},
    {"unknown-service-type", Severity::Warning,
     "a service type not in its table: SERVICE_WIN32_OWN_PROCESS"},
    {"unknown-start-type", Severity::Warning,
     "a start type not in its table: SERVICE_DEMAND_START"},
    {"unknown-error-control", Severity::Warning,
     "an error control not in its table: SERVICE_ERROR_NORMAL"},
};

// The keys whose value is a folder, file or shortcut setup.exe creates.
bool NamesCreatedPath(const SetupKey& rule) {
    return std::strcmp(rule.key, kPlainItemKey) == 0 ||
           std::strcmp(rule.key, kShortcutFileKey) == 0 || std::strcmp(rule.key, kDestDirKey) == 0;
}

// The placeholder token at `at`, or null. The user's and company's names
// stand within a name; the others for folders, ending in a separator.
const char* TokenAt(const std::string& path, size_t at, bool* withinName) {
    for (const char* token : kPlaceholderTokens) {
        if (path.compare(at, std::strlen(token), token) == 0) {
            *withinName = IsTypedTextToken(token);
            return token;
        }
    }
    return nullptr;
}

struct PathName {
    std::string name;
    NameProblem problem;
};

// The first name of a path as written that Windows refuses or reads
// otherwise. The "\\?\" prefix, a drive and placeholders are not names; a
// name beside the user's or company's name is only part of one, whose
// characters alone can be judged.
PathName FindPathNameProblem(const std::string& path) {
    size_t at = path.compare(0, 4, "\\\\?\\") == 0 ? 4 : 0;
    if (at + 1 < path.size() && LowerAscii(path[at]) >= 'a' && LowerAscii(path[at]) <= 'z' &&
        path[at + 1] == ':') {
        at += 2;
    }
    std::string name;
    bool partial = false;
    while (true) {
        bool withinName = false;
        const char* token = at < path.size() ? TokenAt(path, at, &withinName) : nullptr;
        const bool boundary =
            at == path.size() || token != nullptr || path[at] == '\\' || path[at] == '/';
        if (!boundary) {
            name += path[at++];
            continue;
        }
        partial = partial || withinName;
        NameProblem problem = FindNameProblem(name);
        if (partial && problem != NameProblem::ControlCharacter &&
            problem != NameProblem::ForbiddenCharacter) {
            problem = NameProblem::None;
        }
        if (problem != NameProblem::None || at == path.size()) {
            return {name, problem};
        }
        partial = withinName;
        name.clear();
        at += token != nullptr ? std::strlen(token) : 1;
    }
}

void CheckPathNames(CheckRun& run, const ScriptEntry& entry, const std::string& value) {
    const PathName found = FindPathNameProblem(value);
    const std::string refused = ": setup.exe cannot create it";
    switch (found.problem) {
    case NameProblem::ControlCharacter:
        ReportAs(run, entry.line, "bad-path-name", Severity::Error,
                 "a name holds a control character" + refused);
        break;
    case NameProblem::ForbiddenCharacter:
        ReportAs(run, entry.line, "bad-path-name", Severity::Error,
                 "the name " + Quoted(found.name) +
                     " holds a character Windows forbids in names (< > : \" | ? *)" + refused);
        break;
    case NameProblem::DeviceName:
        ReportAs(run, entry.line, "bad-path-name", Severity::Error,
                 "the name " + Quoted(found.name) +
                     " is a device name Windows reserves (CON, PRN, AUX, NUL, COM1, LPT1, ...)" +
                     refused);
        break;
    case NameProblem::TrailingDotOrBlank:
        ReportAs(run, entry.line, "bad-path-name", Severity::Warning,
                 "Windows drops the dot or blank that ends the name " + Quoted(found.name) +
                     ": setup.exe creates it without, and the uninstaller does not remove a "
                     "path logged with it");
        break;
    case NameProblem::None:
        break;
    }
}

// "no" give false as they say.
bool IsPlainBoolean(const std::string& value) {
    for (const char* word : {"true", "yes", "false", "no"}) {
        if (EqualNamesIgnoringCase(value, word)) {
            return true;
        }
    }
    return IsWholeNumber(value);
}

void CheckName(CheckRun& run, const ScriptEntry& entry, const std::string& value, ConstantKind kind,
               const char* name, const char* what) {
    if (value.empty() || FindConstant(kind, value.c_str(), nullptr)) {
        return;
    }
    const ConstantTable& table = GetConstantTable(kind);
    std::string hint;
    for (size_t i = 0; i < table.count; ++i) {
        if (EqualNamesIgnoringCase(value, table.rows[i].name)) {
            hint = " (names are case-sensitive: " + std::string(table.rows[i].name) + ")";
        }
    }
    if (kind == ConstantKind::RegistryRoot && hint.empty() && IsRootKeyName(value.c_str())) {
        hint = " (write the root's full name, such as HKEY_CURRENT_USER)";
    }
    Report(run, entry.line, name,
           Quoted(value) + " is no " + what + " setup.exe knows" + hint + ": it uses " +
               table.fallbackName);
}

// The check of each constant table's names, and what a message calls them.
struct ConstantCheck {
    ConstantKind kind;
    const char* name;
    const char* what;
};
const ConstantCheck kConstantChecks[] = {
    {ConstantKind::RegistryRoot, "unknown-root", "registry root"},
    {ConstantKind::RegistryValueType, "unknown-value-type", "registry value type"},
    {ConstantKind::ServiceType, "unknown-service-type", "service type"},
    {ConstantKind::ServiceStartType, "unknown-start-type", "start type"},
    {ConstantKind::ServiceErrorControl, "unknown-error-control", "error control"},
};

const ConstantCheck& ConstantCheckOf(ConstantKind kind) {
    for (const ConstantCheck& check : kConstantChecks) {
        if (check.kind == kind) {
            return check;
        }
    }
    return kConstantChecks[0];
}

} // namespace

void CheckValue(CheckRun& run, const ScriptEntry& entry, const SetupKey& rule) {
    const std::string value = ProfileValue(entry);
    // Quotes written twice keep one pair: that is meant.
    const bool quotesKept =
        value.size() >= 2 && value[0] == entry.value[0] && value.back() == entry.value[0];
    if (entry.hasValue && value != entry.value && !quotesKept) {
        std::string text =
            "the profile reader takes the enclosing quotes off: setup.exe reads " + Quoted(value);
        if (rule.key == kServiceBinaryPathKey) {
            text += "; to keep a quoted path, quote it twice (\"\"PATH\"\") or follow it with "
                    "its arguments";
        }
        Report(run, entry.line, "enclosing-quotes", text);
    }
    bool cut = false;
    if (rule.size > 0 && static_cast<int>(value.size()) > rule.size - 1) {
        cut = true;
        if (rule.kind == ValueKind::Path) {
            ReportAs(run, entry.line, "path-too-long", Severity::Error,
                     Number(value.size()) + " characters: setup.exe reads at most " +
                         Number(rule.size - 1) + " and cuts the rest");
        } else {
            Report(run, entry.line, "text-too-long",
                   Number(value.size()) + " characters: setup.exe reads at most " +
                       Number(rule.size - 1) + " and cuts the rest");
        }
    }
    if (NamesCreatedPath(rule)) {
        CheckPathNames(run, entry, value);
    }
    CheckPlaceholders(run, entry, value, rule.expansion);
    // destdir is measured with what setup.exe puts behind it (destdir-too-long).
    if (!cut && rule.expansion != Expansion::None && rule.expansion != Expansion::AtStartup &&
        rule.size > 0) {
        const int limit = std::min(rule.size - 1, kLongestPath);
        const int length = EstimateLength(run, value, rule.expansion);
        if (length > limit) {
            ReportAs(run, entry.line,
                     rule.kind == ValueKind::Path ? "path-too-long" : "text-too-long",
                     Severity::Warning,
                     "may be about " + Number(length) +
                         " characters after expansion (with the placeholder lengths in "
                         "tolvanex-build --help): setup.exe cuts it at " +
                         Number(limit));
        }
    }
    if (rule.kind == ValueKind::Boolean && !value.empty() && !IsPlainBoolean(value)) {
        Report(run, entry.line, "bad-boolean",
               Quoted(value) + " is neither true, yes nor a number: setup.exe reads " +
                   (ParseBool(value.c_str(), 0) ? "true" : "false"));
    }
    if (rule.kind == ValueKind::Constant) {
        const ConstantCheck& check = ConstantCheckOf(rule.constant);
        CheckName(run, entry, value, rule.constant, check.name, check.what);
    }
}

CheckFamily ValueChecks() {
    return {"values", kChecks, std::size(kChecks)};
}
