#include "uninstall/uninstall_options.h"

#include <gtest/gtest.h>

namespace {

struct OptionsCase {
    const char* commandLine;
    UninstallMode mode;
    uintptr_t handle;
    const char* path;
};

const OptionsCase kCases[] = {
    {"\"C:\\Program Files\\App\\uninstall.exe\"", UninstallMode::Interactive, 0, ""},
    {"C:\\App\\uninstall.exe", UninstallMode::Interactive, 0, ""},
    {"uninstall.exe /quiet", UninstallMode::Quiet, 0, ""},
    {"\"C:\\A B\\uninstall.exe\"   /QUIET  ", UninstallMode::Quiet, 0, ""},
    {"uninstall.exe /quiet2", UninstallMode::Interactive, 0, ""},
    {"uninstall.exe \"/quiet\"", UninstallMode::Quiet, 0, ""},
    {"/quiet", UninstallMode::Interactive, 0, ""}, // the program's own name
    {"", UninstallMode::Interactive, 0, ""},
    {"u.exe /cleanup 124 \"C:\\Program Files\\App\\uninstall.exe\"", UninstallMode::Cleanup, 124,
     "C:\\Program Files\\App\\uninstall.exe"},
    {"u.exe /Cleanup 18446744073709551615 C:\\x.exe", UninstallMode::Cleanup,
     static_cast<uintptr_t>(18446744073709551615ull), "C:\\x.exe"},
    {"u.exe /cleanup 124", UninstallMode::Interactive, 0, ""},
    {"u.exe /cleanup 0 C:\\x.exe", UninstallMode::Interactive, 0, ""},
    {"u.exe /cleanup 12a C:\\x.exe", UninstallMode::Interactive, 0, ""},
    {"u.exe /cleanup -5 C:\\x.exe", UninstallMode::Interactive, 0, ""},
    {"u.exe /cleanup 5 \"\"", UninstallMode::Interactive, 0, ""},
    {"u.exe /quiet /cleanup 7 C:\\x.exe", UninstallMode::Cleanup, 7, "C:\\x.exe"},
};

TEST(ParseUninstallOptions, ReadsTheModeAndTheCleanupArguments) {
    for (const OptionsCase& row : kCases) {
        UninstallOptions options = ParseUninstallOptions(row.commandLine);
        EXPECT_EQ(options.mode, row.mode) << row.commandLine;
        if (row.mode == UninstallMode::Cleanup) {
            EXPECT_EQ(options.waitHandle, row.handle) << row.commandLine;
            EXPECT_EQ(options.cleanupPath, row.path) << row.commandLine;
        }
    }
    EXPECT_EQ(ParseUninstallOptions(nullptr).mode, UninstallMode::Interactive);
}

TEST(FormatCleanupArguments, GivesWhatParseUninstallOptionsReads) {
    std::string commandLine = "\"C:\\Temp\\~un1.tmp\\uninstall.exe\" " +
                              FormatCleanupArguments(4242, "C:\\Program Files\\A B\\uninstall.exe");
    UninstallOptions options = ParseUninstallOptions(commandLine.c_str());
    EXPECT_EQ(options.mode, UninstallMode::Cleanup);
    EXPECT_EQ(options.waitHandle, 4242u);
    EXPECT_EQ(options.cleanupPath, "C:\\Program Files\\A B\\uninstall.exe");
}

} // namespace

namespace {

struct LogCase {
    const char* commandLine;
    const char* logPath;
    UninstallMode mode;
};

TEST(ParseUninstallOptions, ReadsTheLogPath) {
    const LogCase cases[] = {
        {"uninstall.exe /quiet /log=C:\\u.log", "C:\\u.log", UninstallMode::Quiet},
        {"uninstall.exe /LOG=\"C:\\Mit Blank\\u.log\"", "C:\\Mit Blank\\u.log",
         UninstallMode::Interactive},
        {"uninstall.exe \"/log=C:\\a b.log\" /quiet", "C:\\a b.log", UninstallMode::Quiet},
        {"uninstall.exe /log=", "", UninstallMode::Interactive},
        {"uninstall.exe /logfile", "", UninstallMode::Interactive},
    };
    for (const LogCase& c : cases) {
        UninstallOptions options = ParseUninstallOptions(c.commandLine);
        EXPECT_EQ(options.logPath, c.logPath) << c.commandLine;
        EXPECT_EQ(options.mode, c.mode) << c.commandLine;
    }
}

} // namespace
