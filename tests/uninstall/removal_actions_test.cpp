// The platform's removal on the real file system, registry and service
// manager (under Wine in the test run).
#include "uninstall/removal_actions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "windows_test_support.h"

namespace {

const char kTestKey[] = "Software\\Tolvanex Uninstall Test";
const char kRegistrationKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvanex Uninstall Test";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kServiceName[] = "TolvanexUninstallTestService";

class RemovalActionsTest : public testing::Test {
protected:
    void SetUp() override {
        folder = MakeScratchFolder("Tolvanex Uninstall Test");
        environment = {folder + "uninstall.exe", FindProtectedFolders(), nullptr};
        environment.systemTrees = FindSystemTrees();
        RemoveKeyTree(HKEY_CURRENT_USER, kTestKey);
    }
    void TearDown() override {
        RemoveScratchFolder(folder);
        RemoveKeyTree(HKEY_CURRENT_USER, kTestKey);
        RemoveKeyTree(HKEY_LOCAL_MACHINE, kRegistrationKey);
    }

    RemovalOutcome Remove(RemovalKind kind, const std::string& target,
                          RegistryRoot root = RegistryRoot::CurrentUser,
                          const std::string& valueName = "") {
        RemovalStep step{kind, target, root, valueName, false};
        return PerformRemoval(step, &environment).outcome;
    }

    std::string folder;
    RemovalEnvironment environment;
};

TEST_F(RemovalActionsTest, RemovesFilesAndPassesOverMissingOnes) {
    std::string file = folder + "a.txt";
    WriteTextFile(file, "a");
    EXPECT_EQ(Remove(RemovalKind::File, file), RemovalOutcome::Removed);
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(Remove(RemovalKind::File, file), RemovalOutcome::Removed);
    EXPECT_EQ(Remove(RemovalKind::Shortcut, folder + "missing\\x.lnk"), RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, RemovesAReadOnlyFile) {
    std::string file = folder + "read-only.txt";
    WriteTextFile(file, "a");
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Remove(RemovalKind::File, file), RemovalOutcome::Removed);
    EXPECT_FALSE(Exists(file));
}

TEST_F(RemovalActionsTest, KeepsAFileInUseAndSaysSo) {
    std::string file = folder + "in use.dll";
    WriteTextFile(file, "a");
    HANDLE open = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Remove(RemovalKind::File, file), RemovalOutcome::InUse);
    EXPECT_TRUE(Exists(file));
    CloseHandle(open);
    EXPECT_EQ(Remove(RemovalKind::File, file), RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, RemovesFoldersOnlyWhenEmpty) {
    std::string data = folder + "Daten";
    CreateDirectoryA(data.c_str(), nullptr);
    WriteTextFile(data + "\\user.txt", "mine");
    EXPECT_EQ(Remove(RemovalKind::Folder, data), RemovalOutcome::NotEmpty);
    EXPECT_TRUE(Exists(data + "\\user.txt"));
    DeleteFileA((data + "\\user.txt").c_str());
    EXPECT_EQ(Remove(RemovalKind::ShellFolder, data + "\\"), RemovalOutcome::Removed);
    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(Remove(RemovalKind::Folder, data), RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, RefusesASystemFolderUnderItsShortName) {
    char shortName[MAX_PATH] = {};
    std::string programFiles = folder.substr(0, folder.find_last_of('\\', folder.size() - 2));
    ASSERT_GT(GetShortPathNameA(programFiles.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_EQ(CheckRemovablePath(shortName, {}), PathVerdict::Removable) << shortName;
    EXPECT_EQ(Remove(RemovalKind::Folder, shortName), RemovalOutcome::Refused) << shortName;
    EXPECT_TRUE(Exists(programFiles));
}

TEST_F(RemovalActionsTest, ProtectsTheSystemsOwnFolders) {
    char path[MAX_PATH];
    std::vector<std::string> expected;
    expected.emplace_back(path, GetWindowsDirectoryA(path, MAX_PATH));
    expected.emplace_back(path, GetSystemDirectoryA(path, MAX_PATH));
    expected.push_back(folder.substr(0, folder.find_last_of('\\', folder.size() - 2)));
    for (const std::string& system : expected) {
        EXPECT_EQ(CheckRemovablePath(system, environment.protectedFolders), PathVerdict::Protected)
            << system;
    }
}

TEST_F(RemovalActionsTest, RemovesRegistryValuesAndBareKeys) {
    std::string key = std::string(kTestKey) + "\\Bare";
    SetStringValue(HKEY_CURRENT_USER, key, "", "default data, set by the installer");
    SetStringValue(HKEY_CURRENT_USER, key, "Pfad", "C:\\x");
    EXPECT_EQ(Remove(RemovalKind::RegistryValue, key, RegistryRoot::CurrentUser, "Pfad"),
              RemovalOutcome::Removed);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key, "Pfad"));
    EXPECT_EQ(Remove(RemovalKind::RegistryValue, key, RegistryRoot::CurrentUser, "Pfad"),
              RemovalOutcome::Removed);
    EXPECT_EQ(Remove(RemovalKind::RegistryKey, key + "\\"), RemovalOutcome::Removed);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_EQ(Remove(RemovalKind::RegistryKey, key), RemovalOutcome::Removed);
    EXPECT_EQ(Remove(RemovalKind::RegistryValue, key, RegistryRoot::CurrentUser, "Pfad"),
              RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, KeepsKeysWithSubkeysOrForeignValues) {
    std::string parent = std::string(kTestKey) + "\\Parent";
    SetStringValue(HKEY_CURRENT_USER, parent + "\\Child", "", "");
    EXPECT_EQ(Remove(RemovalKind::RegistryKey, parent), RemovalOutcome::HasSubkeys);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent + "\\Child"));

    std::string foreign = std::string(kTestKey) + "\\Foreign";
    SetStringValue(HKEY_CURRENT_USER, foreign, "Fremd", "added later");
    EXPECT_EQ(Remove(RemovalKind::RegistryKey, foreign), RemovalOutcome::HasForeignValues);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, foreign, "Fremd"));
}

