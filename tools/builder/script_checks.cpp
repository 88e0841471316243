#include "tools/builder/script_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

#include "archive/payload_format.h"
#include "script/constant_names.h"
#include "script/ini_file.h"
#include "script/placeholders.h"
#include "script/setup_script.h"
#include "script/uninstall_log_format.h"
#include "system/bounded_text.h"
#include "tools/builder/build_script.h"

namespace {

constexpr int kLongestPath = kPathSize - 1;

// The lengths assumed for what each placeholder stands for, when a path is
// measured after expansion: generous typical values, not limits. A user name
// of 20 characters makes the user folders about this long; "%%INSTALLDIR%%"
// is measured as the proposed destdir instead, when there is one.
struct AssumedLength {
    const char* token;
    int length;
    const char* example;
};
const AssumedLength kAssumedLengths[] = {
    {kDesktopToken, 64, "C:\\Users\\NAME\\OneDrive - COMPANY\\Desktop\\"},
    {kProgramsToken, 88,
     "C:\\Users\\NAME\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\"},
    {kProgramFilesToken, 32, "C:\\Program Files (x86)\\"},
    {kInstallDirToken, 64, "the destdir after expansion, with a backslash"},
    {kUserToken, 32, "the user's name"},
    {kCompanyToken, 32, "the company's name"},
    {kWindowsDirToken, 16, "C:\\Windows\\"},
    {kSystemDirToken, 24, "C:\\Windows\\SysWOW64\\"},
};
static_assert(std::size(kAssumedLengths) == std::size(kPlaceholderTokens),
              "one assumed length for each placeholder");

// The registry's limit for a key's path below its root.
constexpr size_t kRegistryKeyPathLimit = 255;

enum class Kind {
    Text,
    Path,
    Boolean,
    Root,
    ValueType,
    ServiceType,
    StartType,
    ErrorControl,
    BuildPath, // a file of the build, never read by setup.exe
};
enum class Expansion {
    None,
    Full,
    InstallDirOnly,
    AtStartup, // destdir: expanded before the destination and the user are known
};
enum class Need { Optional, Warn, Error };

struct KeySpec {
    const char* key; // a name, or a "%s..." format for the items of a list
    Kind kind;
    int size; // setup.exe's buffer, terminator included; 0 for none
    Expansion expansion;
    Need need; // for the items of a list: what a missing or empty value is
};

enum class Numbering {
    None,     // named keys
    FromOne,  // [folders]: "1" to count
    FromZero, // [shell_folders]: "0" to count - 1
    Items,    // "%s_dest" and so on, 0 to count - 1
    AnyKey,   // [files]: keys named after the payload entries
};

struct SectionSpec {
    const char* name;
    Numbering numbering;
    const KeySpec* keys;
    size_t keyCount;
    bool builder; // read by the builder, not by setup.exe
};

const KeySpec kMainKeys[] = {
    {kAppTitleKey, Kind::Text, kTextSize, Expansion::None, Need::Optional},
    {kVersionKey, Kind::Text, kTextSize, Expansion::None, Need::Optional},
    {kPublisherKey, Kind::Text, kTextSize, Expansion::None, Need::Optional},
    {kUrlKey, Kind::Text, kTextSize, Expansion::None, Need::Optional},
    {kDestDirKey, Kind::Path, kPathSize, Expansion::AtStartup, Need::Optional},
    {kDotNetKey, Kind::Boolean, 0, Expansion::None, Need::Optional},
};
const KeySpec kDialogKeys[] = {
    {kShowLicenseKey, Kind::Boolean, 0, Expansion::None, Need::Optional},
    {kShowReadmeKey, Kind::Boolean, 0, Expansion::None, Need::Optional},
    {kShowUserInfoKey, Kind::Boolean, 0, Expansion::None, Need::Optional},
    {kDoneShowReadmeKey, Kind::Boolean, 0, Expansion::None, Need::Optional},
    {kDoneShowReadmePathKey, Kind::Path, kPathSize, Expansion::InstallDirOnly, Need::Optional},
    {kDoneShowLaunchKey, Kind::Boolean, 0, Expansion::None, Need::Optional},
    {kDoneShowLaunchPathKey, Kind::Path, kPathSize, Expansion::InstallDirOnly, Need::Optional},
};
const KeySpec kFolderItem[] = {{"%s", Kind::Path, kPathSize, Expansion::Full, Need::Optional}};
const KeySpec kShellItemKeys[] = {
    {kShortcutTargetKey, Kind::Path, kPathSize, Expansion::Full, Need::Error},
    {kShortcutFileKey, Kind::Path, kPathSize, Expansion::Full, Need::Error},
    {kShortcutDescriptionKey, Kind::Text, kTextSize, Expansion::Full, Need::Optional},
    {kShortcutWorkingDirectoryKey, Kind::Path, kPathSize, Expansion::Full, Need::Optional},
    {kShortcutArgumentsKey, Kind::Text, kPathSize, Expansion::Full, Need::Optional},
};
const KeySpec kRegistryKeys[] = {
    {kRegistryRootKey, Kind::Root, kRegistryNameSize, Expansion::None, Need::Warn},
    {kRegistryKeyPathKey, Kind::Text, kPathSize, Expansion::None, Need::Error},
    {kRegistryValueNameKey, Kind::Text, kPathSize, Expansion::None, Need::Optional},
    {kRegistryDataKey, Kind::Text, kPathSize, Expansion::Full, Need::Optional},
    {kRegistryTypeKey, Kind::ValueType, kRegistryNameSize, Expansion::None, Need::Optional},
};
const KeySpec kServiceKeys[] = {
    {kServiceNameKey, Kind::Text, kServiceNameSize, Expansion::None, Need::Error},
    {kServiceDisplayNameKey, Kind::Text, kServiceNameSize, Expansion::None, Need::Optional},
    {kServiceBinaryPathKey, Kind::Path, kPathSize, Expansion::Full, Need::Error},
    {kServiceTypeKey, Kind::ServiceType, kServiceSettingSize, Expansion::None, Need::Optional},
    {kServiceStartTypeKey, Kind::StartType, kServiceSettingSize, Expansion::None, Need::Optional},
    {kServiceErrorControlKey, Kind::ErrorControl, kServiceSettingSize, Expansion::None,
     Need::Optional},
};
const KeySpec kBuildKeys[] = {
    {kBuildOutputKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildStubKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildUninstallerKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildLicenseKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildReadmeKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildLeftPictureKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildTopPictureKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildDotNetKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildSignKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildMethodKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
    {kBuildLevelKey, Kind::BuildPath, 0, Expansion::None, Need::Optional},
};
const KeySpec kSourceKeys[] = {
    {kSourceFromKey, Kind::BuildPath, 0, Expansion::None, Need::Error},
    {kSourceToKey, Kind::Path, kPathSize, Expansion::Full, Need::Error},
};

#define SECTION(name, numbering, keys, builder)                                                    \
    { name, numbering, keys, std::size(keys), builder }
const SectionSpec kSections[] = {
    SECTION(kMainSection, Numbering::None, kMainKeys, false),
    SECTION(kDialogsSection, Numbering::None, kDialogKeys, false),
    SECTION(kFoldersSection, Numbering::FromOne, kFolderItem, false),
    SECTION(kFilesSection, Numbering::AnyKey, kFolderItem, false),
    SECTION(kShellFoldersSection, Numbering::FromZero, kFolderItem, false),
    SECTION(kShellItemsSection, Numbering::Items, kShellItemKeys, false),
    SECTION(kRegistrySection, Numbering::Items, kRegistryKeys, false),
    SECTION(kServiceSection, Numbering::Items, kServiceKeys, false),
    SECTION(kBuildSection, Numbering::None, kBuildKeys, true),
    SECTION(kSourcesSection, Numbering::Items, kSourceKeys, true),
};
#undef SECTION

// Keys a value entry may write into without a key entry creating them first:
// they exist on every Windows installation. Paths in lower case.
struct PresentKey {
    RegistryRoot root;
    const char* path;
};
const PresentKey kPresentKeys[] = {
    {RegistryRoot::LocalMachine, ""},
    {RegistryRoot::LocalMachine, "software"},
    {RegistryRoot::LocalMachine, "software\\classes"},
    {RegistryRoot::LocalMachine, "software\\microsoft"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion\\run"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows\\currentversion\\runonce"},
    {RegistryRoot::LocalMachine, "software\\microsoft\\windows nt\\currentversion"},
    {RegistryRoot::LocalMachine, "system"},
    {RegistryRoot::LocalMachine, "system\\currentcontrolset"},
    {RegistryRoot::LocalMachine, "system\\currentcontrolset\\control"},
    {RegistryRoot::LocalMachine,
     "system\\currentcontrolset\\control\\session manager\\environment"},
    {RegistryRoot::LocalMachine, "system\\currentcontrolset\\services"},
    {RegistryRoot::CurrentUser, ""},
    {RegistryRoot::CurrentUser, "control panel"},
    {RegistryRoot::CurrentUser, "control panel\\desktop"},
    {RegistryRoot::CurrentUser, "control panel\\international"},
    {RegistryRoot::CurrentUser, "environment"},
    {RegistryRoot::CurrentUser, "software"},
    {RegistryRoot::CurrentUser, "software\\classes"},
    {RegistryRoot::CurrentUser, "software\\microsoft"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion\\run"},
    {RegistryRoot::CurrentUser, "software\\microsoft\\windows\\currentversion\\runonce"},
    {RegistryRoot::ClassesRoot, ""},
    {RegistryRoot::ClassesRoot, "*"},
    {RegistryRoot::ClassesRoot, "*\\shell"},
    {RegistryRoot::ClassesRoot, "clsid"},
    {RegistryRoot::ClassesRoot, "directory"},
    {RegistryRoot::ClassesRoot, "directory\\shell"},
    {RegistryRoot::ClassesRoot, "folder"},
    {RegistryRoot::ClassesRoot, "folder\\shell"},
    {RegistryRoot::Users, ""},
    {RegistryRoot::Users, ".default"},
    {RegistryRoot::CurrentConfig, ""},
    {RegistryRoot::CurrentConfig, "software"},
    {RegistryRoot::CurrentConfig, "system"},
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string LowerText(std::string text) {
    for (char& c : text) {
        c = LowerAscii(c);
    }
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The key of item `index` in a "%s..." format, as setup.exe forms it.
std::string ItemKeyName(const char* format, int index) {
    char key[kListKeySize];
    FormatListKey(format, index, key);
    return key;
}

// "count is 3" and its like in messages.
std::string Number(long long value) {
    return std::to_string(value);
}

// Every "file_" removed, as setup.exe forms an entry's [files] key.
std::string FilesKeyOfEntry(const std::string& name) {
    std::string key;
    const size_t prefixLength = std::strlen(kAppEntryPrefix);
    for (size_t at = 0; at < name.size();) {
        if (name.compare(at, prefixLength, kAppEntryPrefix) == 0) {
            at += prefixLength;
        } else {
            key.push_back(name[at++]);
        }
    }
    return key;
}

bool IsAppEntry(const std::string& name) {
    return name.find(kAppEntryPrefix) != std::string::npos;
}

// Edit distance, for naming the key or section probably meant.
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
bool ParseIndex(const std::string& key, int* index, std::string* rest) {
    size_t digits = 0;
    while (digits < key.size() && key[digits] >= '0' && key[digits] <= '9') {
        ++digits;
    }
    if (digits == 0 || digits > 9 || (digits > 1 && key[0] == '0')) {
        return false;
    }
    *index = std::stoi(key.substr(0, digits));
    *rest = key.substr(digits);
    return true;
}

// The field of rule's keys that `rest` ("_dest") is, or -1.
int FindField(const SectionSpec& rule, const std::string& rest) {
    for (size_t i = 0; i < rule.keyCount; ++i) {
        if (EqualNamesIgnoringCase(rest, rule.keys[i].key + 2)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// --- Placeholders --------------------------------------------------------

struct PlaceholderUse {
    size_t at;
    std::string text;
    int token; // index into kPlaceholderTokens, or -1
    enum { Known, Unknown, Lone, SinglePercent } form;
};

int TokenIndex(const std::string& text) {
    for (size_t i = 0; i < std::size(kPlaceholderTokens); ++i) {
        if (text == kPlaceholderTokens[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsWordCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The token name ("INSTALLDIR") that `word` is in another letter case, or "".
std::string TokenNamedAlike(const std::string& word) {
    for (const char* token : kPlaceholderTokens) {
        const std::string name(token + 2, std::strlen(token) - 4);
        if (EqualNamesIgnoringCase(word, name.c_str())) {
            return name;
        }
    }
    return "";
}

std::vector<PlaceholderUse> FindPlaceholders(const std::string& value) {
    std::vector<PlaceholderUse> uses;
    size_t at = 0;
    while (at < value.size()) {
        const size_t open = value.find('%', at);
        if (open == std::string::npos) {
            break;
        }
        if (open + 1 < value.size() && value[open + 1] == '%') {
            size_t end = open + 2;
            while (end < value.size() && IsWordCharacter(value[end])) {
                ++end;
            }
            if (end > open + 2 && value.compare(end, 2, "%%") == 0) {
                const std::string text = value.substr(open, end + 2 - open);
                const int token = TokenIndex(text);
                uses.push_back({open, text, token,
                                token >= 0 ? PlaceholderUse::Known : PlaceholderUse::Unknown});
                at = end + 2;
            } else {
                uses.push_back({open, "%%", -1, PlaceholderUse::Lone});
                at = open + 2;
            }
            continue;
        }
        // "%INSTALLDIR%": a placeholder with single percent signs stays text.
        size_t end = open + 1;
        while (end < value.size() && IsWordCharacter(value[end])) {
            ++end;
        }
        if (end < value.size() && value[end] == '%' &&
            (end + 1 >= value.size() || value[end + 1] != '%') &&
            !TokenNamedAlike(value.substr(open + 1, end - open - 1)).empty()) {
            uses.push_back(
                {open, value.substr(open, end + 1 - open), -1, PlaceholderUse::SinglePercent});
            at = end + 1;
        } else {
            at = open + 1;
        }
    }
    return uses;
}

// --- Paths ----------------------------------------------------------------

// A path in a form to compare: placeholders kept (each followed by the
// backslash its value ends in), separators as backslashes, repeated ones
// folded, none at the end, letters in lower case. Marker bytes stand for the
// placeholders, so that a token's own case stays significant.
std::string NormalizePath(const std::string& path) {
    std::string marked;
    for (size_t at = 0; at < path.size();) {
        bool replaced = false;
        for (size_t i = 0; i < std::size(kPlaceholderTokens) && !replaced; ++i) {
            const char* token = kPlaceholderTokens[i];
            if (path.compare(at, std::strlen(token), token) == 0) {
                marked += '\x01';
                marked += static_cast<char>('0' + i);
                marked += '\\';
                at += std::strlen(token);
                replaced = true;
            }
        }
        if (!replaced) {
            const char c = path[at++];
            marked += c == '/' ? '\\' : LowerAscii(c);
        }
    }
    std::string folded;
    for (char c : marked) {
        if (c == '\\' && !folded.empty() && folded.back() == '\\' && folded.size() > 1) {
            continue;
        }
        folded += c;
    }
    while (folded.size() > 1 && folded.back() == '\\') {
        folded.pop_back();
    }
    return folded;
}

int InstallDirTokenIndex() {
    return TokenIndex(kInstallDirToken);
}

// "%%INSTALLDIR%%" alone, normalised.
std::string InstallDirRoot() {
    return NormalizePath(kInstallDirToken);
}

bool IsUnderInstallDir(const std::string& normalized) {
    const std::string root = InstallDirRoot();
    return normalized.compare(0, root.size(), root) == 0;
}

// The folder that holds a normalised path; "" for none.
std::string ParentPath(const std::string& normalized) {
    const size_t slash = normalized.rfind('\\');
    if (slash == std::string::npos) {
        return "";
    }
    return normalized.substr(0, slash);
}

// A placeholder alone: a folder that exists before anything is created.
bool IsPlaceholderRoot(const std::string& normalized) {
    return normalized.size() == 2 && normalized[0] == '\x01';
}

// --- The run --------------------------------------------------------------

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

void Report(CheckRun& run, int line, bool error, const char* name, const std::string& text) {
    run.findings->push_back({run.document.path, line > 0 ? line : 1, error, text, name});
}

void Warn(CheckRun& run, int line, const char* name, const std::string& text) {
    Report(run, line, false, name, text);
}

void Fail(CheckRun& run, int line, const char* name, const std::string& text) {
    Report(run, line, true, name, text);
}

const ScriptEntry* Entry(const ScriptDocument& document, const char* section, const char* key) {
    const ScriptSection* found = FindSection(document, section);
    return found != nullptr ? FindEntry(*found, key) : nullptr;
}

std::string Value(const ScriptEntry* entry) {
    return entry != nullptr ? ProfileValue(*entry) : std::string();
}

bool IsOn(const ScriptEntry* entry) {
    return ParseBool(Value(entry).c_str(), 0) != 0;
}

int LineOf(const ScriptEntry* entry, const ScriptSection* section) {
    if (entry != nullptr) {
        return entry->line;
    }
    return section != nullptr ? section->line : 1;
}

int EstimateLength(const CheckRun& run, const std::string& value, Expansion expansion) {
    int length = static_cast<int>(value.size());
    for (const PlaceholderUse& use : FindPlaceholders(value)) {
        if (use.form != PlaceholderUse::Known) {
            continue;
        }
        const char* token = kPlaceholderTokens[use.token];
        const bool installDir = use.token == InstallDirTokenIndex();
        int assumed = kAssumedLengths[use.token].length;
        if (installDir) {
            assumed = run.assumedInstallDirLength;
        }
        if (expansion == Expansion::InstallDirOnly && !installDir) {
            continue;
        }
        if (expansion == Expansion::AtStartup &&
            (installDir || std::strcmp(token, kUserToken) == 0 ||
             std::strcmp(token, kCompanyToken) == 0)) {
            assumed = 0;
        }
        length += assumed - static_cast<int>(std::strlen(token));
    }
    return length;
}

void CheckPlaceholders(CheckRun& run, const ScriptEntry& entry, const std::string& value,
                       Expansion expansion) {
    for (const PlaceholderUse& use : FindPlaceholders(value)) {
        const bool installDir = use.token == InstallDirTokenIndex();
        const bool userText = use.form == PlaceholderUse::Known &&
                              (std::strcmp(kPlaceholderTokens[use.token], kUserToken) == 0 ||
                               std::strcmp(kPlaceholderTokens[use.token], kCompanyToken) == 0);
        if (expansion == Expansion::None) {
            if (use.form == PlaceholderUse::Known) {
                Warn(run, entry.line, "literal-placeholder",
                     "setup.exe does not expand placeholders in " + Quoted(entry.key) + ": " +
                         use.text + " stays as written");
            }
            continue;
        }
        switch (use.form) {
        case PlaceholderUse::Known:
            if (expansion == Expansion::InstallDirOnly && !installDir) {
                Warn(run, entry.line, "literal-placeholder",
                     "setup.exe replaces only " + std::string(kInstallDirToken) + " in " +
                         Quoted(entry.key) + ": " + use.text + " stays as written");
            } else if (expansion == Expansion::AtStartup && (installDir || userText)) {
                Warn(run, entry.line, "empty-placeholder",
                     Quoted(entry.key) + " is expanded when setup.exe starts, before the " +
                         (installDir ? "destination" : "user information") +
                         " is known: " + use.text + " stands for an empty text");
            } else if (userText && !run.userInfoShown) {
                Warn(run, entry.line, "empty-placeholder",
                     "the user-information page is off (" + std::string(kShowUserInfoKey) +
                         "): " + use.text + " stands for an empty text");
            }
            break;
        case PlaceholderUse::Unknown: {
            const std::string word = use.text.substr(2, use.text.size() - 4);
            const std::string alike = TokenNamedAlike(word);
            Warn(run, entry.line, "unknown-placeholder",
                 use.text + " is no placeholder setup.exe knows" +
                     (alike.empty() ? "" : " (placeholders are upper case: %%" + alike + "%%)") +
                     "; it stays as written");
            break;
        }
        case PlaceholderUse::Lone:
            Warn(run, entry.line, "lone-percent",
                 "a \"%%\" that begins no placeholder stays as written (placeholders are "
                 "%%NAME%% with a known NAME)");
            break;
        case PlaceholderUse::SinglePercent:
            Warn(run, entry.line, "unknown-placeholder",
                 use.text + " has single percent signs: setup.exe does not replace it (write %" +
                     use.text + "%)");
            break;
        }
    }
}

bool IsWholeNumber(const std::string& text) {
    size_t at = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (at == text.size()) {
        return false;
    }
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return false;
        }
    }
    return true;
}

// "true", "yes" and numbers are what setup.exe's reader knows; "false" and
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
    Warn(run, entry.line, name,
         Quoted(value) + " is no " + what + " setup.exe knows" + hint + ": it uses " +
             table.fallbackName);
}

// The checks of one value that need nothing but the value and its kind.
void CheckValue(CheckRun& run, const ScriptEntry& entry, const KeySpec& rule) {
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
        Warn(run, entry.line, "enclosing-quotes", text);
    }
    bool cut = false;
    if (rule.size > 0 && static_cast<int>(value.size()) > rule.size - 1) {
        cut = true;
        if (rule.kind == Kind::Path) {
            Fail(run, entry.line, "path-too-long",
                 Number(value.size()) + " characters: setup.exe reads at most " +
                     Number(rule.size - 1) + " and cuts the rest");
        } else {
            Warn(run, entry.line, "text-too-long",
                 Number(value.size()) + " characters: setup.exe reads at most " +
                     Number(rule.size - 1) + " and cuts the rest");
        }
    }
    CheckPlaceholders(run, entry, value, rule.expansion);
    // destdir is measured with what setup.exe puts behind it (destdir-too-long).
    if (!cut && rule.expansion != Expansion::None && rule.expansion != Expansion::AtStartup &&
        rule.size > 0) {
        const int limit = std::min(rule.size - 1, kLongestPath);
        const int length = EstimateLength(run, value, rule.expansion);
        if (length > limit) {
            Warn(run, entry.line, rule.kind == Kind::Path ? "path-too-long" : "text-too-long",
                 "may be about " + Number(length) +
                     " characters after expansion (with the placeholder lengths in "
                     "tolvanex-build --help): setup.exe cuts it at " +
                     Number(limit));
        }
    }
    switch (rule.kind) {
    case Kind::Boolean:
        if (!value.empty() && !IsPlainBoolean(value)) {
            Warn(run, entry.line, "bad-boolean",
                 Quoted(value) + " is neither true, yes nor a number: setup.exe reads " +
                     (ParseBool(value.c_str(), 0) ? "true" : "false"));
        }
        break;
    case Kind::Root:
        CheckName(run, entry, value, ConstantKind::RegistryRoot, "unknown-root", "registry root");
        break;
    case Kind::ValueType:
        CheckName(run, entry, value, ConstantKind::RegistryValueType, "unknown-value-type",
                  "registry value type");
        break;
    case Kind::ServiceType:
        CheckName(run, entry, value, ConstantKind::ServiceType, "unknown-service-type",
                  "service type");
        break;
    case Kind::StartType:
        CheckName(run, entry, value, ConstantKind::ServiceStartType, "unknown-start-type",
                  "start type");
        break;
    case Kind::ErrorControl:
        CheckName(run, entry, value, ConstantKind::ServiceErrorControl, "unknown-error-control",
                  "error control");
        break;
    default:
        break;
    }
}

// --- Layout: sections and keys setup.exe reads --------------------------------

const SectionSpec* FindSpec(const std::string& name, bool buildScript) {
    for (const SectionSpec& rule : kSections) {
        if (EqualNamesIgnoringCase(name, rule.name) && (!rule.builder || buildScript)) {
            return &rule;
        }
    }
    return nullptr;
}

bool IsKnownKey(const SectionSpec& rule, const std::string& key, bool hasSources) {
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

std::vector<std::string> KnownKeyNames(const SectionSpec& rule, const std::string& key) {
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

void CheckLayout(CheckRun& run, bool hasSources) {
    const bool build = run.options.buildScript;
    std::vector<std::string> sectionNames;
    for (const SectionSpec& rule : kSections) {
        if (!rule.builder || build) {
            sectionNames.push_back(rule.name);
        }
    }
    const char* reader = "setup.exe";
    for (const ScriptSection& section : run.document.sections) {
        if (section.name.empty()) {
            if (!section.entries.empty()) {
                Warn(run, section.entries.front().line, "ignored-key",
                     "a key before the first section header: setup.exe never reads it");
            }
            continue;
        }
        const SectionSpec* rule = FindSpec(section.name, build);
        if (rule == nullptr) {
            Warn(run, section.line, "ignored-section",
                 "setup.exe never reads [" + section.name + "]" +
                     Suggestion(section.name, sectionNames));
            continue;
        }
        reader = rule->builder ? "the builder" : "setup.exe";
        const ScriptSection* first = FindSection(run.document, section.name);
        if (first != &section) {
            Warn(run, section.line, "ignored-section",
                 "[" + section.name + "] again: " + reader + " reads only the first, at line " +
                     Number(first->line));
            continue;
        }
        for (const ScriptEntry& entry : section.entries) {
            if (!entry.hasValue) {
                Warn(run, entry.line, "ignored-key",
                     "a line without \"=\": " + std::string(reader) + " reads no value from it");
            } else if (FindEntry(section, entry.key) != &entry) {
                Warn(run, entry.line, "ignored-key",
                     Quoted(entry.key) + " again: " + reader + " reads only the first, at line " +
                         Number(FindEntry(section, entry.key)->line));
            } else if (!IsKnownKey(*rule, entry.key, hasSources)) {
                std::string text = std::string(reader) + " never reads " + Quoted(entry.key) +
                                   " in [" + section.name + "]";
                if (rule->keys == kBuildKeys && hasSources &&
                    StartsWith(entry.key, kAppEntryPrefix)) {
                    text += ": with [sources] the builder numbers the files itself";
                } else {
                    text += Suggestion(entry.key, KnownKeyNames(*rule, entry.key));
                }
                Warn(run, entry.line, "ignored-key", text);
            }
        }
    }
}

// --- Lists ------------------------------------------------------------------

// One item of a list within its count: its entries by field (one for the
// plain numbered lists).
struct ListItem {
    int index;
    std::vector<const ScriptEntry*> fields;
};

// Reads a list as setup.exe does, reporting its count and missing keys, and
// checks the values of the items it will handle. Returns those items, in
// order.
std::vector<ListItem> CheckList(CheckRun& run, const ScriptDocument& document,
                                const SectionSpec& rule) {
    std::vector<ListItem> items;
    const ScriptSection* section = FindSection(document, rule.name);
    if (section == nullptr) {
        return items;
    }
    const int first = rule.numbering == Numbering::FromOne ? 1 : 0;
    std::map<int, ListItem> listed;
    for (const ScriptEntry& entry : section->entries) {
        int index;
        std::string rest;
        if (!entry.hasValue || FindEntry(*section, entry.key) != &entry ||
            !ParseIndex(entry.key, &index, &rest) || index < first) {
            continue;
        }
        const int field = rule.numbering == Numbering::Items ? FindField(rule, rest)
                          : rest.empty()                     ? 0
                                                             : -1;
        if (field < 0) {
            continue;
        }
        ListItem& item = listed[index];
        item.index = index;
        item.fields.resize(rule.keyCount, nullptr);
        item.fields[static_cast<size_t>(field)] = &entry;
    }
    const ScriptEntry* countEntry = FindEntry(*section, kCountKey);
    const std::string countText = Value(countEntry);
    const char* what = rule.builder ? "the builder" : "setup.exe";
    if (countText.empty()) {
        if (!listed.empty()) {
            Fail(run, LineOf(countEntry, section), "count-missing",
                 "[" + section->name + "] has no count: " + what + " reads 0 and handles none of " +
                     Number(listed.size()) + " items listed");
        }
        return items;
    }
    const int32_t count = static_cast<int32_t>(ParseUnsigned(countText.c_str(), 10));
    if (!IsWholeNumber(countText)) {
        Fail(run, countEntry->line, "bad-count",
             Quoted(countText) + " is not a number: " + what + " reads " +
                 Number(std::max(count, 0)));
    } else if (count < 0) {
        Fail(run, countEntry->line, "bad-count",
             "a negative count: " + std::string(what) + " handles no item");
        return items;
    } else if (countText.size() > 10 ||
               static_cast<uint32_t>(count) > payload_format::kMaxEntries) {
        Fail(run, countEntry->line, "bad-count",
             "a count above the " + Number(payload_format::kMaxEntries) +
                 " entries a payload can hold");
        return items;
    }
    if (count <= 0) {
        if (!listed.empty()) {
            Warn(run, countEntry->line, "count-too-small",
                 "count is " + Number(count) + ": " + what + " ignores all " +
                     Number(listed.size()) + " items listed");
        }
        return items;
    }
    const int end = first + count;
    if (!listed.empty() && listed.rbegin()->first >= end) {
        const auto ignored = listed.lower_bound(end);
        int line = 0;
        for (const ScriptEntry* entry : ignored->second.fields) {
            if (entry != nullptr && (line == 0 || entry->line < line)) {
                line = entry->line;
            }
        }
        Warn(run, countEntry->line, "count-too-small",
             "count is " + Number(count) + ", but items up to " + Number(listed.rbegin()->first) +
                 " are listed: " + what + " ignores those from " + Number(end) + " on (line " +
                 Number(line) + ")");
    }
    int missing = 0;
    int firstMissing = -1;
    for (int index = first; index < end; ++index) {
        auto found = listed.find(index);
        if (found == listed.end()) {
            if (missing++ == 0) {
                firstMissing = index;
            }
            continue;
        }
        items.push_back(found->second);
    }
    if (missing > 0) {
        Fail(run, countEntry->line, "count-too-large",
             "count is " + Number(count) + ", but item " + Number(firstMissing) +
                 (missing > 1 ? " and " + Number(missing - 1) + " more are" : " is") +
                 " not listed: " + what + " handles each with empty values");
    }
    for (const ListItem& item : items) {
        int itemLine = 0;
        for (const ScriptEntry* entry : item.fields) {
            if (entry != nullptr && (itemLine == 0 || entry->line < itemLine)) {
                itemLine = entry->line;
            }
        }
        for (size_t i = 0; i < rule.keyCount; ++i) {
            const KeySpec& key = rule.keys[i];
            const ScriptEntry* entry = item.fields[i];
            if (entry != nullptr) {
                CheckValue(run, *entry, key);
            }
            if (key.need != Need::Optional && Value(entry).empty()) {
                const std::string name = ItemKeyName(key.key, item.index);
                std::string text = "item " + Number(item.index) + " has no " + Quoted(name) + ": " +
                                   what + " uses an empty text";
                if (key.kind == Kind::Root) {
                    text += ", which means " +
                            std::string(GetConstantTable(ConstantKind::RegistryRoot).fallbackName);
                }
                Report(run, entry != nullptr ? entry->line : itemLine, key.need == Need::Error,
                       "missing-key", text);
            }
        }
    }
    return items;
}

std::string FieldValue(const ListItem& item, const KeySpec* keys, const KeySpec& key) {
    return Value(item.fields[static_cast<size_t>(&key - keys)]);
}

int FieldLine(const ListItem& item, const KeySpec* keys, const KeySpec& key) {
    const ScriptEntry* entry = item.fields[static_cast<size_t>(&key - keys)];
    if (entry != nullptr) {
        return entry->line;
    }
    for (const ScriptEntry* other : item.fields) {
        if (other != nullptr) {
            return other->line;
        }
    }
    return 1;
}

// --- What the installation creates -----------------------------------------

struct Target {
    std::string key;
    std::string normalized;
    const ScriptEntry* entry;
};

struct Created {
    std::set<std::string> folders; // normalised, placeholder roots implied
    std::map<std::string, const Target*> files;
};

bool IsCreatedFolder(const Created& created, const std::string& normalized) {
    return IsPlaceholderRoot(normalized) || created.folders.count(normalized) != 0;
}

// A folder list, created one level at a time in order: a folder below
// %%INSTALLDIR%% whose parent is not there yet is never made.
void CheckFolderList(CheckRun& run, const std::vector<ListItem>& items, Created* created) {
    std::map<std::string, int> later;
    for (const ListItem& item : items) {
        const ScriptEntry* entry = item.fields[0];
        if (entry != nullptr) {
            later.emplace(NormalizePath(Value(entry)), entry->line);
        }
    }
    for (const ListItem& item : items) {
        const ScriptEntry* entry = item.fields[0];
        if (entry == nullptr) {
            continue;
        }
        const std::string path = NormalizePath(Value(entry));
        const std::string parent = ParentPath(path);
        if (IsUnderInstallDir(path) && !IsPlaceholderRoot(path) &&
            !IsCreatedFolder(*created, parent)) {
            auto found = later.find(parent);
            if (found != later.end()) {
                Fail(run, entry->line, "folder-order",
                     "listed before its parent (line " + Number(found->second) +
                         "): setup.exe creates one level at a time, so this folder is never "
                         "created");
            } else {
                Fail(run, entry->line, "folder-not-created",
                     "its parent folder is created by nothing: setup.exe creates one level at a "
                     "time, so this folder is never created");
            }
        }
        created->folders.insert(path);
    }
}

bool TargetInstalled(const CheckRun& run, const Created& created, const std::string& path,
                     bool folderToo) {
    if (!run.filesKnown) {
        return true;
    }
    const std::string normalized = NormalizePath(path);
    if (!IsUnderInstallDir(normalized)) {
        return true; // not ours to know
    }
    return created.files.count(normalized) != 0 ||
           (folderToo && IsCreatedFolder(created, normalized));
}

void CheckFiles(CheckRun& run, const std::vector<Target>& targets, Created* created) {
    for (const Target& target : targets) {
        const std::string value = ProfileValue(*target.entry);
        if (value.empty()) {
            continue;
        }
        if (!StartsWith(value, kInstallDirToken)) {
            Warn(run, target.entry->line, "target-outside-installdir",
                 "the target lies outside " + std::string(kInstallDirToken) +
                     ": a file there is replaced and later removed by the uninstaller");
        } else if (!IsCreatedFolder(*created, ParentPath(target.normalized))) {
            Fail(run, target.entry->line, "folder-not-created",
                 "the target's folder is created by nothing ([" + std::string(kFoldersSection) +
                     "] does not list it): setup.exe cannot copy the file (message 140)");
        }
        auto known = created->files.find(target.normalized);
        if (known != created->files.end()) {
            Warn(run, target.entry->line, "duplicate-target",
                 "the same target as " + Quoted(known->second->key) + " (line " +
                     Number(known->second->entry->line) + "): one file replaces the other");
        } else {
            created->files.emplace(target.normalized, &target);
        }
    }
    if (!run.entriesKnown) {
        return;
    }
    const ScriptSection* section = FindSection(run.effective, kFilesSection);
    std::set<std::string> entryKeys;
    for (const std::string& name : run.appEntries) {
        const std::string key = FilesKeyOfEntry(name);
        entryKeys.insert(LowerText(key));
        const ScriptEntry* entry = section != nullptr ? FindEntry(*section, key) : nullptr;
        if (Value(entry).empty()) {
            Fail(run, LineOf(entry, section), "entry-without-target",
                 "the payload entry " + Quoted(name) + " has no target in [" +
                     std::string(kFilesSection) + "] (key " + Quoted(key) +
                     "): setup.exe shows message 140 and installs nothing from it");
        }
    }
    for (const Target& target : targets) {
        if (entryKeys.count(LowerText(target.key)) == 0) {
            Warn(run, target.entry->line, "target-without-entry",
                 "no payload entry " + Quoted(kAppEntryPrefix + target.key) +
                     ": nothing is installed at this target");
        }
    }
}

void CheckShortcuts(CheckRun& run, const std::vector<ListItem>& items, const Created& created) {
    for (const ListItem& item : items) {
        const KeySpec& targetKey = kShellItemKeys[0];
        const std::string target = FieldValue(item, kShellItemKeys, targetKey);
        if (!target.empty() && !TargetInstalled(run, created, target, true)) {
            Warn(run, FieldLine(item, kShellItemKeys, targetKey), "shortcut-target-not-installed",
                 "the shortcut points to " + Quoted(target) +
                     ", which the installation does not install");
        }
        const KeySpec& fileKey = kShellItemKeys[1];
        const std::string shortcut = NormalizePath(FieldValue(item, kShellItemKeys, fileKey));
        if (IsUnderInstallDir(shortcut) && run.filesKnown &&
            !IsCreatedFolder(created, ParentPath(shortcut))) {
            Fail(run, FieldLine(item, kShellItemKeys, fileKey), "folder-not-created",
                 "the shortcut's folder is created by nothing: setup.exe cannot create it");
        }
    }
}

// A registry key path as the registry compares them.
std::string NormalizeKeyPath(const std::string& path) {
    std::string normalized;
    for (char c : path) {
        if (c == '\\' && (normalized.empty() || normalized.back() == '\\')) {
            continue;
        }
        normalized += LowerAscii(c);
    }
    while (!normalized.empty() && normalized.back() == '\\') {
        normalized.pop_back();
    }
    return normalized;
}

void CheckRegistry(CheckRun& run, const std::vector<ListItem>& items) {
    const KeySpec& rootKey = kRegistryKeys[0];
    const KeySpec& pathKey = kRegistryKeys[1];
    const KeySpec& nameKey = kRegistryKeys[2];
    const KeySpec& dataKey = kRegistryKeys[3];
    const KeySpec& typeKey = kRegistryKeys[4];
    std::set<std::pair<uint32_t, std::string>> keys;
    for (const PresentKey& present : kPresentKeys) {
        keys.emplace(static_cast<uint32_t>(present.root), present.path);
    }
    for (const ListItem& item : items) {
        const uint32_t root = RootKeyFromName(FieldValue(item, kRegistryKeys, rootKey).c_str());
        const std::string path = NormalizeKeyPath(FieldValue(item, kRegistryKeys, pathKey));
        const std::string name = FieldValue(item, kRegistryKeys, nameKey);
        if (name.empty()) {
            // Creating a key creates every missing level above it.
            for (size_t at = 0; at != std::string::npos; at = path.find('\\', at + 1)) {
                keys.emplace(root, path.substr(0, at));
            }
            keys.emplace(root, path);
        } else if (keys.count({root, path}) == 0) {
            Warn(run, FieldLine(item, kRegistryKeys, nameKey), "value-without-key",
                 "no earlier key entry creates " +
                     Quoted(std::string(RegistryRootName(static_cast<RegistryRoot>(root))) + "\\" +
                            FieldValue(item, kRegistryKeys, pathKey)) +
                     ": setup.exe writes a value only into a key that exists and passes this one "
                     "over silently");
        }
        const std::string type = FieldValue(item, kRegistryKeys, typeKey);
        uint32_t typeNumber = 0;
        if (FindConstant(ConstantKind::RegistryValueType, type.c_str(), &typeNumber) &&
            typeNumber == 4) {
            const std::string data = FieldValue(item, kRegistryKeys, dataKey);
            const bool negative = !data.empty() && data[0] == '-';
            const std::string digits = negative ? data.substr(1) : data;
            bool sound = false;
            if (StartsWith(digits, "0x") || StartsWith(digits, "0X")) {
                sound = !negative && digits.size() > 2 && digits.size() <= 10 &&
                        digits.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
            } else if (!digits.empty() && digits.size() <= 10 &&
                       digits.find_first_not_of("0123456789") == std::string::npos) {
                const unsigned long long number = std::stoull(digits);
                sound = negative ? number <= 0x80000000ULL : number <= 0xFFFFFFFFULL;
            }
            if (!sound) {
                Fail(run, FieldLine(item, kRegistryKeys, dataKey), "bad-dword",
                     Quoted(data) +
                         " is not a 32-bit decimal or 0x... number: setup.exe "
                         "stores " +
                         Number(ParseUnsigned(data.c_str(), 0)));
            }
        }
    }
}

// The program of a service's command line: the quoted part, or what runs up
// to ".exe" or the first blank.
std::string ServiceProgram(const std::string& binaryPath, bool* quoted) {
    *quoted = !binaryPath.empty() && binaryPath[0] == '"';
    if (*quoted) {
        const size_t close = binaryPath.find('"', 1);
        return binaryPath.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    const size_t exe = LowerText(binaryPath).find(".exe");
    if (exe != std::string::npos) {
        return binaryPath.substr(0, exe + 4);
    }
    return binaryPath.substr(0, binaryPath.find(' '));
}

void CheckServices(CheckRun& run, const std::vector<ListItem>& items, const Created& created,
                   const std::string& destination) {
    const KeySpec& nameKey = kServiceKeys[0];
    const KeySpec& pathKey = kServiceKeys[2];
    std::map<std::string, int> names;
    for (const ListItem& item : items) {
        const std::string name = FieldValue(item, kServiceKeys, nameKey);
        if (!name.empty()) {
            auto known = names.emplace(LowerText(name), FieldLine(item, kServiceKeys, nameKey));
            if (!known.second) {
                Fail(run, FieldLine(item, kServiceKeys, nameKey), "duplicate-service",
                     "a service named " + Quoted(name) + " already at line " +
                         Number(known.first->second) +
                         ": setup.exe fails to create this one (message 142)");
            }
        }
        const std::string binaryPath = FieldValue(item, kServiceKeys, pathKey);
        bool quoted = false;
        const std::string program = ServiceProgram(binaryPath, &quoted);
        if (program.empty()) {
            continue;
        }
        if (!TargetInstalled(run, created, program, false)) {
            Warn(run, FieldLine(item, kServiceKeys, pathKey), "service-binary-not-installed",
                 "the service's program " + Quoted(program) +
                     " is no file the installation installs");
        }
        // Windows tries each blank of an unquoted path as the end of the
        // program's name: "C:\Program.exe" first.
        const bool blankInPlaceholder = StartsWith(program, kProgramFilesToken) ||
                                        StartsWith(program, kProgramsToken) ||
                                        (StartsWith(program, kInstallDirToken) &&
                                         (destination.find(' ') != std::string::npos ||
                                          StartsWith(destination, kProgramFilesToken)));
        if (!quoted && (program.find(' ') != std::string::npos || blankInPlaceholder)) {
            Warn(run, FieldLine(item, kServiceKeys, pathKey), "unquoted-service-path",
                 "the service's program path may hold a blank but is not in quotes: Windows "
                 "then tries the path up to each blank as a program first");
        }
    }
}

void CheckMain(CheckRun& run) {
    const ScriptSection* main = FindSection(run.effective, kMainSection);
    const ScriptEntry* titleEntry = main != nullptr ? FindEntry(*main, kAppTitleKey) : nullptr;
    const std::string title = Value(titleEntry);
    const int titleLine = LineOf(titleEntry, main);
    if (title.empty()) {
        Warn(run, titleLine, "empty-apptitle",
             "no apptitle: setup.exe registers no uninstall entry, and the pages show an empty "
             "title");
    } else {
        if (title.find('\\') != std::string::npos) {
            Warn(run, titleLine, "apptitle-backslash",
                 "the backslash makes the Uninstall registration a nested key, which Windows "
                 "does not list among the installed programs");
        }
        const size_t keyLength = std::strlen(kUninstallRegistrationKey) + title.size();
        if (keyLength > kRegistryKeyPathLimit) {
            Warn(run, titleLine, "apptitle-too-long",
                 "the Uninstall registration's key would be " + Number(keyLength) +
                     " characters long, more than the " + Number(kRegistryKeyPathLimit) +
                     " the registry takes: the installation is not registered (at most " +
                     Number(kRegistryKeyPathLimit - std::strlen(kUninstallRegistrationKey)) +
                     " characters of apptitle)");
        }
    }
    const ScriptEntry* destEntry = main != nullptr ? FindEntry(*main, kDestDirKey) : nullptr;
    const std::string destination = Value(destEntry);
    if (destination.empty()) {
        Warn(run, LineOf(destEntry, main), "empty-destdir",
             "no destdir: the destination page proposes an empty folder");
    } else if (static_cast<int>(destination.size()) <= kLongestPath) {
        // The longest path setup.exe puts directly into the destination.
        size_t longest = std::strlen(kUninstallLogName) + std::strlen(kUninstallLogUpdateSuffix);
        std::vector<std::string> names = run.appEntries;
        const ScriptSection* files = FindSection(run.effective, kFilesSection);
        for (size_t i = 0; names.empty() && files != nullptr && i < files->entries.size(); ++i) {
            names.push_back(kAppEntryPrefix + files->entries[i].key);
        }
        for (const std::string& name : names) {
            longest = std::max(longest, std::strlen(kExtractionFolder) + 1 + name.size());
        }
        const int length = EstimateLength(run, destination, Expansion::AtStartup) + 1;
        if (length + static_cast<int>(longest) > kLongestPath) {
            Warn(run, destEntry->line, "destdir-too-long",
                 "the destination may be about " + Number(length) +
                     " characters after expansion (with the placeholder lengths in "
                     "tolvanex-build --help); with the " +
                     Number(longest) +
                     " characters setup.exe puts behind it that exceeds 259: no uninstall.log, "
                     "files not copied");
        }
    }
    const ScriptEntry* dotNet = main != nullptr ? FindEntry(*main, kDotNetKey) : nullptr;
    if (IsOn(dotNet) && run.payloadKnown &&
        run.supportFiles.count(kDotNetRedistributableFile) == 0) {
        Fail(run, dotNet->line, "dotnet-without-redistributable",
             std::string(kDotNetKey) + " is on, but the payload has no " +
                 kDotNetRedistributableFile +
                 (run.options.buildScript && !run.options.payloadEntries
                      ? " ([" + std::string(kBuildSection) + "] " + kBuildDotNetKey + ")"
                      : std::string()) +
                 ": setup.exe skips the .NET Framework");
    }
}

void CheckPageText(CheckRun& run, const char* key, const char* file, const char* buildKey,
                   const char* name) {
    const ScriptEntry* entry = Entry(run.effective, kDialogsSection, key);
    if (IsOn(entry) && run.payloadKnown && run.supportFiles.count(file) == 0) {
        Fail(run, entry->line, name,
             std::string(key) + " is on, but the payload has no " + file +
                 (run.options.buildScript && !run.options.payloadEntries
                      ? " ([" + std::string(kBuildSection) + "] " + buildKey + ")"
                      : std::string()) +
                 ": the page shows no text");
    }
}

void CheckFinishPage(CheckRun& run, const Created& created, const char* flagKey,
                     const char* pathKey) {
    const ScriptEntry* flag = Entry(run.effective, kDialogsSection, flagKey);
    if (!IsOn(flag)) {
        return;
    }
    const ScriptEntry* path = Entry(run.effective, kDialogsSection, pathKey);
    const std::string value = Value(path);
    if (value.empty()) {
        Warn(run, flag->line, "done-path-not-installed",
             std::string(flagKey) + " is on, but " + pathKey +
                 " is empty: the finish page "
                 "offers nothing to open");
    } else if (!TargetInstalled(run, created, value, false)) {
        Warn(run, path->line, "done-path-not-installed",
             Quoted(value) + " is no file the installation installs");
    }
}

// The payload that setup.exe will find, as far as it is known.
void LearnPayload(CheckRun& run, bool hasSources) {
    if (run.options.payloadEntries != nullptr) {
        run.payloadKnown = run.entriesKnown = true;
        for (const std::string& name : *run.options.payloadEntries) {
            if (IsAppEntry(name)) {
                run.appEntries.push_back(name);
            } else {
                run.supportFiles.insert(name);
            }
        }
        return;
    }
    if (!run.options.buildScript) {
        return;
    }
    run.payloadKnown = true;
    const std::pair<const char*, const char*> kSupportFiles[] = {
        {kBuildLicenseKey, kLicenseFile},
        {kBuildReadmeKey, kReadmeFile},
        {kBuildDotNetKey, kDotNetRedistributableFile},
    };
    for (const auto& [key, file] : kSupportFiles) {
        if (!Value(Entry(run.document, kBuildSection, key)).empty()) {
            run.supportFiles.insert(file);
        }
    }
    if (!hasSources) {
        run.entriesKnown = true;
        const ScriptSection* build = FindSection(run.document, kBuildSection);
        for (size_t i = 0; build != nullptr && i < build->entries.size(); ++i) {
            const ScriptEntry& entry = build->entries[i];
            if (entry.hasValue && StartsWith(entry.key, kAppEntryPrefix) &&
                FindEntry(*build, entry.key) == &entry) {
                run.appEntries.push_back(entry.key);
            }
        }
    } else if (run.options.generated != nullptr) {
        const ScriptSection* files = FindSection(*run.options.generated, kFilesSection);
        for (size_t i = 0; files != nullptr && i < files->entries.size(); ++i) {
            if (!EqualNamesIgnoringCase(files->entries[i].key, kCountKey)) {
                run.appEntries.push_back(kAppEntryPrefix + files->entries[i].key);
            }
        }
    }
}

const SectionSpec& SectionRules(const char* name) {
    for (const SectionSpec& rule : kSections) {
        if (std::strcmp(rule.name, name) == 0) {
            return rule;
        }
    }
    return kSections[0];
}

bool FindingBefore(const Finding& a, const Finding& b) {
    return a.line < b.line;
}

} // namespace

void CheckScript(const ScriptDocument& document, const CheckOptions& options,
                 std::vector<Finding>* findings) {
    const bool hasSources =
        options.buildScript && FindSection(document, kSourcesSection) != nullptr;
    const ScriptDocument& effective =
        options.buildScript && options.generated != nullptr ? *options.generated : document;
    std::vector<Finding> found;
    CheckRun run{document, effective, options, &found, true, false, false, {}, {}, 0, false};
    run.filesKnown = !hasSources || options.generated != nullptr;
    run.userInfoShown = IsOn(Entry(effective, kDialogsSection, kShowUserInfoKey));
    LearnPayload(run, hasSources);

    const std::string destination = Value(Entry(effective, kMainSection, kDestDirKey));
    run.assumedInstallDirLength = kAssumedLengths[InstallDirTokenIndex()].length;
    if (!destination.empty()) {
        run.assumedInstallDirLength = EstimateLength(run, destination, Expansion::AtStartup) + 1;
    }

    CheckLayout(run, hasSources);
    if (hasSources) {
        const ScriptSection* files = FindSection(document, kFilesSection);
        if (files != nullptr) {
            Fail(run, files->line, "files-beside-sources",
                 "a [" + std::string(kFilesSection) + "] section beside [" + kSourcesSection +
                     "]: the builder numbers the files from [" + kSourcesSection + "]; leave [" +
                     kFilesSection + "] out");
        }
        CheckList(run, document, SectionRules(kSourcesSection));
    }
    const ScriptSection* build =
        options.buildScript ? FindSection(document, kBuildSection) : nullptr;
    for (size_t i = 0; build != nullptr && i < build->entries.size(); ++i) {
        if (StartsWith(build->entries[i].key, kAppEntryPrefix)) {
            continue;
        }
        const SectionSpec& rule = SectionRules(kBuildSection);
        for (size_t k = 0; k < rule.keyCount; ++k) {
            if (EqualNamesIgnoringCase(build->entries[i].key, rule.keys[k].key) &&
                FindEntry(*build, rule.keys[k].key) == &build->entries[i]) {
                CheckValue(run, build->entries[i], rule.keys[k]);
            }
        }
    }

    for (const char* name : {kMainSection, kDialogsSection}) {
        const SectionSpec& rule = SectionRules(name);
        const ScriptSection* section = FindSection(effective, name);
        for (size_t k = 0; section != nullptr && k < rule.keyCount; ++k) {
            const ScriptEntry* entry = FindEntry(*section, rule.keys[k].key);
            if (entry != nullptr && entry->hasValue) {
                CheckValue(run, *entry, rule.keys[k]);
            }
        }
    }
    CheckMain(run);
    CheckPageText(run, kShowLicenseKey, kLicenseFile, kBuildLicenseKey, "missing-license");
    CheckPageText(run, kShowReadmeKey, kReadmeFile, kBuildReadmeKey, "missing-readme");

    Created created;
    const std::vector<ListItem> folders = CheckList(run, effective, SectionRules(kFoldersSection));
    if (run.filesKnown) {
        CheckFolderList(run, folders, &created);
    }
    std::vector<Target> targets;
    const ScriptSection* files = FindSection(effective, kFilesSection);
    for (size_t i = 0; run.filesKnown && files != nullptr && i < files->entries.size(); ++i) {
        const ScriptEntry& entry = files->entries[i];
        if (entry.hasValue && !EqualNamesIgnoringCase(entry.key, kCountKey) &&
            FindEntry(*files, entry.key) == &entry) {
            CheckValue(run, entry, kFolderItem[0]);
            targets.push_back({entry.key, NormalizePath(ProfileValue(entry)), &entry});
        }
    }
    if (run.filesKnown) {
        CheckFiles(run, targets, &created);
    }
    CheckFinishPage(run, created, kDoneShowReadmeKey, kDoneShowReadmePathKey);
    CheckFinishPage(run, created, kDoneShowLaunchKey, kDoneShowLaunchPathKey);

    const std::vector<ListItem> shellFolders =
        CheckList(run, effective, SectionRules(kShellFoldersSection));
    if (run.filesKnown) {
        CheckFolderList(run, shellFolders, &created);
    }
    CheckShortcuts(run, CheckList(run, effective, SectionRules(kShellItemsSection)), created);
    CheckRegistry(run, CheckList(run, effective, SectionRules(kRegistrySection)));
    CheckServices(run, CheckList(run, effective, SectionRules(kServiceSection)), created,
                  destination);

    std::stable_sort(found.begin(), found.end(), FindingBefore);
    findings->insert(findings->end(), found.begin(), found.end());
}

std::string FormatFinding(const Finding& finding) {
    return finding.file + ":" + std::to_string(finding.line) +
           (finding.error ? ": error: " : ": warning: ") + finding.text + " [" + finding.name + "]";
}

bool HasErrors(const std::vector<Finding>& findings, bool warningsAsErrors) {
    for (const Finding& finding : findings) {
        if (finding.error || warningsAsErrors) {
            return true;
        }
    }
    return false;
}

std::string DescribeAssumedPlaceholderLengths() {
    std::string text;
    for (const AssumedLength& assumed : kAssumedLengths) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-18s %3d  %s\n", assumed.token, assumed.length,
                      assumed.example);
        text += line;
    }
    return text;
}
