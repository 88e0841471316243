#include "uninstall/removal_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/uninstall_log.h"

namespace {

std::string EarlierLog(const std::string& path, int number) {
    char buffer[kEarlierLogPathSize];
    return EarlierLogPath(path.c_str(), number, buffer, sizeof buffer) ? buffer : "";
}

struct Expected {
    RemovalKind kind;
    std::string target;
};

class RemovalPlanTest : public testing::Test {
protected:
    void SetUp() override {
        std::string temp = testing::TempDir();
        char separator = temp.find('\\') != std::string::npos ? '\\' : '/';
        if (temp.back() != separator) {
            temp += separator;
        }
        directory = temp + "removal_plan_test" + separator;
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
        logPath = directory + kUninstallLogName;
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    void WriteLog(const std::string& text) { std::ofstream(logPath, std::ios::binary) << text; }

    LogStatus Read() { return ReadRemovalPlan(directory, plan); }

    // The steps before the three closing ones (registration, log, folder).
    std::vector<Expected> LoggedSteps() const {
        std::vector<Expected> steps;
        for (size_t i = 0; i + 3 < plan.steps.size(); ++i) {
            steps.push_back({plan.steps[i].kind, plan.steps[i].target});
        }
        return steps;
    }

    void ExpectLoggedSteps(const std::vector<Expected>& expected) const {
        std::vector<Expected> actual = LoggedSteps();
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(actual[i].kind, expected[i].kind) << "step " << i;
            EXPECT_EQ(actual[i].target, expected[i].target) << "step " << i;
        }
    }

    std::string directory;
    std::string logPath;
    RemovalPlan plan;
};

const char kHeader[] = "; Tolvanex uninstall log\r\n\r\n";

TEST_F(RemovalPlanTest, RemovesWhatTheInstallerLoggedInReverseOrder) {
    IniFile log;
    UninstallLogWriter writer{};
    ASSERT_TRUE(StartUninstallLog(writer, log, logPath.c_str(), "Beispiel"));
    LogFolderCount(writer, 2);
    LogFolder(writer, 1, "C:\\App\\Daten");
    LogFolder(writer, 2, "C:\\App\\Daten\\Vorlagen");
    LogFile(writer, "C:\\App\\a.exe");
    LogFile(writer, "C:\\App\\Daten\\Vorlagen\\b.txt");
    LogFileCount(writer);
    LogShellFolder(writer, 0, "C:\\Menu\\Beispiel");
    LogShellFolderCount(writer, 1);
    LogShellItem(writer, 0, "C:\\Menu\\Beispiel\\A.lnk");
    LogShellItem(writer, 1, "C:\\Desktop\\A.lnk");
    LogShellItemCount(writer, 2);
    LogCreatedRegistryKey(writer, "HKEY_LOCAL_MACHINE", "SOFTWARE\\Beispiel");
    LogWrittenRegistryValue(writer, "HKEY_LOCAL_MACHINE", "SOFTWARE\\Beispiel", "Pfad");
    LogCreatedRegistryKey(writer, "HKEY_CURRENT_USER", "Software\\Beispiel");
    LogWrittenRegistryValue(writer, "HKEY_CURRENT_USER", "Environment", "BEISPIEL");
    LogService(writer, 0, "DienstA");
    LogService(writer, 2, "DienstC"); // entry 1 failed: a gap

    ASSERT_EQ(Read(), LogStatus::Read);
    EXPECT_EQ(plan.applicationTitle, "Beispiel");
    ExpectLoggedSteps({
        {RemovalKind::Service, "DienstC"},
        {RemovalKind::Service, "DienstA"},
        {RemovalKind::RegistryValue, "Environment"},
        {RemovalKind::RegistryValue, "SOFTWARE\\Beispiel"},
        {RemovalKind::RegistryKey, "Software\\Beispiel"},
        {RemovalKind::RegistryKey, "SOFTWARE\\Beispiel"},
        {RemovalKind::Shortcut, "C:\\Desktop\\A.lnk"},
        {RemovalKind::Shortcut, "C:\\Menu\\Beispiel\\A.lnk"},
        {RemovalKind::ShellFolder, "C:\\Menu\\Beispiel"},
        {RemovalKind::File, "C:\\App\\Daten\\Vorlagen\\b.txt"},
        {RemovalKind::File, "C:\\App\\a.exe"},
        {RemovalKind::Folder, "C:\\App\\Daten\\Vorlagen"},
        {RemovalKind::Folder, "C:\\App\\Daten"},
    });
    EXPECT_EQ(plan.steps[2].root, RegistryRoot::CurrentUser);
    EXPECT_EQ(plan.steps[2].valueName, "BEISPIEL");
    EXPECT_EQ(plan.steps[3].valueName, "Pfad");
    EXPECT_EQ(plan.steps[4].root, RegistryRoot::CurrentUser);
    EXPECT_EQ(plan.steps[5].root, RegistryRoot::LocalMachine);

    size_t count = plan.steps.size();
    EXPECT_EQ(plan.steps[count - 3].kind, RemovalKind::Registration);
    EXPECT_EQ(plan.steps[count - 3].target, "Beispiel");
    EXPECT_EQ(plan.steps[count - 2].kind, RemovalKind::LogFile);
    EXPECT_EQ(plan.steps[count - 2].target, logPath);
    EXPECT_EQ(plan.steps[count - 1].kind, RemovalKind::DestinationFolder);
    EXPECT_EQ(plan.steps[count - 1].target, directory);
}

TEST_F(RemovalPlanTest, AcceptsSectionsInAnyOrderAndKeysOutOfOrder) {
    WriteLog(std::string(kHeader) +
             "[svc]\r\n3=Dritter\r\n0=Erster\r\n\r\n"
             "[files]\r\ncount=3\r\n10=C:\\A\\j\r\n9=C:\\A\\i\r\n 1 = C:\\A\\a \r\n"
             "[reg_val]\r\n0_value=V\r\n0_key=K\r\n0_hkey=HKEY_USERS\r\n"
             "[main]\r\nappptitle=Titel\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ExpectLoggedSteps({
        {RemovalKind::Service, "Dritter"},
        {RemovalKind::Service, "Erster"},
        {RemovalKind::RegistryValue, "K"},
        {RemovalKind::File, "C:\\A\\j"},
        {RemovalKind::File, "C:\\A\\i"},
        {RemovalKind::File, "C:\\A\\a"},
    });
    EXPECT_EQ(plan.steps[2].root, RegistryRoot::Users);
    EXPECT_EQ(plan.steps[2].valueName, "V");
}

