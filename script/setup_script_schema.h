// Every section and key setup.exe reads from its setup.ini, in one table:
// the name, what kind of value it holds, the buffer setup.exe reads it into,
// whether its placeholders are expanded, its default and what it is for. The
// install engine takes its sizes and expansion from here at compile time (so
// the table's texts never reach setup.exe); inspect, the builder's checks and
// the reference for publishers read the table itself.
#pragma once

#include <cstddef>
#include <iterator>

#include "script/constant_names.h"

constexpr int kPathSize = 260; // MAX_PATH, terminator included
constexpr int kTextSize = 255;
constexpr int kListKeySize = 64;
constexpr int kRegistryNameSize = 100;  // "%s_hkey" and "%s_type" of [reg]
constexpr int kServiceNameSize = 256;   // "%s_name" and "%s_displayname"
constexpr int kServiceSettingSize = 50; // "%s_type", "%s_starttype", "%s_errortype"

// Every list section counts its items with this key (not read for [files]).
inline constexpr char kCountKey[] = "count";

inline constexpr char kMainSection[] = "main";
inline constexpr char kAppTitleKey[] = "apptitle";
inline constexpr char kVersionKey[] = "version";
inline constexpr char kPublisherKey[] = "publisher";
inline constexpr char kUrlKey[] = "url";
inline constexpr char kDestDirKey[] = "destdir";
inline constexpr char kDotNetKey[] = "dotnet";

inline constexpr char kDialogsSection[] = "dialogs";
inline constexpr char kShowLicenseKey[] = "show_license";
inline constexpr char kShowReadmeKey[] = "show_readme";
inline constexpr char kShowUserInfoKey[] = "show_userinfo";
inline constexpr char kDoneShowReadmeKey[] = "done_show_readme";
inline constexpr char kDoneShowReadmePathKey[] = "done_show_readme_path";
inline constexpr char kDoneShowLaunchKey[] = "done_show_launch";
inline constexpr char kDoneShowLaunchPathKey[] = "done_show_launch_path";

// The one field of the plain lists: the item's number is its key.
inline constexpr char kPlainItemKey[] = "%s";
// Keys "1" to count, each a directory path.
inline constexpr char kFoldersSection[] = "folders";
// Keys named after the application entries, each a full target path.
inline constexpr char kFilesSection[] = "files";
// Keys "0" to count - 1, each a directory path.
inline constexpr char kShellFoldersSection[] = "shell_folders";

inline constexpr char kShellItemsSection[] = "shell_items";
inline constexpr char kShortcutTargetKey[] = "%s_dest";
inline constexpr char kShortcutFileKey[] = "%s_lnk";
inline constexpr char kShortcutDescriptionKey[] = "%s_desc";
inline constexpr char kShortcutWorkingDirectoryKey[] = "%s_work";
inline constexpr char kShortcutArgumentsKey[] = "%s_args";

inline constexpr char kRegistrySection[] = "reg";
inline constexpr char kRegistryRootKey[] = "%s_hkey";
inline constexpr char kRegistryKeyPathKey[] = "%s_key";
inline constexpr char kRegistryValueNameKey[] = "%s_value";
inline constexpr char kRegistryDataKey[] = "%s_std";
inline constexpr char kRegistryTypeKey[] = "%s_type";

inline constexpr char kServiceSection[] = "svc";
inline constexpr char kServiceNameKey[] = "%s_name";
inline constexpr char kServiceDisplayNameKey[] = "%s_displayname";
inline constexpr char kServiceBinaryPathKey[] = "%s_binpath";
inline constexpr char kServiceTypeKey[] = "%s_type";
inline constexpr char kServiceStartTypeKey[] = "%s_starttype";
inline constexpr char kServiceErrorControlKey[] = "%s_errortype";

enum class ValueKind {
    Text,
    Path,
    Boolean,  // "true", "yes" or a number other than 0
    Number,   // decimal
    Constant, // a name of one of the constant tables (constant_names.h)
};

enum class Expansion {
    None,
    Full,
    InstallDirOnly, // only %%INSTALLDIR%%, when the finish page opens the path
    AtStartup,      // before the destination and the user are known
};

// What an empty value of a list item means to the installation.
enum class Need {
    Optional,
    Warn,  // setup.exe goes on with a default that is rarely meant
    Error, // the item does nothing sensible without it
};

enum class Numbering {
    None,     // named keys
    FromOne,  // "1" to count
    FromZero, // "0" to count - 1
    Items,    // "%s_..." fields of the items 0 to count - 1
    AnyKey,   // [files]: keys named after the payload's entries
};

struct SetupKey {
    const char* key; // a name, or a "%s..." format for the items of a list
    ValueKind kind;
    ConstantKind constant; // for ValueKind::Constant
    int size;              // setup.exe's buffer, terminator included; 0 for none
    Expansion expansion;
    Need need;
    const char* fallback; // what an absent or empty value means
    const char* purpose;
};

