// The installation's folder and its registration: a folder setup.exe
// creates admits only administrators to change it, one that existed keeps
// its access list, and the Uninstall entry is made only when uninstall.exe
// is in place.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

const char kTitle[] = "E2E Destination";
const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E Destination";
const char kSteps[] = "start ${SETUP}\nwait-window Setup 101\nclick 1\n"
                      "wait-window Setup 117\nclick 1\nwait-window Setup 120\nclick 1\n"
                      "wait-window Setup 122\nclick 1\nwait-exit 0\n";

// The access list of a path as text, "" when it cannot be read.
std::string AccessListText(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return "";
    }
    char* text = nullptr;
    std::string result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

struct AccessEntry {
    std::string sid; // as text, "S-1-5-32-544"
    BYTE type;
    BYTE flags;
    ACCESS_MASK mask;
};

struct AccessList {
    bool readable = false;
    bool isProtected = false;
    std::vector<AccessEntry> entries;
};

AccessList ReadAccessList(const std::string& path) {
    AccessList list;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return list;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    list.readable = acl != nullptr && GetSecurityDescriptorControl(descriptor, &control, &revision);
    list.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; list.readable && i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(acl, i, reinterpret_cast<void**>(&ace))) {
            list.readable = false;
            break;
        }
        char* sid = nullptr;
        ConvertSidToStringSidA(&ace->SidStart, &sid);
        list.entries.push_back(
            {sid != nullptr ? sid : "?", ace->Header.AceType, ace->Header.AceFlags, ace->Mask});
        LocalFree(sid);
    }
    LocalFree(descriptor);
    return list;
}

class Destination : public testing::Test {
protected:
    void SetUp() override {
        work = FreshWorkDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
        temp = work + "\\temp";
        CreateDirectoryA(temp.c_str(), nullptr);
        installDir = work + "\\Ziel\\";
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        RemoveTree(work);
    }

    RobotRun Install(const std::string& title, bool withUninstaller) {
        std::vector<PayloadEntry> entries = SupportEntries();
        entries.push_back({"setup.ini",
                           "[main]\r\napptitle=" + title + "\r\nversion=1.0\r\ndestdir=" +
                               installDir + "\r\n[files]\r\n1=%%INSTALLDIR%%app.txt\r\n",
                           ""});
        entries.push_back({"file_1", "application", ""});
        if (withUninstaller) {
            entries.push_back({"uninstall.exe", "MZ stand-in", ""});
        }
        std::string setup = work + "\\setup.exe";
        EXPECT_TRUE(BuildSetup(setup, entries));
        return RunRobot(kSteps, setup, temp);
    }

    std::string work;
    std::string temp;
    std::string installDir;
};

// Whether the platform keeps the access list a folder is created with (Wine
// 8 makes one up from the host's mode bits instead).
bool KeepsAccessLists(const std::string& folder) {
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:P(A;OICI;FA;;;BA)", SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
        return false;
    }
    bool created = CreateDirectoryA(folder.c_str(), &security) != FALSE;
    LocalFree(security.lpSecurityDescriptor);
    AccessList list = ReadAccessList(folder);
    RemoveDirectoryA(folder.c_str());
    return created && list.isProtected && list.entries.size() == 1;
}

TEST_F(Destination, ACreatedFolderAdmitsOnlyAdministratorsToChangeIt) {
    if (!KeepsAccessLists(work + "\\probe")) {
        GTEST_SKIP() << "this platform does not keep the access lists of folders";
    }
    RobotRun run = Install(kTitle, true);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    ASSERT_TRUE(PathExists(installDir + "app.txt"));
    AccessList list = ReadAccessList(installDir);
    ASSERT_TRUE(list.readable);
    EXPECT_TRUE(list.isProtected) << "the parent's entries must not reach it";
    const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    const struct {
        const char* sid;
        ACCESS_MASK mask;
    } expected[] = {
        {"S-1-5-32-544", FILE_ALL_ACCESS},                          // Administrators
        {"S-1-5-18", FILE_ALL_ACCESS},                              // SYSTEM
        {"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}, // Users
    };
    ASSERT_EQ(list.entries.size(), std::size(expected)) << AccessListText(installDir);
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(list.entries[i].sid, expected[i].sid);
        EXPECT_EQ(list.entries[i].type, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(list.entries[i].flags, inherit) << expected[i].sid;
        EXPECT_EQ(list.entries[i].mask, expected[i].mask) << expected[i].sid;
    }
    // Nothing below it has an entry of its own that lets users write.
    AccessList file = ReadAccessList(installDir + "app.txt");
    for (const AccessEntry& entry : file.entries) {
        if (entry.sid != "S-1-5-32-544" && entry.sid != "S-1-5-18") {
            EXPECT_EQ(entry.mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC), 0u)
                << entry.sid << " in " << AccessListText(installDir + "app.txt");
        }
    }
}

TEST_F(Destination, AFolderThatExistedKeepsItsAccessList) {
    ASSERT_TRUE(CreateDirectoryA(installDir.c_str(), nullptr));
    const std::string before = AccessListText(installDir);
    ASSERT_FALSE(before.empty());
    RobotRun run = Install(kTitle, true);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(PathExists(installDir + "uninstall.log"));
    EXPECT_EQ(AccessListText(installDir), before);
}

TEST_F(Destination, WithUninstallExeInPlaceTheInstallationIsRegistered) {
    RobotRun run = Install(kTitle, true);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(
        ReadRegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", &type, &data));
    EXPECT_EQ(std::string(data.c_str()), installDir + "uninstall.exe");
}

// An entry that names no uninstaller could never be removed.
TEST_F(Destination, WithoutUninstallExeNothingIsRegistered) {
    RobotRun run = Install(kTitle, false);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(PathExists(installDir + "app.txt"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

TEST_F(Destination, AFolderThatCannotBeCreatedRegistersNothing) {
    // A file where the destination's parent should be.
    ASSERT_TRUE(WriteWholeFile(work + "\\Datei", "x"));
    installDir = work + "\\Datei\\Ziel\\";
    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back(
        {"setup.ini",
         "[main]\r\napptitle=" + std::string(kTitle) + "\r\ndestdir=" + installDir + "\r\n", ""});
    entries.push_back({"uninstall.exe", "MZ stand-in", ""});
    std::string setup = work + "\\setup.exe";
    ASSERT_TRUE(BuildSetup(setup, entries));
    RobotRun run = RunRobot(kSteps, setup, temp);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_FALSE(PathExists(installDir + "uninstall.exe"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// A title too long for a key name: the registration fails, the
// installation goes on to its end.
TEST_F(Destination, ARegistrationThatFailsIsPassedOver) {
    const std::string title(250, 't');
    RobotRun run = Install(title, true);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(PathExists(installDir + "uninstall.exe"));
    EXPECT_TRUE(PathExists(installDir + "app.txt"));
    EXPECT_FALSE(RegistryKeyExists(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + title));
}

} // namespace