TEST_F(RemovalPlanTest, IgnoresKeysThatAreNotEntries) {
    WriteLog(std::string(kHeader) +
             "[main]\r\nappptitle=T\r\n"
             "[folders]\r\ncount=2\r\nabc=C:\\x\r\n1x=C:\\y\r\n-1=C:\\z\r\n"
             "1234567890=C:\\too\\many\\digits\r\n2=C:\\kept\r\nno equals sign\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ExpectLoggedSteps({{RemovalKind::Folder, "C:\\kept"}});
}

TEST_F(RemovalPlanTest, RegistryEntriesWithMissingFieldsStayInThePlan) {
    WriteLog(
        std::string(kHeader) +
        "[main]\r\nappptitle=T\r\n"
        "[reg_key]\r\n0_key=Software\\A\r\n1_hkey=HKCU\r\n2_hkey=HKLM\r\n2_key=Software\\C\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ExpectLoggedSteps({
        {RemovalKind::RegistryKey, "Software\\C"},
        {RemovalKind::RegistryKey, ""}, // the safety rules refuse it
        {RemovalKind::RegistryKey, "Software\\A"},
    });
    // Names other than the five exact ones mean HKEY_LOCAL_MACHINE, as for the
    // installer; so does a missing name.
    EXPECT_EQ(plan.steps[0].root, RegistryRoot::LocalMachine);
    EXPECT_EQ(plan.steps[2].root, RegistryRoot::LocalMachine);
}

