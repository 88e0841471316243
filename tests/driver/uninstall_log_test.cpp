#include "driver/uninstall_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string EarlierLog(const std::string& path, int number) {
    char buffer[kEarlierLogPathSize];
    return EarlierLogPath(path.c_str(), number, buffer, sizeof buffer) ? buffer : "";
}

std::string TempPath(const char* name) {
    std::string dir = testing::TempDir();
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') {
        dir += '/';
    }
    return dir + name;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The log's text after its comment line, with the blank lines that the
// profile writer may keep or drop left out.
std::string BodyWithoutBlankLines(const std::string& text) {
    std::string body;
    size_t start = text.find("\r\n") + 2;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            body += text.substr(start, end - start) + "\n";
        }
        start = end + 2;
    }
    return body;
}

class UninstallLogTest : public testing::Test {
protected:
    void SetUp() override {
        path = TempPath("uninstall_log_test.log");
        std::remove(path.c_str());
    }
    void TearDown() override {
        std::remove(path.c_str());
        std::remove(EarlierLog(path, 1).c_str());
    }

    std::string path;
    IniFile log;
    UninstallLogWriter writer{};
};

TEST_F(UninstallLogTest, WritesHeaderSectionsAndNumberingBasesInOrder) {
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "Demo App"));
    LogFolderCount(writer, 2);
    LogFolder(writer, 1, "C:\\App\\");
    LogFolder(writer, 2, "C:\\App\\Data");
    LogFile(writer, "C:\\App\\a.exe");
    LogFile(writer, "");
    LogFileCount(writer);
    LogShellFolder(writer, 0, "C:\\Menu\\App");
    LogShellFolderCount(writer, 1);
    LogShellItem(writer, 0, "C:\\Menu\\App\\a.lnk");
    LogShellItem(writer, 1, "C:\\Desk\\a.lnk");
    LogShellItemCount(writer, 2);
    LogWrittenRegistryValue(writer, "HKCU", "Software\\Old", "Path");
    LogCreatedRegistryKey(writer, "HKEY_LOCAL_MACHINE", "SOFTWARE\\Demo");
    LogCreatedRegistryKey(writer, "HKEY_CURRENT_USER", "Software\\Demo");
    LogWrittenRegistryValue(writer, "HKEY_LOCAL_MACHINE", "SOFTWARE\\Demo", "Level");
    LogService(writer, 0, "DemoSvc");
    LogService(writer, 2, "DemoSvc3");

    std::string text = ReadAll(path);
#ifdef _WIN32
    // The platform's profile writer drops the empty line when it rewrites.
    EXPECT_EQ(text.substr(0, 26), std::string("; Tolvanex uninstall log\r\n"));
#else
    EXPECT_EQ(text.substr(0, 28), std::string("; Tolvanex uninstall log\r\n\r\n"));
#endif
    EXPECT_EQ(BodyWithoutBlankLines(text), "[main]\n"
                                           "appptitle=Demo App\n"
                                           "[folders]\n"
                                           "count=2\n"
                                           "1=C:\\App\\\n"
                                           "2=C:\\App\\Data\n"
                                           "[files]\n"
                                           "1=C:\\App\\a.exe\n"
                                           "2=\n"
                                           "count=2\n"
                                           "[shell_folders]\n"
                                           "0=C:\\Menu\\App\n"
                                           "count=1\n"
                                           "[shell_items]\n"
                                           "0=C:\\Menu\\App\\a.lnk\n"
                                           "1=C:\\Desk\\a.lnk\n"
                                           "count=2\n"
                                           "[reg_val]\n"
                                           "0_hkey=HKCU\n"
                                           "0_key=Software\\Old\n"
                                           "0_value=Path\n"
                                           "1_hkey=HKEY_LOCAL_MACHINE\n"
                                           "1_key=SOFTWARE\\Demo\n"
                                           "1_value=Level\n"
                                           "[reg_key]\n"
                                           "0_hkey=HKEY_LOCAL_MACHINE\n"
                                           "0_key=SOFTWARE\\Demo\n"
                                           "1_hkey=HKEY_CURRENT_USER\n"
                                           "1_key=Software\\Demo\n"
                                           "[svc]\n"
                                           "0=DemoSvc\n"
                                           "2=DemoSvc3\n");
}

