#include "uninstall/path_rules.h"

#include <gtest/gtest.h>

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

} // namespace