TEST_F(RemovalPlanTest, MarksTextsLongerThanTheInstallerCouldWrite) {
    std::string fits = "C:\\" + std::string(256, 'a');
    std::string tooLong = fits + "b";
    std::string longTitle(255, 't');
    WriteLog(std::string(kHeader) + "[main]\r\nappptitle=" + longTitle +
             "\r\n[files]\r\n1=" + fits + "\r\n2=" + tooLong + "\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ASSERT_EQ(plan.steps.size(), 5u);
    EXPECT_TRUE(plan.steps[0].tooLong);
    EXPECT_EQ(plan.steps[0].target, tooLong); // never cut into another path
    EXPECT_FALSE(plan.steps[1].tooLong);
    EXPECT_EQ(plan.steps[2].kind, RemovalKind::Registration);
    EXPECT_TRUE(plan.steps[2].tooLong);
}

TEST_F(RemovalPlanTest, ListsARepeatedEntryOnce) {
    WriteLog(std::string(kHeader) + "[main]\r\nappptitle=T\r\n"
                                    "[files]\r\n1=C:\\A\\x.txt\r\n2=c:/a/X.TXT\r\n3=\r\n4=\r\n"
                                    "[shell_items]\r\n0=C:\\A\\x.txt\r\n"
                                    "[folders]\r\n1=C:\\A\\Menu\r\n"
                                    "[shell_folders]\r\n0=C:\\A\\Menu\\\r\n"
                                    "[svc]\r\n0=Dienst\r\n1=Dienst\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ExpectLoggedSteps({
        {RemovalKind::Service, "Dienst"},
        {RemovalKind::Shortcut, "C:\\A\\x.txt"},
        {RemovalKind::ShellFolder, "C:\\A\\Menu\\"},
        {RemovalKind::File, ""}, // empty entries are passed over later
        {RemovalKind::File, ""},
    });
}

// A later installation into the same folder keeps the earlier log beside
// its own: what only the earlier one lists (keys and services that existed
// when the later one ran) is removed too, once, after the newer entries.
TEST_F(RemovalPlanTest, MergesTheEarlierLogsNewestFirst) {
    WriteLog(std::string(kHeader) + "[main]\r\nappptitle=T\r\n"
                                    "[files]\r\n1=C:\\A\\x.txt\r\ncount=1\r\n"
                                    "[svc]\r\n1=Neu\r\n");
    std::ofstream(EarlierLog(logPath, 1), std::ios::binary)
        << kHeader << "[main]\r\nappptitle=T\r\n[files]\r\n1=C:\\A\\x.txt\r\n2=C:\\A\\alt.txt\r\n"
        << "[reg_key]\r\n0_hkey=HKEY_CURRENT_USER\r\n0_key=Software\\T\r\n[svc]\r\n0=Dienst\r\n";
    std::ofstream(EarlierLog(logPath, 2), std::ios::binary) << "not a log\r\n[svc]\r\n0=Fremd\r\n";
    ASSERT_EQ(Read(), LogStatus::Read);

    std::vector<Expected> steps;
    for (const RemovalStep& step : plan.steps) {
        steps.push_back({step.kind, step.target});
    }
    const std::vector<Expected> expected = {
        {RemovalKind::Service, "Neu"},
        {RemovalKind::Service, "Dienst"},
        {RemovalKind::RegistryKey, "Software\\T"},
        {RemovalKind::File, "C:\\A\\x.txt"},
        {RemovalKind::File, "C:\\A\\alt.txt"},
        {RemovalKind::Registration, "T"},
        {RemovalKind::LogFile, logPath},
        {RemovalKind::LogFile, EarlierLog(logPath, 1)},
        {RemovalKind::DestinationFolder, directory},
    };
    ASSERT_EQ(steps.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(steps[i].kind, expected[i].kind) << "step " << i;
        EXPECT_EQ(steps[i].target, expected[i].target) << "step " << i;
    }
}

std::string ReplacedList(const std::string& logPath) {
    char buffer[kReplacedListPathSize];
    return ReplacedListPath(logPath.c_str(), buffer, sizeof buffer) ? buffer : "";
}

const RemovalStep* FindStep(const RemovalPlan& plan, RemovalKind kind, const std::string& target) {
    for (const RemovalStep& step : plan.steps) {
        if (step.kind == kind && step.target == target) {
            return &step;
        }
    }
    return nullptr;
}