TEST_F(UninstallLogTest, EmptyListsStillLogTheirCounts) {
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), ""));
    LogFolderCount(writer, 0);
    LogFileCount(writer);
    LogShellFolderCount(writer, 0);
    LogShellItemCount(writer, 0);
    EXPECT_EQ(BodyWithoutBlankLines(ReadAll(path)), "[main]\n"
                                                    "appptitle=\n"
                                                    "[folders]\n"
                                                    "count=0\n"
                                                    "[files]\n"
                                                    "count=0\n"
                                                    "[shell_folders]\n"
                                                    "count=0\n"
                                                    "[shell_items]\n"
                                                    "count=0\n");
}

// Thousands of keys, written again at random in other letter cases and
// across sections: each key keeps one line, its first spelling and its last
// value, as the profile writer's files have them, however large the log.
TEST_F(UninstallLogTest, FindsEveryKeyAgainInALargeLog) {
    struct Section {
        const char* name;
        std::vector<std::pair<std::string, std::string>> lines;
    };
    std::vector<Section> model = {{"files", {}}, {"reg_key", {}}, {"reg_val", {}}};
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "Big"));
    std::mt19937 random(7);
    for (int i = 0; i < 6000; ++i) {
        Section& section = model[random() % model.size()];
        std::string key = "k" + std::to_string(random() % 2500);
        if (random() % 2 == 0) {
            key[0] = 'K';
        }
        const std::string value = "v" + std::to_string(i);
        ASSERT_TRUE(WriteLogEntry(writer, section.name, key.c_str(), value.c_str()));
        bool found = false;
        for (auto& line : section.lines) {
            if (std::tolower(line.first[0]) == std::tolower(key[0]) &&
                line.first.substr(1) == key.substr(1)) {
                line.second = value;
                found = true;
            }
        }
        if (!found) {
            section.lines.emplace_back(key, value);
        }
    }
    std::string expected = "[main]\nappptitle=Big\n";
    // Each section whole, in whatever order their first entries opened them.
    std::string body = BodyWithoutBlankLines(ReadAll(path));
    for (const Section& section : model) {
        std::string text = std::string("[") + section.name + "]\n";
        for (const auto& line : section.lines) {
            text += line.first + "=" + line.second + "\n";
        }
        EXPECT_NE(body.find(text), std::string::npos) << section.name;
        expected += text;
    }
    EXPECT_EQ(body.size(), expected.size());
}

TEST_F(UninstallLogTest, ASecondLogStartsAfresh) {
    {
        std::ofstream old(path, std::ios::binary);
        old << "[files]\r\n1=C:\\old\r\ncount=1\r\n[svc]\r\n0=Old\r\n";
    }
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "Again"));
    LogFile(writer, "C:\\new");
    EXPECT_EQ(BodyWithoutBlankLines(ReadAll(path)), "[main]\n"
                                                    "appptitle=Again\n"
                                                    "[files]\n"
                                                    "1=C:\\new\n");
}

TEST_F(UninstallLogTest, EarlierLogsAreKeptUnderTheFirstFreeNumber) {
    const std::string first = EarlierLog(path, 1);
    const std::string second = EarlierLog(path, 2);
    std::remove(first.c_str());
    std::remove(second.c_str());
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "One"));
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "Two"));
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "Three"));

    EXPECT_NE(ReadAll(first).find("appptitle=One"), std::string::npos);
    EXPECT_NE(ReadAll(second).find("appptitle=Two"), std::string::npos);
    const std::string current = ReadAll(path);
    // Wine's profile writer may drop the blank line after the comment.
    EXPECT_EQ(current.compare(0, 26, "; Tolvanex uninstall log\r\n"), 0);
    EXPECT_NE(current.find("appptitle=Three"), std::string::npos);
    EXPECT_EQ(current.find("appptitle=Two"), std::string::npos);
    std::remove(first.c_str());
    std::remove(second.c_str());
}

