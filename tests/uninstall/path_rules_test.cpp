#include "uninstall/path_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const ProtectedFolders kProtected = {"C:\\Windows", "C:\\Windows\\system32", "C:\\Program Files\\",
                                     "C:\\Users\\Anna\\Desktop"};

struct PathCase {
    const char* path;
    PathVerdict expected;
    const char* why;
};

const PathCase kPathCases[] = {
    {"", PathVerdict::Empty, "an item that was never created"},
    {"C:\\Program Files\\Beispiel", PathVerdict::Removable, "a folder of the installation"},
    {"C:\\Program Files\\Beispiel\\a.txt", PathVerdict::Removable, "a file"},
    {"C:\\Program Files\\Beispiel\\", PathVerdict::Removable, "a trailing separator"},
    {"c:/program files/beispiel", PathVerdict::Removable, "forward slashes"},
    {"\\\\server\\share\\Beispiel", PathVerdict::Removable, "a folder on a share"},
    {"Beispiel\\a.txt", PathVerdict::Invalid, "relative"},
    {"\\Beispiel", PathVerdict::Invalid, "rooted without a drive"},
    {"C:Beispiel", PathVerdict::Invalid, "drive-relative"},
    {"C:", PathVerdict::Invalid, "a bare drive"},
    {"C:\\Program Files\\..", PathVerdict::Invalid, "a parent step"},
    {"C:\\Program Files\\Beispiel\\..\\..\\Windows", PathVerdict::Invalid, "parent steps"},
    {"C:\\Program Files\\.\\Beispiel", PathVerdict::Invalid, "a current-folder step"},
    {"C:\\Windows.", PathVerdict::Invalid, "a trailing dot the platform strips"},
    {"C:\\Windows ", PathVerdict::Invalid, "a trailing blank the platform strips"},
    {"C:\\Beispiel\\*.txt", PathVerdict::Invalid, "a wildcard"},
    {"C:\\Beispiel\\a.txt:stream", PathVerdict::Invalid, "a stream name"},
    {"C:\\Bei\tspiel", PathVerdict::Invalid, "a control character"},
    {"\\\\?\\C:\\Beispiel", PathVerdict::Invalid, "a device path"},
    {"\\\\.\\PhysicalDrive0", PathVerdict::Invalid, "a device"},
    {"\\\\\\server\\share\\x", PathVerdict::Invalid, "three leading separators"},
    {"\\\\server", PathVerdict::Invalid, "a server without share"},
    {"C:\\", PathVerdict::Protected, "a drive root"},
    {"c:/", PathVerdict::Protected, "a drive root with a slash"},
    {"C:\\\\\\", PathVerdict::Protected, "a drive root with repeated separators"},
    {"\\\\server\\share", PathVerdict::Protected, "a share root"},
    {"\\\\server\\share\\", PathVerdict::Protected, "a share root with separator"},
    {"C:\\Windows", PathVerdict::Protected, "the Windows folder"},
    {"c:\\WINDOWS\\", PathVerdict::Protected, "the Windows folder in other letter case"},
    {"C:\\Windows\\\\System32", PathVerdict::Protected, "the system folder, doubled separator"},
    {"C:/Program Files", PathVerdict::Protected, "Program Files itself"},
    {"C:\\Users\\Anna\\Desktop", PathVerdict::Protected, "a shell folder"},
    {"C:\\Windows\\Beispiel", PathVerdict::Removable, "a folder inside the Windows folder"},
    {"C:\\Windows\\system32\\beispiel.dll", PathVerdict::Removable, "a file in the system folder"},
};

TEST(CheckRemovablePath, FollowsTheSafetyRules) {
    for (const PathCase& row : kPathCases) {
        EXPECT_EQ(CheckRemovablePath(row.path, kProtected), row.expected)
            << row.path << " (" << row.why << ")";
    }
}

TEST(CheckRemovablePath, RefusesPathsTheInstallerCouldNotHaveLogged) {
    std::string longest = "C:\\" + std::string(256, 'a');
    EXPECT_EQ(CheckRemovablePath(longest, kProtected), PathVerdict::Removable);
    EXPECT_EQ(CheckRemovablePath(longest + "b", kProtected), PathVerdict::Invalid);
}