// A target that was there before is kept, unless an older log of the folder
// installed it; the lists go with their logs.
TEST_F(RemovalPlanTest, MarksTheFilesThatExistedBefore) {
    WriteLog(std::string(kHeader) + "[main]\r\nappptitle=T\r\n"
                                    "[files]\r\n1=C:\\A\\neu.txt\r\n2=C:\\Daten\\vorher.txt\r\n"
                                    "3=C:\\A\\zweimal.txt\r\n4=C:\\A\\zweimal.txt\r\n"
                                    "5=C:\\A\\alt.txt\r\n6=C:\\A\\falsch.txt\r\n");
    std::ofstream(ReplacedList(logPath), std::ios::binary)
        << kReplacedListHeader << "[replaced]\r\n2=c:/daten/VORHER.txt\r\n4=C:\\A\\zweimal.txt\r\n"
        << "5=C:\\A\\alt.txt\r\n6=C:\\A\\anders.txt\r\n";
    const std::string earlier = EarlierLog(logPath, 1);
    std::ofstream(earlier, std::ios::binary)
        << kHeader << "[main]\r\nappptitle=T\r\n[files]\r\n1=C:\\A\\alt.txt\r\n";
    ASSERT_EQ(Read(), LogStatus::Read);

    const struct {
        const char* target;
        bool existedBefore;
        const char* why;
    } rows[] = {
        {"C:\\A\\neu.txt", false, "not replaced"},
        {"C:\\Daten\\vorher.txt", true, "replaced when first installed"},
        {"C:\\A\\zweimal.txt", false, "replaced only the installation's own copy"},
        {"C:\\A\\alt.txt", false, "the earlier installation had put it there"},
        {"C:\\A\\falsch.txt", false, "the list names another file under its number"},
    };
    for (const auto& row : rows) {
        const RemovalStep* step = FindStep(plan, RemovalKind::File, row.target);
        ASSERT_NE(step, nullptr) << row.target;
        EXPECT_EQ(step->existedBefore, row.existedBefore) << row.why;
    }
    EXPECT_NE(FindStep(plan, RemovalKind::LogFile, ReplacedList(logPath)), nullptr);
    EXPECT_EQ(plan.installedFiles.count("c:\\daten\\vorher.txt"), 1u);
}

TEST_F(RemovalPlanTest, ADamagedListOfReplacedFilesDamagesTheLog) {
    WriteLog(std::string(kHeader) + "[main]\r\nappptitle=T\r\n[files]\r\n1=C:\\Daten\\x\r\n");
    std::ofstream(ReplacedList(logPath), std::ios::binary) << "[replaced]\r\n1=C:\\Daten\\x\r\n";
    EXPECT_EQ(Read(), LogStatus::Damaged);
}

