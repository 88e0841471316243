// A whole installation through setup.exe, read back from the system: files
// with their contents and entry times, folders, shortcuts, registry keys and
// values, services, the Uninstall registration and uninstall.log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E Install";
const char kMachineKey[] = "SOFTWARE\\TolvanexE2E";
const char kUserKey[] = "Software\\TolvanexE2E";
const char kServiceA[] = "TolvanexE2EA";
const char kServiceB[] = "TolvanexE2EB";

std::string ServiceFailure(const char* name) {
    return "answer-msgbox ok Fehler " +
           RobotWord(std::string("Der Dienst \"") + name + "\" konnte nicht installiert werden.") +
           "\n";
}

class Installation : public testing::Test {
protected:
    void SetUp() override {
        work = FreshWorkDirectory("install");
        temp = work + "\\temp";
        CreateDirectoryA(temp.c_str(), nullptr);
        destination = work + "\\deep\\levels\\E2E App";
        installDir = destination + "\\";
        menu = ProgramsMenuDirectory() + "\\E2E Install";
        Clean();
    }
    void TearDown() override {
        Clean();
        RemoveTree(work);
    }

    void Clean() {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kMachineKey);
        DeleteRegistryTree(HKEY_CURRENT_USER, kUserKey);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, "Environment", "TOLVANEX_E2E");
        DeleteServiceIfPresent(kServiceA);
        DeleteServiceIfPresent(kServiceB);
        RemoveTree(menu);
    }

    std::string Script() const {
        return "start ${SETUP}\n"
               "wait-window Setup 101\nclick 1\n"
               "wait-window Setup 115\ntype 301 \"Erika Muster\"\ntype 302 \"Muster & Co\"\n"
               "click 1\n"
               "wait-window Setup 117\n"
               "expect-text 715 " +
               RobotWord(destination) +
               "\nclick 1\n"
               "wait-window Setup 120\nclick 1\n";
    }

    std::string BuildPayload() {
        std::string ini =
            "[main]\r\napptitle=E2E Install\r\nversion=2.5\r\npublisher=Tolvanex Tests\r\n"
            "url=https://www.example.com/e2e\r\ndestdir=" +
            destination +
            "\r\n"
            "[dialogs]\r\nshow_userinfo=yes\r\n"
            "[folders]\r\ncount=2\r\n1=%%INSTALLDIR%%Daten\r\n2=%%INSTALLDIR%%Daten\\Vorlagen\r\n"
            "[files]\r\n1=%%INSTALLDIR%%app.exe\r\n2=%%INSTALLDIR%%Daten\\Vorlagen\\vorlage.txt\r\n"
            "3=" +
            work +
            "\\existing.txt\r\n11=%%INSTALLDIR%%elf.txt\r\nproa.txt=%%INSTALLDIR%%profil.txt\r\n"
            "[shell_folders]\r\ncount=1\r\n0=%%PROGRAMS%%E2E Install\r\n"
            "[shell_items]\r\ncount=1\r\n0_dest=%%INSTALLDIR%%app.exe\r\n"
            "0_lnk=%%PROGRAMS%%E2E Install\\App.lnk\r\n0_desc=E2E Anwendung\r\n"
            "0_work=%%INSTALLDIR%%\r\n0_args=/user %%USER%% /firma %%COMPANY%%\r\n"
            "[reg]\r\ncount=9\r\n"
            "0_hkey=HKEY_LOCAL_MACHINE\r\n0_key=SOFTWARE\\TolvanexE2E\r\n0_std=%%INSTALLDIR%%\r\n"
            "1_hkey=HKEY_LOCAL_MACHINE\r\n1_key=SOFTWARE\\TolvanexE2E\r\n1_value=Pfad\r\n"
            "1_std=%%INSTALLDIR%%\r\n1_type=REG_EXPAND_SZ\r\n"
            "2_hkey=HKEY_LOCAL_MACHINE\r\n2_key=SOFTWARE\\TolvanexE2E\r\n2_value=Stufe\r\n"
            "2_std=0x1F\r\n2_type=REG_DWORD\r\n"
            "3_hkey=HKEY_LOCAL_MACHINE\r\n3_key=SOFTWARE\\TolvanexE2E\r\n3_value=Roh\r\n"
            "3_std=AB\r\n3_type=REG_BINARY\r\n"
            "4_hkey=HKEY_CURRENT_USER\r\n4_key=Software\\TolvanexE2E\\Sub\r\n"
            "5_hkey=HKEY_CURRENT_USER\r\n5_key=Environment\r\n5_value=TOLVANEX_E2E\r\n"
            "5_std=%%USER%%\r\n"
            "6_hkey=HKEY_CURRENT_USER\r\n6_key=Software\\TolvanexE2E\\Missing\r\n6_value=x\r\n"
            "6_std=1\r\n"
            "7_hkey=HKEY_LOCAL_MACHINE\r\n7_key=SOFTWARE\\TolvanexE2E\r\n7_std=zweiter\r\n"
            "8_hkey=HKLM\r\n8_key=SOFTWARE\\TolvanexE2E\r\n8_value=Kurz\r\n8_std=k\r\n"
            "8_type=reg_dword\r\n"
            "[svc]\r\ncount=3\r\n"
            "0_name=TolvanexE2EA\r\n0_displayname=E2E Dienst A\r\n"
            "0_binpath=\"%%INSTALLDIR%%app.exe\" -dienst\r\n0_type=WIN32_OWN_PROCESS\r\n"
            "0_starttype=DEMAND_START\r\n0_errortype=ERROR_IGNORE\r\n"
            "1_name=TolvanexE2EA\r\n1_displayname=E2E Dienst A doppelt\r\n1_binpath=x.exe\r\n"
            "2_name=TolvanexE2EB\r\n2_displayname=E2E Dienst B\r\n"
            "2_binpath=%%INSTALLDIR%%app.exe\r\n2_type=WIN32_SHARE_PROCESS\r\n"
            "2_starttype=DISABLED\r\n2_errortype=ERROR_SEVERE\r\n";
        std::vector<PayloadEntry> entries = {{"setup.ini", ini, ""}};
        for (const PayloadEntry& support : SupportEntries()) {
            entries.push_back(support);
        }
        entries.push_back({"file_1", "application one", ""});
        entries.push_back({"uninstall.exe", "uninstaller stand-in", ""});
        entries.push_back({"file_2", "template in a nested folder", ""});
        entries.push_back({"file_3", "new content", ""});
        entries.push_back({"file_11", "eleven", ""});
        entries.push_back({"profile_a.txt", "named with file_ inside", ""});
        std::string setup = work + "\\setup.exe";
        EXPECT_TRUE(BuildSetup(setup, entries));
        return setup;
    }

    // The log's text after its header line; the blank line after the header
    // is kept by some profile writers and dropped by others.
    std::string LogBody() const {
        std::string text;
        EXPECT_TRUE(ReadWholeFile(installDir + "uninstall.log", &text));
        const std::string header = "; Tolvanex uninstall log\r\n";
        EXPECT_EQ(text.compare(0, header.size(), header), 0) << text;
        text.erase(0, header.size());
        if (text.compare(0, 2, "\r\n") == 0) {
            text.erase(0, 2);
        }
        return text;
    }

    std::string LogStart() const {
        return "[main]\r\nappptitle=E2E Install\r\n"
               "[folders]\r\ncount=2\r\n1=" +
               installDir + "Daten\r\n2=" + installDir +
               "Daten\\Vorlagen\r\n"
               "[files]\r\n1=" +
               installDir + "app.exe\r\n2=" + installDir +
               "Daten\\Vorlagen\\vorlage.txt\r\n3=" + work + "\\existing.txt\r\n4=" + installDir +
               "elf.txt\r\n5=" + installDir +
               "profil.txt\r\ncount=5\r\n"
               "[shell_folders]\r\n0=" +
               menu +
               "\r\ncount=1\r\n"
               "[shell_items]\r\n0=" +
               menu + "\\App.lnk\r\ncount=1\r\n";
    }

    std::string work;
    std::string temp;
    std::string destination;
    std::string installDir;
    std::string menu;
};

