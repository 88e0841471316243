// The .NET Framework step of the installation with a stand-in redistributable
// that records how it was started.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

const char kPolicyKey[] = "SOFTWARE\\Microsoft\\.NETFramework\\policy\\v1.0";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E DotNet";

std::string LanguageFolder() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\Microsoft.Net\\Framework\\v1.0.3705\\1033";
}

class DotNet : public testing::Test {
protected:
    void SetUp() override {
        work = FreshWorkDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
        // A blank in the path: the installer's path must be quoted.
        temp = work + "\\temp dir";
        CreateDirectoryA(temp.c_str(), nullptr);
        record = work + "\\record.txt";
        RemoveFrameworkTraces();
    }
    void TearDown() override {
        RemoveFrameworkTraces();
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        RemoveTree(work);
    }

    void RemoveFrameworkTraces() {
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kPolicyKey, "3705");
        RemoveDirectoryA(LanguageFolder().c_str());
    }

    void PretendFrameworkInstalled() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "3705", 0, REG_SZ, reinterpret_cast<const BYTE*>("3300-3705"), 10);
        RegCloseKey(key);
        std::string folder = LanguageFolder();
        for (size_t cut = folder.find('\\', 3); cut != std::string::npos;
             cut = folder.find('\\', cut + 1)) {
            CreateDirectoryA(folder.substr(0, cut).c_str(), nullptr);
        }
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }

    RobotRun Install(const char* dotnet) {
        std::string ini = std::string("[main]\r\napptitle=E2E DotNet\r\ndotnet=") + dotnet +
                          "\r\ndestdir=" + work +
                          "\\dest\r\n[files]\r\n1=%%INSTALLDIR%%app.txt\r\n";
        std::vector<PayloadEntry> entries = SupportEntries();
        entries.push_back({"setup.ini", ini, ""});
        entries.push_back({"dotnetfx.exe", "", TOLVANEX_DOTNET_STANDIN});
        entries.push_back({"file_1", "application", ""});
        std::string setup = work + "\\setup.exe";
        EXPECT_TRUE(BuildSetup(setup, entries));
        return RunRobot("start ${SETUP}\nwait-window Setup 101\nclick 1\nwait-window Setup 117\n"
                        "click 1\nwait-window Setup 120\nclick 1\nwait-window Setup 122\n"
                        "click 1\nwait-exit 0\n",
                        setup, temp, {"TOLVANEX_DOTNET_RECORD=" + record});
    }

    std::string work;
    std::string temp;
    std::string record;
};

TEST_F(DotNet, RunsTheRedistributableQuotedWhenTheFrameworkIsMissing) {
    RobotRun run = Install("yes");
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    std::string commandLine;
    ASSERT_TRUE(ReadWholeFile(record, &commandLine)) << "the redistributable did not run";
    std::string start = "\"" + temp + "\\~";
    std::string end = "\\dotnetfx.exe\" /q:a /c:\"install /l /q\"";
    EXPECT_EQ(commandLine.compare(0, start.size(), start), 0) << commandLine;
    ASSERT_GT(commandLine.size(), end.size());
    EXPECT_EQ(commandLine.substr(commandLine.size() - end.size()), end) << commandLine;
    EXPECT_TRUE(DirectoryIsEmpty(temp));
}

TEST_F(DotNet, SkipsTheRedistributableWhenItsFrameworkIsPresent) {
    PretendFrameworkInstalled();
    RobotRun run = Install("yes");
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_FALSE(PathExists(record));
}

TEST_F(DotNet, LeavesTheRedistributableAloneWhenNotAsked) {
    RobotRun run = Install("no");
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_FALSE(PathExists(record));
}

} // namespace