TEST_F(RemovalActionsTest, RemovesTheRegistrationThatNamesThisUninstaller) {
    SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "UninstallString",
                   environment.uninstallerPath);
    SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "DisplayName", "Test");
    SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "URLInfoAbout", "");
    EXPECT_EQ(Remove(RemovalKind::Registration, "Tolvanex Uninstall Test"),
              RemovalOutcome::Removed);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRegistrationKey));
    EXPECT_EQ(Remove(RemovalKind::Registration, "Tolvanex Uninstall Test"),
              RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, LeavesARegistrationTakenOverByAnotherInstallation) {
    SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "UninstallString",
                   "C:\\Elsewhere\\uninstall.exe");
    EXPECT_EQ(Remove(RemovalKind::Registration, "Tolvanex Uninstall Test"),
              RemovalOutcome::Removed);
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRegistrationKey, "UninstallString"));
}

TEST_F(RemovalActionsTest, KeepsARegistrationWithForeignValues) {
    SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "UninstallString",
                   environment.uninstallerPath);
    SetStringValue(HKEY_LOCAL_MACHINE, kRegistrationKey, "Fremd", "x");
    EXPECT_EQ(Remove(RemovalKind::Registration, "Tolvanex Uninstall Test"),
              RemovalOutcome::HasForeignValues);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRegistrationKey, "UninstallString"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRegistrationKey, "Fremd"));
}