TEST_F(RemovalPlanTest, TellsWhichValuesLieInKeysTheInstallationCreated) {
    WriteLog(std::string(kHeader) +
             "[main]\r\nappptitle=T\r\n"
             "[reg_key]\r\n0_hkey=HKEY_LOCAL_MACHINE\r\n0_key=SOFTWARE\\Microsoft\\Windows "
             "NT\\CurrentVersion\\Beispiel\\\r\n"
             "[reg_val]\r\n0_hkey=HKEY_LOCAL_MACHINE\r\n0_key=SOFTWARE\\Microsoft\\Windows "
             "NT\\CurrentVersion\r\n0_value=RegisteredOwner\r\n"
             "1_hkey=HKEY_LOCAL_MACHINE\r\n1_key=software\\microsoft\\windows "
             "nt\\currentversion\\beispiel\\unten\r\n1_value=V\r\n"
             "2_hkey=HKEY_CURRENT_USER\r\n2_key=SOFTWARE\\Microsoft\\Windows "
             "NT\\CurrentVersion\\Beispiel\r\n2_value=V\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ASSERT_EQ(plan.steps[0].kind, RemovalKind::RegistryValue);
    EXPECT_FALSE(plan.steps[0].inCreatedKey) << "another root";
    EXPECT_TRUE(plan.steps[1].inCreatedKey) << "below the created key";
    EXPECT_FALSE(plan.steps[2].inCreatedKey) << "the key above it";
}

#ifdef _WIN32
// The uninstaller, the log and their folder are removed by the closing steps
// only, even when the log lists them too.
TEST_F(RemovalPlanTest, LeavesTheClosingStepsToTheEnd) {
    WriteLog(std::string(kHeader) + "[main]\r\nappptitle=T\r\n[files]\r\n1=" + directory +
             "UNINSTALL.EXE\r\n2=" + logPath + "\r\n3=" + directory +
             "kept.txt\r\n[folders]\r\n1=" + directory + "\r\n");
    ASSERT_EQ(Read(), LogStatus::Read);
    ExpectLoggedSteps({{RemovalKind::File, directory + "kept.txt"}});
}
#endif

struct DamageCase {
    const char* text;
    LogStatus expected;
    const char* why;
};

const DamageCase kDamageCases[] = {
    {"", LogStatus::Damaged, "an empty file"},
    {"[main]\r\nappptitle=T\r\n", LogStatus::Damaged, "no header"},
    {"; Tolvanex uninstall log, edited\r\n[main]\r\nappptitle=T\r\n", LogStatus::Damaged,
     "a header line with more text"},
    {"; Tolvanex uninstall\r\n[main]\r\nappptitle=T\r\n", LogStatus::Damaged, "half a header"},
    {"; Tolvanex uninstall log\r\n\r\n", LogStatus::Damaged, "no application title"},
    {"; Tolvanex uninstall log\r\n\r\n[main]\r\napptitle=T\r\n", LogStatus::Damaged,
     "the title under the script's key (two p)"},
    {"; Tolvanex uninstall log\r\n\r\n[main]\r\nappptitle=\r\n", LogStatus::Read, "an empty title"},
    {"; Tolvanex uninstall log\n\n[main]\nappptitle=T\n", LogStatus::Read, "LF line ends"},
    {"\x01\xff\x7f garbage", LogStatus::Damaged, "binary data"},
};

TEST_F(RemovalPlanTest, TellsADamagedLogFromAReadableOne) {
    for (const DamageCase& row : kDamageCases) {
        WriteLog(row.text);
        plan = RemovalPlan{};
        EXPECT_EQ(Read(), row.expected) << row.why;
        if (row.expected != LogStatus::Read) {
            EXPECT_TRUE(plan.steps.empty()) << row.why;
        }
    }
}

TEST_F(RemovalPlanTest, AMissingLogIsMissing) {
    EXPECT_EQ(Read(), LogStatus::Missing);
    EXPECT_TRUE(plan.steps.empty());
}

// Only a log beyond the size bound is garbage: the installer writes up to
// 65,534 files and lists of any count.
TEST_F(RemovalPlanTest, ALogWithTooManyEntriesIsDamaged) {
    std::string text = std::string(kHeader) + "[main]\r\nappptitle=T\r\n[files]\r\n";
    const std::string entry = "=C:\\" + std::string(200, 'f') + "\r\n";
    for (size_t i = 1; text.size() <= static_cast<size_t>(kMaxLogBytes); ++i) {
        text += std::to_string(i) + entry;
    }
    WriteLog(text);
    EXPECT_EQ(Read(), LogStatus::Damaged);
}

// More than the hundred thousand lines that were once the bound, and more
// than its eight MiB.
TEST_F(RemovalPlanTest, ALogOfAllTheFilesAndLongListsIsRead) {
    const int folders = 40000;
    std::string text = std::string(kHeader) + "[main]\r\nappptitle=Gross\r\n[folders]\r\ncount=" +
                       std::to_string(folders) + "\r\n";
    for (int j = 1; j <= folders; ++j) {
        text += std::to_string(j) + "=C:\\App\\d" + std::to_string(j) + "\r\n";
    }
    const std::string name = "C:\\App\\" + std::string(240, 'n');
    text += "\r\n[files]\r\n";
    for (int k = 1; k <= 65534; ++k) {
        text += std::to_string(k) + "=" + name + std::to_string(k) + "\r\n";
    }
    text += "count=65534\r\n";
    WriteLog(text);
    ASSERT_EQ(Read(), LogStatus::Read);
    EXPECT_EQ(plan.steps.size(), 65534u + folders + 3);
    EXPECT_EQ(plan.steps.front().target, name + "65534");
    EXPECT_EQ(plan.installedFiles.size(), 65534u);
}

} // namespace
