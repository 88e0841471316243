#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const char* text) {
    std::vector<std::string> arguments;
    char buffer[64];
    bool cut = false;
    const char* cursor = text;
    while ((cursor = NextArgument(cursor, buffer, sizeof buffer, &cut)) != nullptr) {
        arguments.push_back(buffer);
    }
    return arguments;
}

struct SplitCase {
    const char* description;
    const char* text;
    std::vector<std::string> expected;
};

TEST(NextArgument, FollowsTheRuntimeSplittingRules) {
    const SplitCase cases[] = {
        {"blanks and tabs separate", " a\tb  c ", {"a", "b", "c"}},
        {"a quoted value with blanks",
         "/dir=\"C:\\Program Files\\App\"",
         {"/dir=C:\\Program Files\\App"}},
        {"the whole switch quoted",
         "\"/dir=C:\\Program Files\\App\" /quiet",
         {"/dir=C:\\Program Files\\App", "/quiet"}},
        {"a trailing backslash stays", "/dir=C:\\App\\ /quiet", {"/dir=C:\\App\\", "/quiet"}},
        {"two backslashes before a quote give one", "\"C:\\App\\\\\" x", {"C:\\App\\", "x"}},
        {"three backslashes before a quote give one and a quote", "a\\\\\\\"b", {"a\\\"b"}},
        {"one backslash escapes the quote", "a\\\"b c", {"a\"b", "c"}},
        {"a doubled quote inside quotes is one quote", "\"a\"\"b\" c", {"a\"b", "c"}},
        {"an empty quoted argument counts", "\"\" x", {"", "x"}},
        {"an open quote runs to the end", "\"a b", {"a b"}},
        {"nothing at all", "   ", {}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(Split(c.text), c.expected) << c.description;
    }
}

TEST(NextArgument, ReportsAnArgumentCutToItsBuffer) {
    char buffer[4];
    bool cut = false;
    const char* next = NextArgument("abcdef g", buffer, sizeof buffer, &cut);
    EXPECT_TRUE(cut);
    EXPECT_STREQ(buffer, "abc");
    ASSERT_NE(next, nullptr);
    next = NextArgument(next, buffer, sizeof buffer, &cut);
    EXPECT_FALSE(cut);
    EXPECT_STREQ(buffer, "g");
}

TEST(SkipProgramName, TakesQuotesWithoutEscapes) {
    EXPECT_STREQ(SkipProgramName("\"C:\\My Dir\\setup.exe\" /quiet"), " /quiet");
    EXPECT_STREQ(SkipProgramName("C:\\dir\\setup.exe /quiet"), " /quiet");
    // A backslash before the closing quote does not escape it in the name.
    EXPECT_STREQ(SkipProgramName("\"C:\\dir\\\" /quiet"), " /quiet");
    EXPECT_STREQ(SkipProgramName("setup.exe"), "");
    EXPECT_STREQ(SkipProgramName(nullptr), "");
}

struct OptionCase {
    const char* description;
    const char* commandLine;
    bool good;
    SetupMode mode;
    const char* directory;
    const char* badArgument;
};

TEST(ParseSetupOptions, ReadsSwitchesAndRejectsBadOnes) {
    const OptionCase cases[] = {
        {"no arguments: the wizard", "setup.exe", true, SetupMode::Wizard, "", ""},
        {"quiet in capitals with a dash", "setup.exe -QUIET", true, SetupMode::Quiet, "", ""},
        {"passive", "setup.exe /Passive", true, SetupMode::Passive, "", ""},
        {"quiet wins over passive", "setup.exe /quiet /passive", true, SetupMode::Quiet, "", ""},
        {"a drive path", "setup.exe /quiet /DIR=D:\\Apps\\X", true, SetupMode::Quiet, "D:\\Apps\\X",
         ""},
        {"a quoted path with blanks", "setup.exe /quiet /dir=\"C:\\Program Files\\X\"", true,
         SetupMode::Quiet, "C:\\Program Files\\X", ""},
        {"a share", "setup.exe /quiet /dir=\\\\server\\share\\X", true, SetupMode::Quiet,
         "\\\\server\\share\\X", ""},
        {"a server without a share", "setup.exe /quiet /dir=\\\\server", false, SetupMode::Quiet,
         "", "/dir=\\\\server"},
        {"a relative path", "setup.exe /quiet /dir=Apps\\X", false, SetupMode::Quiet, "",
         "/dir=Apps\\X"},
        {"a drive-relative path", "setup.exe /quiet /dir=C:Apps", false, SetupMode::Quiet, "",
         "/dir=C:Apps"},
        {"an empty value", "setup.exe /quiet /log=", false, SetupMode::Quiet, "", "/log="},
        {"a switch without its value", "setup.exe /quiet /dir", false, SetupMode::Quiet, "",
         "/dir"},
        {"an unknown switch", "setup.exe /silent", false, SetupMode::Wizard, "", "/silent"},
        {"a bare word", "setup.exe quiet", false, SetupMode::Wizard, "", "quiet"},
        {"the first bad argument is named", "setup.exe /x /y /quiet", false, SetupMode::Quiet, "",
         "/x"},
        {"norestart and help are known", "setup.exe /norestart /? -HELP", true, SetupMode::Wizard,
         "", ""},
    };
    for (const OptionCase& c : cases) {
        SetupOptions options;
        EXPECT_EQ(ParseSetupOptions(c.commandLine, &options), c.good) << c.description;
        EXPECT_EQ(options.mode, c.mode) << c.description;
        EXPECT_STREQ(options.directory, c.directory) << c.description;
        EXPECT_STREQ(options.badArgument, c.badArgument) << c.description;
    }
}

TEST(ParseSetupOptions, ReadsNamesLogAndFlags) {
    SetupOptions options;
    ASSERT_TRUE(ParseSetupOptions("\"C:\\x\\setup.exe\" /passive \"/user=Erika Muster\" "
                                  "/Company=\"ACME GmbH\" /log=C:\\l.txt /norestart /help",
                                  &options));
    EXPECT_STREQ(options.userName, "Erika Muster");
    EXPECT_STREQ(options.companyName, "ACME GmbH");
    EXPECT_STREQ(options.logPath, "C:\\l.txt");
    EXPECT_TRUE(options.noRestart);
    EXPECT_TRUE(options.help);
    EXPECT_TRUE(IsUnattended(options));
}

TEST(ParseSetupOptions, RejectsAValueLongerThanItsField) {
    std::string line = "setup.exe /quiet /user=" + std::string(kTextSize, 'n');
    SetupOptions options;
    EXPECT_FALSE(ParseSetupOptions(line.c_str(), &options));
    EXPECT_STREQ(options.userName, "");
    line = "setup.exe /quiet /dir=C:\\" + std::string(kPathSize + 40, 'd');
    EXPECT_FALSE(ParseSetupOptions(line.c_str(), &options));
    EXPECT_STREQ(options.directory, "");
}

struct ExitCase {
    SetupOutcome outcome;
    int unattended;
};

TEST(SetupExitCode, UnattendedRunsSpeakWindowsInstallerCodesWizardRunsZero) {
    const ExitCase cases[] = {
        {SetupOutcome::Installed, 0},         {SetupOutcome::ItemFailed, 1603},
        {SetupOutcome::PayloadDamaged, 1620}, {SetupOutcome::NotAdministrator, 740},
        {SetupOutcome::AlreadyRunning, 1618}, {SetupOutcome::BadCommandLine, 1639},
    };
    for (const ExitCase& c : cases) {
        EXPECT_EQ(SetupExitCode(c.outcome, SetupMode::Quiet), c.unattended);
        EXPECT_EQ(SetupExitCode(c.outcome, SetupMode::Passive), c.unattended);
        EXPECT_EQ(SetupExitCode(c.outcome, SetupMode::Wizard), 0);
    }
}

} // namespace