struct SetupSection {
    const char* name;
    Numbering numbering;
    const SetupKey* keys;
    size_t keyCount;
    const char* purpose;
};

// The constant kind rows use when they are no constant.
constexpr ConstantKind kNoConstant = ConstantKind::RegistryRoot;

inline constexpr SetupKey kMainKeys[] = {
    {kAppTitleKey, ValueKind::Text, kNoConstant, kTextSize, Expansion::None, Need::Optional, "",
     "the product's name: page titles and the uninstall registration's key"},
    {kVersionKey, ValueKind::Text, kNoConstant, kTextSize, Expansion::None, Need::Optional, "",
     "the version shown on the pages and registered for the uninstaller"},
    {kPublisherKey, ValueKind::Text, kNoConstant, kTextSize, Expansion::None, Need::Optional, "",
     "the publisher registered for the uninstaller"},
    {kUrlKey, ValueKind::Text, kNoConstant, kTextSize, Expansion::None, Need::Optional, "",
     "the publisher's web address registered for the uninstaller"},
    {kDestDirKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::AtStartup, Need::Optional, "",
     "the folder the destination page proposes"},
    {kDotNetKey, ValueKind::Boolean, kNoConstant, 0, Expansion::None, Need::Optional, "no",
     "run the payload's dotnetfx.exe when the .NET Framework is missing"},
};
inline constexpr SetupKey kDialogKeys[] = {
    {kShowLicenseKey, ValueKind::Boolean, kNoConstant, 0, Expansion::None, Need::Optional, "no",
     "show the license page (license.rtf)"},
    {kShowReadmeKey, ValueKind::Boolean, kNoConstant, 0, Expansion::None, Need::Optional, "no",
     "show the readme page (readme.rtf)"},
    {kShowUserInfoKey, ValueKind::Boolean, kNoConstant, 0, Expansion::None, Need::Optional, "no",
     "show the user-information page (%%USER%%, %%COMPANY%%)"},
    {kDoneShowReadmeKey, ValueKind::Boolean, kNoConstant, 0, Expansion::None, Need::Optional, "no",
     "the finish page offers to open a file"},
    {kDoneShowReadmePathKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::InstallDirOnly,
     Need::Optional, "", "the file the finish page offers to open"},
    {kDoneShowLaunchKey, ValueKind::Boolean, kNoConstant, 0, Expansion::None, Need::Optional, "no",
     "the finish page offers to start a program"},
    {kDoneShowLaunchPathKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::InstallDirOnly,
     Need::Optional, "", "the program the finish page offers to start"},
};
inline constexpr SetupKey kFolderItemKeys[] = {
    {kPlainItemKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Optional, "",
     "a folder, created when missing and removed by the uninstaller when empty"},
};
inline constexpr SetupKey kFileItemKeys[] = {
    {kPlainItemKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Optional, "",
     "the full target path of the payload entry \"file_KEY\""},
};
inline constexpr SetupKey kShellFolderItemKeys[] = {
    {kPlainItemKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Optional, "",
     "a folder for shortcuts, such as one below %%PROGRAMS%%"},
};
inline constexpr SetupKey kShellItemKeys[] = {
    {kShortcutTargetKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Error, "",
     "what the shortcut opens"},
    {kShortcutFileKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Error, "",
     "the shortcut file (.lnk) itself"},
    {kShortcutDescriptionKey, ValueKind::Text, kNoConstant, kTextSize, Expansion::Full,
     Need::Optional, "", "the shortcut's tooltip"},
    {kShortcutWorkingDirectoryKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full,
     Need::Optional, "", "the folder the program starts in"},
    {kShortcutArgumentsKey, ValueKind::Text, kNoConstant, kPathSize, Expansion::Full,
     Need::Optional, "", "the program's arguments"},
};
inline constexpr SetupKey kRegistryItemKeys[] = {
    {kRegistryRootKey, ValueKind::Constant, ConstantKind::RegistryRoot, kRegistryNameSize,
     Expansion::None, Need::Warn, "HKEY_LOCAL_MACHINE", "the root key"},
    {kRegistryKeyPathKey, ValueKind::Text, kNoConstant, kPathSize, Expansion::None, Need::Error, "",
     "the key's path below its root"},
    {kRegistryValueNameKey, ValueKind::Text, kNoConstant, kPathSize, Expansion::None,
     Need::Optional, "",
     "the value's name; empty: the item creates the key (and sets its default value)"},
    {kRegistryDataKey, ValueKind::Text, kNoConstant, kPathSize, Expansion::Full, Need::Optional, "",
     "the value's data"},
    {kRegistryTypeKey, ValueKind::Constant, ConstantKind::RegistryValueType, kRegistryNameSize,
     Expansion::None, Need::Optional, "REG_SZ", "the value's type"},
};
inline constexpr SetupKey kServiceItemKeys[] = {
    {kServiceNameKey, ValueKind::Text, kNoConstant, kServiceNameSize, Expansion::None, Need::Error,
     "", "the service's name"},
    {kServiceDisplayNameKey, ValueKind::Text, kNoConstant, kServiceNameSize, Expansion::None,
     Need::Optional, "", "the name the services list shows"},
    {kServiceBinaryPathKey, ValueKind::Path, kNoConstant, kPathSize, Expansion::Full, Need::Error,
     "", "the service's command line: its program and arguments"},
    {kServiceTypeKey, ValueKind::Constant, ConstantKind::ServiceType, kServiceSettingSize,
     Expansion::None, Need::Optional, "WIN32_OWN_PROCESS", "the service's type"},
    {kServiceStartTypeKey, ValueKind::Constant, ConstantKind::ServiceStartType, kServiceSettingSize,
     Expansion::None, Need::Optional, "DEMAND_START", "when the service starts"},
    {kServiceErrorControlKey, ValueKind::Constant, ConstantKind::ServiceErrorControl,
     kServiceSettingSize, Expansion::None, Need::Optional, "ERROR_NORMAL",
     "what a failing start means to Windows"},
};

