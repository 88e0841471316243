#include "system/run_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string TempPath(const char* name) {
    return ::testing::TempDir() + name;
}

std::string ReadAll(const std::string& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return text;
    }
    char buffer[512];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, read);
    }
    std::fclose(file);
    return text;
}

TEST(RunLog, WritesEachLineThroughAsTheRunGoes) {
    std::string path = TempPath("run_log_lines.txt");
    RunLog log;
    ASSERT_TRUE(OpenRunLog(log, path.c_str(), "Tolvanex Setup", "C:\\s\\setup.exe",
                           "\"C:\\s\\setup.exe\" /quiet"));
    LogItemResult(log, "Ordner", "C:\\App\\", 0, nullptr);
    // Read while the log is still open: a killed run leaves these lines.
    EXPECT_EQ(ReadAll(path), "Tolvanex Setup | Pfad: C:\\s\\setup.exe | Befehlszeile: "
                             "\"C:\\s\\setup.exe\" /quiet\r\n"
                             "Ordner: C:\\App\\ | OK\r\n");
    LogItemResult(log, "Datei", "C:\\App\\a.txt", 5, "Zugriff verweigert.\r\n");
    LogMessage(log, "Die Datei konnte\nnicht kopiert werden!\n\n");
    CloseRunLog(log, 1603);
    EXPECT_EQ(ReadAll(path), "Tolvanex Setup | Pfad: C:\\s\\setup.exe | Befehlszeile: "
                             "\"C:\\s\\setup.exe\" /quiet\r\n"
                             "Ordner: C:\\App\\ | OK\r\n"
                             "Datei: C:\\App\\a.txt | Fehler 5: Zugriff verweigert.\r\n"
                             "Meldung: Die Datei konnte nicht kopiert werden!\r\n"
                             "Exitcode: 1603\r\n");
    std::remove(path.c_str());
}

TEST(RunLog, AnErrorBeyondThirtyOneBitsStaysPositive) {
    std::string path = TempPath("run_log_hresult.txt");
    RunLog log;
    ASSERT_TRUE(OpenRunLog(log, path.c_str(), "p", "x", ""));
    LogItemResult(log, "Dienst", "s", 0x80070005u, "");
    CloseRunLog(log, 0);
    EXPECT_NE(ReadAll(path).find("Dienst: s | Fehler 2147942405\r\nExitcode: 0\r\n"),
              std::string::npos);
    std::remove(path.c_str());
}

TEST(RunLog, AnOverlongLineIsCutNotOverrun) {
    std::string path = TempPath("run_log_long.txt");
    RunLog log;
    ASSERT_TRUE(OpenRunLog(log, path.c_str(), "p", "x", ""));
    WriteLogLine(log, std::string(10000, 'a').c_str());
    CloseRunLog(log, 0);
    std::string text = ReadAll(path);
    size_t start = text.find("\r\n") + 2;
    size_t end = text.find("\r\n", start);
    EXPECT_GT(end - start, 1000u);
    EXPECT_LT(end - start, 10000u);
    std::remove(path.c_str());
}

TEST(RunLog, ALogThatCannotBeCreatedWritesNothing) {
    RunLog log;
    std::string path = TempPath("no_such_folder/x/log.txt");
    EXPECT_FALSE(OpenRunLog(log, path.c_str(), "p", "x", ""));
    EXPECT_FALSE(OpenRunLog(log, "", "p", "x", ""));
    WriteLogLine(log, "ignored");
    CloseRunLog(log, 1639); // must not crash
    EXPECT_EQ(log.file, nullptr);
}

} // namespace
