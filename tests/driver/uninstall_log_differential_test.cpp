// The log writer against the platform's profile writer, under Wine: the same
// writes, at random and with the registry sections interleaved, give the same
// file, apart from the empty line after the comment, which the platform drops
// when it first rewrites the file and the log keeps.
#include "driver/uninstall_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Write {
    std::string section;
    std::string key;
    std::string value;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sections mostly in the order the installer opens them, now and then back
// to an earlier one, in any letter case; keys that sometimes repeat; values
// with blanks in front, separators and letters of the code page. Not with
// blanks at their end: the platform keeps those of the value it wrote last
// until it next reads the file, and drops them then, as the log does at once.
std::vector<Write> RandomWrites(std::mt19937& random, size_t count) {
    const char* const sections[] = {"folders", "files",   "shell_folders", "shell_items",
                                    "reg_key", "reg_val", "svc",           "Reg_Val"};
    const std::string alphabet = "abcXYZ019 \t\\:.;=_-\"'\xe4\xfc";
    std::vector<Write> writes;
    size_t current = 0;
    for (size_t i = 0; i < count; ++i) {
        if (random() % 8 == 0) {
            current = random() % std::size(sections);
        }
        Write write{sections[current], std::to_string(random() % 40), std::string()};
        if (random() % 3 == 0) {
            write.key += random() % 2 ? "_hkey" : "_KEY";
        }
        size_t length = random() % 10 == 0 ? 200 + random() % 59 : random() % 24;
        for (size_t c = 0; c < length; ++c) {
            write.value += alphabet[random() % alphabet.size()];
        }
        while (!write.value.empty() && (write.value.back() == ' ' || write.value.back() == '\t')) {
            write.value.pop_back();
        }
        writes.push_back(write);
    }
    return writes;
}

TEST(UninstallLogDifferential, RandomWritesMatchThePlatformsProfileWriter) {
    const std::string directory = testing::TempDir();
    const std::string ours = directory + "\\differential_ours.log";
    const std::string platform = directory + "\\differential_platform.log";
    std::mt19937 random(20261208);
    for (int round = 0; round < 40; ++round) {
        std::vector<Write> writes = RandomWrites(random, 60 + random() % 120);
        DeleteFileA(platform.c_str());
        std::ofstream(platform, std::ios::binary) << kUninstallLogHeader;
        WritePrivateProfileStringA(kLogMainSection, kLogTitleKey, "Titel", platform.c_str());
        {
            IniFile log;
            UninstallLogWriter writer;
            ASSERT_TRUE(StartUninstallLog(writer, log, ours.c_str(), "Titel"));
            for (const Write& write : writes) {
                ASSERT_TRUE(WriteLogEntry(writer, write.section.c_str(), write.key.c_str(),
                                          write.value.c_str()));
                ASSERT_TRUE(WritePrivateProfileStringA(write.section.c_str(), write.key.c_str(),
                                                       write.value.c_str(), platform.c_str()));
            }
        }
        std::string written = ReadAll(ours);
        ASSERT_EQ(written.compare(0, 28, kUninstallLogHeader), 0);
        written.erase(26, 2);
        ASSERT_EQ(written, ReadAll(platform)) << "round " << round;
        EXPECT_EQ(GetFileAttributesA((ours + kUninstallLogUpdateSuffix).c_str()),
                  INVALID_FILE_ATTRIBUTES)
            << "the replacing copy stays behind";
    }
    DeleteFileA(ours.c_str());
    DeleteFileA(platform.c_str());
}

} // namespace