inline constexpr SetupSection kSetupSections[] = {
    {kMainSection, Numbering::None, kMainKeys, std::size(kMainKeys),
     "the product and its destination"},
    {kDialogsSection, Numbering::None, kDialogKeys, std::size(kDialogKeys),
     "the optional pages and what the finish page offers"},
    {kFoldersSection, Numbering::FromOne, kFolderItemKeys, std::size(kFolderItemKeys),
     "folders created in order, one level at a time, before the files are copied"},
    {kFilesSection, Numbering::AnyKey, kFileItemKeys, std::size(kFileItemKeys),
     "where each application file of the payload goes"},
    {kShellFoldersSection, Numbering::FromZero, kShellFolderItemKeys,
     std::size(kShellFolderItemKeys), "folders for shortcuts"},
    {kShellItemsSection, Numbering::Items, kShellItemKeys, std::size(kShellItemKeys), "shortcuts"},
    {kRegistrySection, Numbering::Items, kRegistryItemKeys, std::size(kRegistryItemKeys),
     "registry keys and values"},
    {kServiceSection, Numbering::Items, kServiceItemKeys, std::size(kServiceItemKeys),
     "services, created with the service manager"},
};

constexpr bool SameSchemaName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The section's row; null for a section setup.exe does not read. Names are
// the table's own, compared exactly.
constexpr const SetupSection* FindSetupSection(const char* section) {
    for (const SetupSection& row : kSetupSections) {
        if (SameSchemaName(row.name, section)) {
            return &row;
        }
    }
    return nullptr;
}

// The key's row in its section; null for none.
constexpr const SetupKey* FindSetupKey(const SetupSection& section, const char* key) {
    for (size_t i = 0; i < section.keyCount; ++i) {
        if (SameSchemaName(section.keys[i].key, key)) {
            return &section.keys[i];
        }
    }
    return nullptr;
}

constexpr const SetupKey* FindSetupKey(const char* section, const char* key) {
    const SetupSection* row = FindSetupSection(section);
    return row != nullptr ? FindSetupKey(*row, key) : nullptr;
}

// The row's place among its section's fields, for reaching an item's field by
// its name; -1 for none.
constexpr int SetupFieldIndex(const SetupSection& section, const char* key) {
    const SetupKey* row = FindSetupKey(section, key);
    return row != nullptr ? static_cast<int>(row - section.keys) : -1;
}

// The numbers the engine needs of a row, for use in constant expressions:
// the table itself then stays out of the programs that only read values.
struct SetupKeyRule {
    int size;
    bool expanded;
    int fallbackFlag; // a boolean's default as 0 or 1
};

void SetupKeyMissingFromTable(); // never defined

constexpr SetupKeyRule SetupRuleOf(const char* section, const char* key) {
    const SetupKey* row = FindSetupKey(section, key);
    if (row == nullptr) {
        // Not constant: a name missing from the table stops the build where
        // the engine uses it.
        SetupKeyMissingFromTable();
        return {};
    }
    return {row->size, row->expansion != Expansion::None,
            SameSchemaName(row->fallback, "yes") ? 1 : 0};
}

// "text", "path", "boolean", "number" or "constant" for readers of the table.
const char* ValueKindName(ValueKind kind);
// "registry root", "value type" and so on: what the names of a table are.
const char* ConstantTableName(ConstantKind kind);
// "no", "yes", "%%INSTALLDIR%% only", "at start-up".
const char* ExpansionName(Expansion expansion);