// An empty title made the installer write into the Uninstall key itself.
TEST_F(RemovalActionsTest, NeverRemovesTheUninstallKeyItself) {
    SetStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                   environment.uninstallerPath);
    SetStringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "");
    EXPECT_EQ(Remove(RemovalKind::Registration, ""), RemovalOutcome::Removed);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
    EXPECT_EQ(Remove(RemovalKind::Registration, "\\"), RemovalOutcome::Removed);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(RemovalActionsTest, StopsARunningServiceBeforeDeletingIt) {
    DeleteTestService(kServiceName);
    // The installation's own program, in its folder.
    std::string program = folder + "dienst.exe";
    ASSERT_TRUE(CopyFileA(UNINSTALL_TEST_SERVICE, program.c_str(), FALSE));
    ASSERT_TRUE(CreateTestService(kServiceName, "\"" + program + "\" -dienst"));
    ASSERT_TRUE(StartTestService(kServiceName));
    EXPECT_EQ(Remove(RemovalKind::Service, kServiceName), RemovalOutcome::Removed);
    EXPECT_FALSE(ServiceExists(kServiceName));
    EXPECT_EQ(Remove(RemovalKind::Service, kServiceName), RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, DeletesAStoppedService) {
    DeleteTestService(kServiceName);
    ASSERT_TRUE(CreateTestService(kServiceName, "C:\\missing\\service.exe"));
    // A program the log lists, outside the installation's folder.
    const std::set<std::string> installed = {NormalizePath("C:\\missing\\service.exe")};
    environment.installedFiles = &installed;
    EXPECT_EQ(Remove(RemovalKind::Service, kServiceName), RemovalOutcome::Removed);
    EXPECT_FALSE(ServiceExists(kServiceName));
}

TEST_F(RemovalActionsTest, TheDestinationMayHoldOnlyTheUninstaller) {
    WriteTextFile(folder + "uninstall.exe", "x");
    EXPECT_EQ(Remove(RemovalKind::DestinationFolder, folder), RemovalOutcome::Removed);
    EXPECT_TRUE(Exists(folder + "uninstall.exe")); // it goes last, by its copy
    WriteTextFile(folder + "user.txt", "mine");
    EXPECT_EQ(Remove(RemovalKind::DestinationFolder, folder), RemovalOutcome::NotEmpty);
}

// An installation cut short leaves the log's new copy and an extracted file
// not yet moved; they go with the folder, a user's file beside them stays.
TEST_F(RemovalActionsTest, TheDestinationTakesTheTransientFilesOfAnEndedInstallation) {
    WriteTextFile(folder + "uninstall.exe", "x");
    WriteTextFile(folder + "uninstall.log.new", "; Tolvanex uninstall log\r\n");
    ASSERT_TRUE(CreateDirectoryA((folder + "~tmp").c_str(), nullptr));
    WriteTextFile(folder + "~tmp\\file_17", "part");
    EXPECT_EQ(Remove(RemovalKind::DestinationFolder, folder), RemovalOutcome::Removed);
    EXPECT_FALSE(Exists(folder + "~tmp"));
    EXPECT_FALSE(Exists(folder + "uninstall.log.new"));

    ASSERT_TRUE(CreateDirectoryA((folder + "~tmp").c_str(), nullptr));
    WriteTextFile(folder + "~tmp\\notes.txt", "mine");
    EXPECT_EQ(Remove(RemovalKind::DestinationFolder, folder), RemovalOutcome::NotEmpty);
    EXPECT_TRUE(Exists(folder + "~tmp\\notes.txt"));
    DeleteFileA((folder + "~tmp\\notes.txt").c_str());
    RemoveDirectoryA((folder + "~tmp").c_str());
}

// A log names services by name: the system's own, or another
// application's, are not the installation's whatever the log says.
TEST_F(RemovalActionsTest, KeepsAServiceThatRunsNoProgramOfTheInstallation) {
    DeleteTestService(kServiceName);
    ASSERT_TRUE(CreateTestService(kServiceName, "\"C:\\Program Files\\Andere\\dienst.exe\""));
    for (const char* name : {"RpcSs", "PlugPlay", kServiceName}) {
        EXPECT_EQ(Remove(RemovalKind::Service, name), RemovalOutcome::ForeignService) << name;
        EXPECT_TRUE(ServiceExists(name)) << name;
    }
    DeleteTestService(kServiceName);
    EXPECT_EQ(Remove(RemovalKind::Service, kServiceName), RemovalOutcome::Removed);
}

TEST_F(RemovalActionsTest, KeepsEverythingBelowTheWindowsDirectory) {
    char windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    char system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    const std::string file = std::string(windows) + "\\tolvanex-kept.txt";
    const std::string empty = std::string(windows) + "\\Tolvanex Kept";
    WriteTextFile(file, "system");
    ASSERT_TRUE(CreateDirectoryA(empty.c_str(), nullptr));
    const struct {
        RemovalKind kind;
        std::string path;
    } rows[] = {
        {RemovalKind::File, file},
        {RemovalKind::File, std::string(system) + "\\kernel32.dll"},
        {RemovalKind::File, std::string(windows) + "\\win.ini"},
        {RemovalKind::Shortcut, file},
        {RemovalKind::Folder, empty},
        {RemovalKind::ShellFolder, empty + "\\"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Remove(row.kind, row.path), RemovalOutcome::SystemItem) << row.path;
        EXPECT_TRUE(Exists(row.path)) << row.path;
    }
    DeleteFileA(file.c_str());
    RemoveDirectoryA(empty.c_str());
}

} // namespace