TEST(CheckRemovablePath, IgnoresProtectedEntriesThatAreNotPaths) {
    ProtectedFolders unusable = {"", "relative", "C:\\Windows\\.."};
    EXPECT_EQ(CheckRemovablePath("C:\\Beispiel", unusable), PathVerdict::Removable);
}

TEST(NormalizePath, NamesTheSameFileTheSameWay) {
    EXPECT_EQ(NormalizePath("C:/Program Files//Beispiel\\"), "c:\\program files\\beispiel");
    EXPECT_EQ(NormalizePath("\\\\Server\\Share\\X"), "\\\\server\\share\\x");
    EXPECT_EQ(NormalizePath("D:\\"), "d:\\");
    EXPECT_EQ(NormalizePath("relative\\x"), "");
    EXPECT_EQ(NormalizePath("C:\\a\\..\\b"), "");
}

struct KeyCase {
    const char* keyPath;
    PathVerdict expected;
};

const KeyCase kKeyCases[] = {
    {"SOFTWARE\\Tolvanex Beispiel", PathVerdict::Removable},
    {"SOFTWARE\\Tolvanex Beispiel\\", PathVerdict::Removable},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", PathVerdict::Removable}, // a subkey of that name
    {"", PathVerdict::Invalid},
    {"\\", PathVerdict::Invalid},
    {"\\\\\\", PathVerdict::Invalid},
    {"HKEY_LOCAL_MACHINE", PathVerdict::Protected},
    {"hkey_current_user\\", PathVerdict::Protected},
    {"\\HKLM", PathVerdict::Protected},
    {"HKCU", PathVerdict::Protected},
    {"HKEY_CLASSES_ROOT", PathVerdict::Protected},
    {"HKCR", PathVerdict::Protected},
    {"HKEY_USERS", PathVerdict::Protected},
    {"HKU", PathVerdict::Protected},
    {"HKEY_CURRENT_CONFIG", PathVerdict::Protected},
    {"HKCC", PathVerdict::Protected},
    {"HKEY_PERFORMANCE_DATA", PathVerdict::Protected},
    {"HKEY_DYN_DATA", PathVerdict::Protected},
};

TEST(CheckRegistryKeyPath, NeverLetsARootOrAnEmptyPathGo) {
    for (const KeyCase& row : kKeyCases) {
        EXPECT_EQ(CheckRegistryKeyPath(row.keyPath), row.expected) << "\"" << row.keyPath << "\"";
    }
    EXPECT_EQ(CheckRegistryKeyPath(std::string(260, 'k')), PathVerdict::Invalid);
}

// The installer could have written a share path of 259 characters; its
// normalised form keeps a separator at the root and must normalise again.
TEST(NormalizePath, TakesTheLongestShareRootTheInstallerCouldWrite) {
    std::string share = "\\\\" + std::string(100, 's') + "\\";
    share += std::string(259 - share.size(), 'h');
    ASSERT_EQ(share.size(), 259u);
    std::string normalized = NormalizePath(share);
    EXPECT_EQ(normalized.size(), 260u);
    EXPECT_EQ(NormalizePath(normalized), normalized);
    EXPECT_EQ(CheckRemovablePath(share, kProtected), PathVerdict::Protected);
    EXPECT_TRUE(IsInSystemTree(share + "\\", {share}));
    EXPECT_EQ(NormalizePath(share + "x"), "");
}

const SystemTrees kTrees = {"C:\\Windows", "C:\\Windows\\system32"};

struct TreeCase {
    const char* path;
    bool inTree;
};

const TreeCase kTreeCases[] = {
    {"C:\\Windows", true},
    {"c:/windows/win.ini", true},
    {"C:\\WINDOWS\\System32\\kernel32.dll", true},
    {"C:\\Windows\\Fonts\\", true},
    {"C:\\WindowsApps\\x", false},
    {"C:\\Program Files\\Beispiel", false},
    {"D:\\Windows\\x", false},
    {"Windows\\win.ini", false},
};

TEST(IsInSystemTree, HoldsEverythingBelowTheWindowsDirectory) {
    for (const TreeCase& row : kTreeCases) {
        EXPECT_EQ(IsInSystemTree(row.path, kTrees), row.inTree) << row.path;
    }
    EXPECT_FALSE(IsBelowFolder("C:\\App", "C:\\App\\"));
    EXPECT_TRUE(IsBelowFolder("C:\\App\\x", "C:\\"));
    EXPECT_FALSE(IsBelowFolder("C:\\Apps\\x", "C:\\App"));
}

