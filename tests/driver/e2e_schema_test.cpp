// setup.exe /quiet on a script that sets every key the installation reads
// to a marker of its own, each marker then looked for where the installation
// puts it. A key of the script's table that no observation here names fails
// the test: whoever adds one says where setup.exe shows that it read it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e_harness.h"
#include "script/setup_script.h"
#include "script/setup_script_schema.h"
#include "script/uninstall_log_format.h"

namespace {

const char kTitle[] = "M_main_apptitle";
const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\M_main_apptitle";
const char kRegistryKey[] = "Software\\M_reg_0_key";
const char kService[] = "M_svc_0_name";
constexpr DWORD kNoValue = 0xFFFFFFFF;

std::string Text(const std::string& data) {
    return data.substr(0, data.find('\0'));
}

// What an observation reports: the marker when it was seen, else a text no
// marker equals.
std::string Seen(bool seen, const std::string& marker) {
    return seen ? marker : "(not seen) " + marker;
}

std::string WithoutTrailingBackslash(std::string path) {
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

class SchemaInstallation : public testing::Test {
protected:
    // One key of the script, what it is set to, and what the system shows of
    // it after the installation (equal to `value` when it was read).
    struct Observation {
        const char* section;
        const char* key;
        std::string value;
        std::function<std::string()> observe;
    };

    void SetUp() override {
        work = FreshWorkDirectory("schema");
        temp = work + "\\temp";
        CreateDirectoryA(temp.c_str(), nullptr);
        record = work + "\\dotnet.txt";
        Clean();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override {
        Clean();
        RemoveTree(work);
    }
    void Clean() {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteRegistryTree(HKEY_CURRENT_USER, kRegistryKey);
        DeleteServiceIfPresent(kService);
    }

    std::string Registration(const char* name) const {
        DWORD type = 0;
        std::string data;
        return ReadRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, name, &type, &data) ? Text(data)
                                                                                        : "";
    }
    ShortcutSettings Shortcut() const {
        ShortcutSettings shortcut;
        LoadShortcut(shortcutPath, &shortcut);
        return shortcut;
    }
    ServiceSettings Service() const {
        ServiceSettings service{};
        ReadServiceSettings(kService, &service);
        return service;
    }
    // The marker value's type and data; kNoValue when it is not there.
    DWORD ValueType() const {
        DWORD type = 0;
        std::string data;
        return ReadRegistryValue(HKEY_CURRENT_USER, kRegistryKey, "M_reg_0_value", &type, &data)
                   ? type
                   : kNoValue;
    }
    std::string ValueData() const {
        DWORD type = 0;
        std::string data;
        ReadRegistryValue(HKEY_CURRENT_USER, kRegistryKey, "M_reg_0_value", &type, &data);
        return Text(data);
    }

    std::vector<Observation> Observations() {
        const std::string destination = work + "\\M_main_destdir";
        const std::string file = work + "\\M_files_1.txt";
        const std::string shellFolder = work + "\\M_shell_folders_0";
        shortcutPath = shellFolder + "\\M_shell_items_0_lnk.lnk";
        const std::string folder = work + "\\M_folders_1";
        const std::string serviceProgram = work + "\\M_svc_0_binpath.exe";
        return {
            {kMainSection, kAppTitleKey, kTitle, [=] { return Registration("DisplayName"); }},
            {kMainSection, kVersionKey, "M_main_version",
             [=] { return Registration("DisplayVersion"); }},
            {kMainSection, kPublisherKey, "M_main_publisher",
             [=] { return Registration("Publisher"); }},
            {kMainSection, kUrlKey, "M_main_url", [=] { return Registration("URLInfoAbout"); }},
            {kMainSection, kDestDirKey, destination,
             [=] { return WithoutTrailingBackslash(Registration("InstallLocation")); }},
            {kMainSection, kDotNetKey, "yes", [=] { return Seen(PathExists(record), "yes"); }},
            {kFoldersSection, kPlainItemKey, folder,
             [=] { return Seen(PathExists(folder), folder); }},
            {kFilesSection, kPlainItemKey, file, [=] { return Seen(PathExists(file), file); }},
            {kShellFoldersSection, kPlainItemKey, shellFolder,
             [=] { return Seen(PathExists(shellFolder), shellFolder); }},
            {kShellItemsSection, kShortcutTargetKey, file, [=] { return Shortcut().target; }},
            {kShellItemsSection, kShortcutFileKey, shortcutPath,
             [=] { return Seen(PathExists(shortcutPath), shortcutPath); }},
            {kShellItemsSection, kShortcutDescriptionKey, "M_shell_items_0_desc",
             [=] { return Shortcut().description; }},
            {kShellItemsSection, kShortcutWorkingDirectoryKey, folder,
             [=] { return Shortcut().workingDirectory; }},
            {kShellItemsSection, kShortcutArgumentsKey, "M_shell_items_0_args",
             [=] { return Shortcut().arguments; }},
            // A value is written only into a key that exists (SetUp makes it),
            // and found only where root and key said.
            {kRegistrySection, kRegistryRootKey, "HKEY_CURRENT_USER",
             [=] { return Seen(ValueType() != kNoValue, "HKEY_CURRENT_USER"); }},
            {kRegistrySection, kRegistryKeyPathKey, kRegistryKey,
             [=] { return Seen(ValueType() != kNoValue, kRegistryKey); }},
            {kRegistrySection, kRegistryValueNameKey, "M_reg_0_value",
             [=] { return Seen(ValueType() != kNoValue, "M_reg_0_value"); }},
            {kRegistrySection, kRegistryDataKey, "M_reg_0_std", [=] { return ValueData(); }},
            {kRegistrySection, kRegistryTypeKey, "REG_EXPAND_SZ",
             [=] { return Seen(ValueType() == REG_EXPAND_SZ, "REG_EXPAND_SZ"); }},
            {kServiceSection, kServiceNameKey, kService,
             [=] { return Seen(!Service().binaryPath.empty(), kService); }},
            {kServiceSection, kServiceDisplayNameKey, "M_svc_0_displayname",
             [=] { return Service().displayName; }},
            {kServiceSection, kServiceBinaryPathKey, serviceProgram,
             [=] { return Service().binaryPath; }},
            {kServiceSection, kServiceTypeKey, "WIN32_SHARE_PROCESS",
             [=] {
                 return Seen(Service().type == SERVICE_WIN32_SHARE_PROCESS, "WIN32_SHARE_PROCESS");
             }},
            {kServiceSection, kServiceStartTypeKey, "DISABLED",
             [=] { return Seen(Service().startType == SERVICE_DISABLED, "DISABLED"); }},
            {kServiceSection, kServiceErrorControlKey, "ERROR_SEVERE",
             [=] { return Seen(Service().errorControl == SERVICE_ERROR_SEVERE, "ERROR_SEVERE"); }},
        };
    }

    std::string work;
    std::string temp;
    std::string record;
    std::string shortcutPath;
};

// The key as the script writes it for the list's first item.
std::string ScriptKey(const SetupSection& section, const char* key) {
    switch (section.numbering) {
    case Numbering::FromOne:
    case Numbering::AnyKey:
        return "1";
    case Numbering::FromZero:
    case Numbering::Items: {
        char text[kListKeySize];
        FormatListKey(key, 0, text);
        return text;
    }
    default:
        return key;
    }
}

std::string CountLine(const SetupSection& section) {
    const bool counted =
        section.numbering != Numbering::None && section.numbering != Numbering::AnyKey;
    return counted ? std::string(kCountKey) + "=1\r\n" : "";
}

TEST_F(SchemaInstallation, EveryKeyTheInstallationReadsShowsOnTheSystem) {
    const std::vector<Observation> observations = Observations();
    std::string script;
    for (const SetupSection& section : kSetupSections) {
        // The pages' switches and the finish page's paths belong to the
        // wizard; the settings test holds them.
        if (std::string(section.name) == kDialogsSection) {
            continue;
        }
        script += std::string("[") + section.name + "]\r\n" + CountLine(section);
        for (size_t i = 0; i < section.keyCount; ++i) {
            const SetupKey& row = section.keys[i];
            const Observation* found = nullptr;
            for (const Observation& o : observations) {
                if (std::string(o.section) == section.name && std::string(o.key) == row.key) {
                    found = &o;
                }
            }
            ASSERT_NE(found, nullptr) << "no observation of [" << section.name << "] " << row.key;
            script += ScriptKey(section, row.key) + "=" + found->value + "\r\n";
        }
    }
    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back({"setup.ini", script, ""});
    entries.push_back({"file_1", "M_files_content", ""});
    entries.push_back({kUninstallerFile, "uninstaller stand-in", ""}); // for the registration
    entries.push_back({"dotnetfx.exe", "", TOLVANEX_DOTNET_STANDIN});
    const std::string setup = work + "\\setup.exe";
    ASSERT_TRUE(BuildSetup(setup, entries));

    const std::string log = work + "\\setup.log";
    RobotRun run = RunRobot("start ${SETUP} /quiet " + RobotWord("/log=" + log) + "\nwait-exit 0\n",
                            setup, temp, {"TOLVANEX_DOTNET_RECORD=" + record});
    std::string logText;
    ReadWholeFile(log, &logText);
    ASSERT_EQ(run.exitCode, 0) << run.transcript << script << logText;
    for (const Observation& o : observations) {
        EXPECT_EQ(o.observe(), o.value) << "[" << o.section << "] " << o.key;
    }
}

} // namespace
