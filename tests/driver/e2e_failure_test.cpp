// What setup.exe does when things go wrong: a file that cannot be moved into
// place or whose target's replacement cannot be recorded, a damaged or
// missing payload, a payload without a setup script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E Failure";

std::string FileNotCopied(const std::string& path) {
    return "answer-msgbox ok Fehler " +
           RobotWord("Die Datei \"" + path +
                     "\" konnte nicht kopiert werden!\n\nVergewissen Sie sich, dass die Datei und "
                     "das Zielverzeichnis\nnicht schreibgeschützt sind!") +
           "\n";
}

const char kDamaged[] = "answer-msgbox ok Setup \"Setup-Archiv beschädigt!\"\nwait-exit 0\n";

class Failures : public testing::Test {
protected:
    void SetUp() override {
        work = FreshWorkDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
        temp = work + "\\temp";
        CreateDirectoryA(temp.c_str(), nullptr);
        installDir = work + "\\dest\\";
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        RemoveTree(work);
    }

    std::string Build(const std::vector<PayloadEntry>& entries) {
        std::string setup = work + "\\setup.exe";
        EXPECT_TRUE(BuildSetup(setup, entries));
        return setup;
    }

    std::string work;
    std::string temp;
    std::string installDir;
};

const char kInstallSteps[] = "start ${SETUP}\nwait-window Setup 101\nclick 1\n"
                             "wait-window Setup 117\nclick 1\nwait-window Setup 120\nclick 1\n";

TEST_F(Failures, AFileThatCannotBeMovedIsReportedLoggedAndRemoved) {
    std::string blocked = work + "\\no such folder\\a.txt";
    std::string ini = "[main]\r\napptitle=E2E Failure\r\ndestdir=" + installDir +
                      "\r\n[files]\r\n1=" + blocked + "\r\n2=%%INSTALLDIR%%b.txt\r\n";
    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back({"setup.ini", ini, ""});
    entries.push_back({"file_1", "cannot be placed", ""});
    entries.push_back({"file_7", "has no target", ""});
    entries.push_back({"file_2", "placed", ""});
    entries.push_back({"Uninstall.exe", "not the uninstaller", ""});
    RobotRun run = RunRobot(std::string(kInstallSteps) + FileNotCopied(blocked) +
                                FileNotCopied("") + "wait-window Setup 122\nclick 1\nwait-exit 0\n",
                            Build(entries), temp);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;

    EXPECT_FALSE(PathExists(blocked));
    EXPECT_FALSE(PathExists(installDir + "file_1")) << "the extracted file is left";
    EXPECT_FALSE(PathExists(installDir + "file_7")) << "the extracted file is left";
    std::string placed;
    EXPECT_TRUE(ReadWholeFile(installDir + "b.txt", &placed));
    EXPECT_EQ(placed, "placed");
    EXPECT_FALSE(PathExists(installDir + "uninstall.exe"));
    std::string log;
    ASSERT_TRUE(ReadWholeFile(installDir + "uninstall.log", &log));
    EXPECT_NE(
        log.find("[files]\r\n1=" + blocked + "\r\n2=\r\n3=" + installDir + "b.txt\r\ncount=3\r\n"),
        std::string::npos)
        << log;
    EXPECT_TRUE(DirectoryIsEmpty(temp));
}

TEST_F(Failures, ADamagedPayloadIsReportedAndLeavesNoStagingDirectory) {
    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back({"setup.ini", "[main]\r\napptitle=E2E Failure\r\n", ""});
    std::string setup = Build(entries);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(setup, &bytes));
    // Without its end record the archive cannot be found.
    ASSERT_GT(bytes.size(), 22u);
    bytes.replace(bytes.size() - 22, 22, std::string(22, '\0'));
    ASSERT_TRUE(WriteWholeFile(setup, bytes));

    RobotRun run = RunRobot(std::string("start ${SETUP}\n") + kDamaged, setup, temp);
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(DirectoryIsEmpty(temp));
}

TEST_F(Failures, AProgramWithoutPayloadIsReportedAsDamaged) {
    std::string setup = Build({});
    RobotRun run = RunRobot(std::string("start ${SETUP}\n") + kDamaged, setup, temp);
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(DirectoryIsEmpty(temp));
}