struct ServiceCase {
    const char* commandLine;
    bool folderIsOwn;
    bool belongs;
    const char* why;
};

const ServiceCase kServiceCases[] = {
    {"\"C:\\Program Files\\App\\Dienst\\dienst.exe\" -dienst", true, true, "quoted, in the folder"},
    {"C:\\Program Files\\App\\dienst.exe -x", true, true, "unquoted with a blank in the folder"},
    {"C:\\Program Files\\App\\dienst.exe", true, true, "unquoted, no arguments"},
    {"C:\\Tools\\extra.exe /run", true, true, "a file the logs list, outside the folder"},
    {"C:\\Windows\\system32\\svchost.exe -k rpcss", true, false, "a system service"},
    {"C:\\Windows\\system32\\listed.exe", true, false, "listed, but a system file"},
    {"\"C:\\Program Files\\Other\\svc.exe\"", true, false, "another application's"},
    {"\"C:\\Program Files\\App\\dienst.exe", true, false, "an unclosed quote"},
    {"system32\\drivers\\x.sys", true, false, "a driver path relative to the system"},
    {"\\??\\C:\\Program Files\\App\\x.sys", true, false, "a native path"},
    {"", true, false, "no command line"},
    {"\"C:\\Program Files\\App\\dienst.exe\"", false, false, "a folder that vouches for nothing"},
    {"C:\\Program Files\\AppX\\dienst.exe", true, false, "a folder of a longer name"},
};

TEST(ServiceBelongsToInstallation, OnlyForAProgramOfTheInstallation) {
    const std::set<std::string> installed = {NormalizePath("C:\\Tools\\extra.exe"),
                                             NormalizePath("C:\\Windows\\system32\\listed.exe")};
    for (const ServiceCase& row : kServiceCases) {
        EXPECT_EQ(ServiceBelongsToInstallation(row.commandLine, "C:\\Program Files\\App\\",
                                               row.folderIsOwn, installed, kTrees),
                  row.belongs)
            << row.why;
    }
}

struct RegistryCase {
    RegistryRoot root;
    const char* keyPath;
    bool isValue;
    bool inCreatedKey;
    bool kept;
    const char* why;
};

const RegistryCase kRegistryCases[] = {
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", true, false,
     true, "RegisteredOwner and its neighbours"},
    {RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\",
     true, false, true, "a value below it"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\App", true, true,
     false, "a value in a key the installation created there"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\App", false,
     false, false, "a key the installation created there"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", false, false,
     true, "the settings key itself"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft", false, false, true, "a key above it"},
    {RegistryRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\RpcSs", true, true, true,
     "anything in SYSTEM, whatever the log says"},
    {RegistryRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Empty", false, false, true,
     "a key in SYSTEM"},
    {RegistryRoot::LocalMachine, "SYSTEMS\\App", false, false, false, "a key of a longer name"},
    {RegistryRoot::CurrentConfig, "Software\\Fonts", true, false, true, "the current config"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", true, false, true,
     "ProgramFilesDir and its neighbours"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", true, false,
     false, "an application's start entry"},
    {RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
     true, false, true, "a policy"},
    {RegistryRoot::LocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion",
     true, false, true, "the 32-bit view's settings"},
    {RegistryRoot::CurrentUser, "Software\\Policies\\Microsoft", true, false, true,
     "a user's policy"},
    {RegistryRoot::CurrentUser, "Environment", true, false, false, "a user's variable"},
    {RegistryRoot::CurrentUser, "Software\\App", false, false, false, "an application's key"},
    {RegistryRoot::CurrentUser, "System\\CurrentControlSet", false, false, false,
     "SYSTEM only counts on the local machine"},
};

TEST(IsSystemRegistryEntry, KeepsTheSystemsKeysAndValues) {
    for (const RegistryCase& row : kRegistryCases) {
        EXPECT_EQ(IsSystemRegistryEntry(row.root, row.keyPath, row.isValue, row.inCreatedKey),
                  row.kept)
            << row.why;
    }
}

} // namespace