void ExpectFile(const std::string& path, const std::string& content) {
    std::string actual;
    ASSERT_TRUE(ReadWholeFile(path, &actual)) << path;
    EXPECT_EQ(actual, content) << path;
    uint32_t dosDateTime = 0;
    ASSERT_TRUE(FileDosDateTime(path, &dosDateTime)) << path;
    EXPECT_EQ(dosDateTime, kEntryDosDateTime) << path;
}

void ExpectValue(HKEY root, const std::string& key, const std::string& name, DWORD type,
                 const std::string& data) {
    DWORD actualType = 0;
    std::string actual;
    ASSERT_TRUE(ReadRegistryValue(root, key, name, &actualType, &actual)) << key << " " << name;
    EXPECT_EQ(actualType, type) << key << " " << name;
    EXPECT_EQ(actual, data) << key << " " << name;
}

std::string Z(const std::string& text) {
    return text + std::string(1, '\0');
}

TEST_F(Installation, InstallsEverythingTheScriptListsAndLogsIt) {
    WriteWholeFile(work + "\\existing.txt", "old content");
    std::string setup = BuildPayload();
    RobotRun run = RunRobot(Script() + ServiceFailure(kServiceA) +
                                "wait-window Setup 122\nexpect-visible 501 false\n"
                                "expect-visible 502 false\nclick 1\nwait-exit 0\n",
                            setup, temp);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_TRUE(DirectoryIsEmpty(temp)) << "the staging directory is left";

    ExpectFile(installDir + "app.exe", "application one");
    ExpectFile(installDir + "Daten\\Vorlagen\\vorlage.txt", "template in a nested folder");
    ExpectFile(work + "\\existing.txt", "new content");
    ExpectFile(installDir + "elf.txt", "eleven");
    ExpectFile(installDir + "profil.txt", "named with file_ inside");
    ExpectFile(installDir + "uninstall.exe", "uninstaller stand-in");
    for (const char* extracted : {"file_1", "file_2", "file_3", "file_11", "profile_a.txt"}) {
        EXPECT_FALSE(PathExists(installDir + extracted)) << extracted << " was not moved";
    }

    ShortcutSettings shortcut;
    ASSERT_TRUE(LoadShortcut(menu + "\\App.lnk", &shortcut));
    EXPECT_EQ(shortcut.target, installDir + "app.exe");
    EXPECT_EQ(shortcut.description, "E2E Anwendung");
    EXPECT_EQ(shortcut.arguments, "/user Erika Muster /firma Muster & Co");
    EXPECT_EQ(shortcut.workingDirectory, installDir);

    ExpectValue(HKEY_LOCAL_MACHINE, kMachineKey, "", REG_SZ, Z("zweiter"));
    ExpectValue(HKEY_LOCAL_MACHINE, kMachineKey, "Pfad", REG_EXPAND_SZ, Z(installDir));
    ExpectValue(HKEY_LOCAL_MACHINE, kMachineKey, "Stufe", REG_DWORD, std::string("\x1F\0\0\0", 4));
    ExpectValue(HKEY_LOCAL_MACHINE, kMachineKey, "Roh", REG_BINARY, "AB");
    ExpectValue(HKEY_LOCAL_MACHINE, kMachineKey, "Kurz", REG_SZ, Z("k"));
    ExpectValue(HKEY_CURRENT_USER, "Environment", "TOLVANEX_E2E", REG_SZ, Z("Erika Muster"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, std::string(kUserKey) + "\\Sub"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, std::string(kUserKey) + "\\Missing"));

    ExpectValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", REG_SZ,
                Z(installDir + "uninstall.exe"));
    ExpectValue(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", REG_SZ, Z("E2E Install"));
    ExpectValue(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", REG_SZ, Z("2.5"));
    ExpectValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher", REG_SZ, Z("Tolvanex Tests"));
    ExpectValue(HKEY_LOCAL_MACHINE, kUninstallKey, "URLInfoAbout", REG_SZ,
                Z("https://www.example.com/e2e"));

    ServiceSettings service;
    ASSERT_TRUE(ReadServiceSettings(kServiceA, &service));
    EXPECT_EQ(service.displayName, "E2E Dienst A");
    EXPECT_EQ(service.binaryPath, "\"" + installDir + "app.exe\" -dienst");
    EXPECT_EQ(service.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(service.startType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(service.errorControl, static_cast<DWORD>(SERVICE_ERROR_IGNORE));
    ASSERT_TRUE(ReadServiceSettings(kServiceB, &service));
    EXPECT_EQ(service.displayName, "E2E Dienst B");
    EXPECT_EQ(service.binaryPath, installDir + "app.exe");
    EXPECT_EQ(service.type, static_cast<DWORD>(SERVICE_WIN32_SHARE_PROCESS));
    EXPECT_EQ(service.startType, static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_EQ(service.errorControl, static_cast<DWORD>(SERVICE_ERROR_SEVERE));

    EXPECT_EQ(LogBody(),
              LogStart() +
                  "[reg_key]\r\n0_hkey=HKEY_LOCAL_MACHINE\r\n0_key=SOFTWARE\\TolvanexE2E\r\n"
                  "1_hkey=HKEY_CURRENT_USER\r\n1_key=Software\\TolvanexE2E\\Sub\r\n"
                  "[reg_val]\r\n0_hkey=HKEY_LOCAL_MACHINE\r\n0_key=SOFTWARE\\TolvanexE2E\r\n"
                  "0_value=Pfad\r\n1_hkey=HKEY_LOCAL_MACHINE\r\n1_key=SOFTWARE\\TolvanexE2E\r\n"
                  "1_value=Stufe\r\n2_hkey=HKEY_LOCAL_MACHINE\r\n2_key=SOFTWARE\\TolvanexE2E\r\n"
                  "2_value=Roh\r\n"
                  "3_hkey=HKEY_CURRENT_USER\r\n3_key=Environment\r\n3_value=TOLVANEX_E2E\r\n"
                  "4_hkey=HKLM\r\n4_key=SOFTWARE\\TolvanexE2E\r\n4_value=Kurz\r\n"
                  "[svc]\r\n0=TolvanexE2EA\r\n2=TolvanexE2EB\r\n");

    // Again into the same directory: the keys exist now and are not logged,
    // and the services exist, so none is created.
    run = RunRobot(Script() + ServiceFailure(kServiceA) + ServiceFailure(kServiceA) +
                       ServiceFailure(kServiceB) + "wait-window Setup 122\nclick 1\nwait-exit 0\n",
                   setup, temp);
    ASSERT_EQ(run.exitCode, 0) << run.transcript;
    EXPECT_EQ(LogBody(),
              LogStart() +
                  "[reg_val]\r\n0_hkey=HKEY_LOCAL_MACHINE\r\n0_key=SOFTWARE\\TolvanexE2E\r\n"
                  "0_value=Pfad\r\n1_hkey=HKEY_LOCAL_MACHINE\r\n1_key=SOFTWARE\\TolvanexE2E\r\n"
                  "1_value=Stufe\r\n2_hkey=HKEY_LOCAL_MACHINE\r\n2_key=SOFTWARE\\TolvanexE2E\r\n"
                  "2_value=Roh\r\n"
                  "3_hkey=HKEY_CURRENT_USER\r\n3_key=Environment\r\n3_value=TOLVANEX_E2E\r\n"
                  "4_hkey=HKLM\r\n4_key=SOFTWARE\\TolvanexE2E\r\n4_value=Kurz\r\n");
}

} // namespace