TEST_F(Failures, WithoutSetupScriptOnlyTheThreeFixedPagesAreShown) {
    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back({"file_1", "application", ""});
    RobotRun run = RunRobot("start ${SETUP}\nwait-window Setup 101\nclick 1\n"
                            "wait-window Setup 117\nexpect-text 715 \"\"\nclick 12\n"
                            "wait-window Setup 101\nclick 1\nwait-window Setup 117\nclick 1\n"
                            "wait-window Setup 120\nclick 2\nanswer-msgbox yes\nwait-exit 0\n",
                            Build(entries), temp);
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(DirectoryIsEmpty(temp));
}

// A file that was there before setup.exe and is still there after it, since
// its replacement failed, outlives the uninstaller too.
TEST_F(Failures, ATargetThatWasThereBeforeAndWasNotReplacedOutlivesTheUninstaller) {
    struct Case {
        const char* name;
        std::string destination;
        std::string key; // the [files] key, so also the entry's name
        bool blockRecord;
        int uninstallerExit;
    };
    const Case cases[] = {
        // A folder in the place of the list of replaced targets.
        {"record cannot be written", installDir, "1", true, 0},
        // The entry's name does not fit below the extraction folder. Its
        // target is recorded as replaced, which the uninstaller keeps and
        // reports as remaining.
        {"file cannot be extracted", work + "\\" + std::string(100, 'd') + "\\",
         std::string(80, 'k'), false, 1},
    };
    const std::string target = work + "\\vorher\\notiz.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(work + "\\vorher");
        CreateDirectoryA((work + "\\vorher").c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(target, "vorher"));
        const std::string list = c.destination + "uninstall.replaced";
        if (c.blockRecord) {
            CreateDirectoryA(c.destination.c_str(), nullptr);
            CreateDirectoryA(list.c_str(), nullptr);
            ASSERT_TRUE(WriteWholeFile(list + "\\keep", "x"));
        }
        std::vector<PayloadEntry> entries = SupportEntries();
        entries.push_back({"setup.ini",
                           "[main]\r\napptitle=E2E Failure\r\ndestdir=" + c.destination +
                               "\r\n[files]\r\n" + c.key + "=" + target + "\r\n",
                           ""});
        entries.push_back({"file_" + c.key, "neu", ""});
        entries.push_back({"uninstall.exe", "", TOLVANEX_UNINSTALL_EXE});
        RobotRun run = RunRobot("start ${SETUP} /quiet\nwait-exit 1603\n", Build(entries), temp);
        ASSERT_EQ(run.exitCode, 0) << run.transcript;
        std::string content;
        ASSERT_TRUE(ReadWholeFile(target, &content));
        EXPECT_EQ(content, "vorher");

        RobotRun removal =
            RunRobot("start ${SETUP} /quiet\nwait-exit " + std::to_string(c.uninstallerExit) + "\n",
                     c.destination + "uninstall.exe", temp);
        EXPECT_EQ(removal.exitCode, 0) << removal.transcript;
        content.clear();
        EXPECT_TRUE(ReadWholeFile(target, &content)) << "the uninstaller removed it";
        EXPECT_EQ(content, "vorher");
        RemoveTree(c.destination);
    }
}

const char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kRegistrationValues[] = {"UninstallString", "DisplayName", "DisplayVersion",
                                           "Publisher", "URLInfoAbout"};

void DeleteRegistrationValues() {
    for (const char* value : kRegistrationValues) {
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kUninstallRoot, value);
    }
}

// Without a title the registration would land in the Uninstall key itself.
TEST_F(Failures, AnEmptyTitleRegistersNothing) {
    DeleteRegistrationValues();
    std::vector<PayloadEntry> entries = SupportEntries();
    entries.push_back({"setup.ini", "[main]\r\nversion=1.0\r\ndestdir=" + installDir + "\r\n", ""});
    RobotRun run =
        RunRobot(std::string(kInstallSteps) + "wait-window Setup 122\nclick 1\nwait-exit 0\n",
                 Build(entries), temp);
    EXPECT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(PathExists(installDir + "uninstall.log"));
    for (const char* value : kRegistrationValues) {
        DWORD type = 0;
        std::string data;
        EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, kUninstallRoot, value, &type, &data))
            << value << " was written into the Uninstall key";
    }
    DeleteRegistrationValues();
}

} // namespace