std::string ReplacedList(const std::string& logPath) {
    char buffer[kReplacedListPathSize];
    return ReplacedListPath(logPath.c_str(), buffer, sizeof buffer) ? buffer : "";
}

// The replaced targets are listed beside the log under the number of the
// file that replaced them, and go with the log when a later installation
// keeps it.
TEST_F(UninstallLogTest, ListsReplacedTargetsBesideTheLogAndKeepsThemWithIt) {
    const std::string list = ReplacedList(path);
    ASSERT_EQ(list, TempPath("uninstall_log_test.replaced"));
    {
        IniFile log;
        UninstallLogWriter writer{};
        ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "T"));
        LogFile(writer, "C:\\A\\neu.txt");
        EXPECT_TRUE(LogReplacedFile(writer, "C:\\Daten\\vorher.txt"));
        LogFile(writer, "C:\\Daten\\vorher.txt");
        // Before the installation ends, so that an ended one leaves it too.
        EXPECT_EQ(ReadAll(list),
                  std::string(kReplacedListHeader) + "[replaced]\r\n2=C:\\Daten\\vorher.txt\r\n");
    }
    {
        IniFile log;
        UninstallLogWriter writer{};
        ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "T"));
    }
    EXPECT_FALSE(std::ifstream(list).good()) << "the new log replaced nothing";
    const std::string earlierList = ReplacedList(EarlierLog(path, 1));
    EXPECT_NE(ReadAll(earlierList).find("2=C:\\Daten\\vorher.txt"), std::string::npos);
    std::remove(earlierList.c_str());
}

// The installer keeps a target whose replacement it could not record, so
// the writer must say so.
TEST_F(UninstallLogTest, SaysWhenAReplacedTargetCannotBeRecorded) {
    const std::string list = ReplacedList(path);
    // A folder in the list's place, not empty, so that nothing removes it.
    std::filesystem::create_directory(list);
    std::ofstream(list + "/keep", std::ios::binary) << "x";
    {
        IniFile log;
        UninstallLogWriter writer{};
        ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "T"));
        EXPECT_FALSE(LogReplacedFile(writer, "C:\\Daten\\vorher.txt"));
    }
    std::error_code ignored;
    std::filesystem::remove_all(list, ignored);
}

TEST_F(UninstallLogTest, AListWithoutItsLogIsDroppedWhenALogStarts) {
    std::ofstream(ReplacedList(path), std::ios::binary) << "[replaced]\r\n1=C:\\x\r\n";
    IniFile log;
    UninstallLogWriter writer{};
    ASSERT_TRUE(StartUninstallLog(writer, log, path.c_str(), "T"));
    EXPECT_FALSE(std::ifstream(ReplacedList(path)).good());
}

TEST(EarlierLogPath, NumbersTheNameBeforeItsExtension) {
    EXPECT_EQ(EarlierLog("C:\\App\\uninstall.log", 3), "C:\\App\\uninstall.3.log");
    EXPECT_EQ(EarlierLog("C:\\App\\uninstall", 1), "");
    char small[8];
    EXPECT_FALSE(EarlierLogPath("C:\\App\\uninstall.log", 1, small, sizeof small));
}

TEST_F(UninstallLogTest, ReportsALogThatCannotBeCreated) {
    std::string missing = TempPath("no_such_directory/uninstall.log");
    EXPECT_FALSE(StartUninstallLog(writer, log, missing.c_str(), "Demo"));
}

} // namespace
