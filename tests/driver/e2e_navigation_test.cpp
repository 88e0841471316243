// The wizard's page order driven through setup.exe: every combination of the
// three page switches, forward and back, and a confirmed cancel on every page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

constexpr int kWelcome = 101;
constexpr int kLicence = 107;
constexpr int kReadme = 131;
constexpr int kUserInfo = 115;
constexpr int kDestination = 117;
constexpr int kReady = 120;

const char kTitle[] = "E2E Navigation";
const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E Navigation";

struct Switches {
    bool licence;
    bool readme;
    bool userInfo;
};

std::string Flag(bool on) {
    return on ? "yes" : "no";
}

std::vector<int> ShownPages(Switches s) {
    std::vector<int> pages = {kWelcome};
    if (s.licence) {
        pages.push_back(kLicence);
    }
    if (s.readme) {
        pages.push_back(kReadme);
    }
    if (s.userInfo) {
        pages.push_back(kUserInfo);
    }
    pages.push_back(kDestination);
    pages.push_back(kReady);
    return pages;
}

// Back leads to the nearest earlier page shown; from the destination page
// the way back passes over the readme page.
int ExpectedBack(const std::vector<int>& pages, size_t index) {
    size_t back = index - 1;
    if (pages[index] == kDestination && pages[back] == kReadme) {
        --back;
    }
    return pages[back];
}

class Navigation : public testing::Test {
protected:
    void SetUp() override {
        work = FreshWorkDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
        temp = work + "\\temp";
        destination = work + "\\dest";
        CreateDirectoryA(temp.c_str(), nullptr);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    void TearDown() override { RemoveTree(work); }

    std::string BuildFor(Switches s) {
        std::string ini =
            std::string("[main]\r\napptitle=") + kTitle + "\r\ndestdir=" + destination +
            "\r\n[dialogs]\r\nshow_license=" + Flag(s.licence) +
            "\r\nshow_readme=" + Flag(s.readme) + "\r\nshow_userinfo=" + Flag(s.userInfo) + "\r\n";
        std::vector<PayloadEntry> entries = SupportEntries();
        entries.push_back({"setup.ini", ini, ""});
        entries.push_back({"file_1", "application", ""});
        std::string setup = work + "\\setup.exe";
        EXPECT_TRUE(BuildSetup(setup, entries));
        return setup;
    }

    // Nothing of the installation may exist after a cancel.
    void ExpectNothingLeft() {
        EXPECT_TRUE(DirectoryIsEmpty(temp)) << "the staging directory is left in " << temp;
        EXPECT_FALSE(PathExists(destination));
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    }

    std::string work;
    std::string temp;
    std::string destination;
};

// Steps that take the wizard from `page` to the next page shown.
std::string Next(int from, int to) {
    std::string steps;
    if (from == kLicence) {
        steps += "expect-enabled 1 false\nclick 1000\n";
    }
    return steps + "click 1\nwait-window Setup " + std::to_string(to) + "\n";
}

// Forward to every page; on each, back once and forward again to it; at the
// ready page a confirmed cancel.
std::string ZigZagScript(const std::vector<int>& pages) {
    std::string script = "start ${SETUP}\nwait-window Setup 101\nexpect-enabled 12 false\n";
    for (size_t i = 1; i < pages.size(); ++i) {
        script += Next(pages[i - 1], pages[i]);
        int back = ExpectedBack(pages, i);
        script += "click 12\nwait-window Setup " + std::to_string(back) + "\n";
        size_t at = 0;
        while (pages[at] != back) {
            ++at;
        }
        for (; at < i; ++at) {
            script += Next(pages[at], pages[at + 1]);
        }
    }
    return script + "click 2\nanswer-msgbox yes Abbrechen\nwait-exit 0\n";
}

TEST_F(Navigation, EveryCombinationOfPageSwitchesForwardAndBack) {
    for (int bits = 0; bits < 8; ++bits) {
        Switches s{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
        SCOPED_TRACE("licence " + Flag(s.licence) + ", readme " + Flag(s.readme) +
                     ", user information " + Flag(s.userInfo));
        std::string setup = BuildFor(s);
        RobotRun run = RunRobot(ZigZagScript(ShownPages(s)), setup, temp);
        EXPECT_EQ(run.exitCode, 0) << run.transcript;
        ExpectNothingLeft();
    }
}

// Each way of cancelling, first declined (the page stays), then confirmed.
struct CancelCase {
    int page;
    const char* gesture;
};

const CancelCase kCancels[] = {
    {kWelcome, "click 2"},  {kLicence, "key escape"},     {kReadme, "close"},
    {kUserInfo, "click 2"}, {kDestination, "key escape"}, {kReady, "close"},
};

TEST_F(Navigation, ConfirmedCancelOnEveryPageLeavesNothing) {
    std::string setup = BuildFor({true, true, true});
    std::vector<int> pages = ShownPages({true, true, true});
    for (const CancelCase& c : kCancels) {
        SCOPED_TRACE("cancel on page " + std::to_string(c.page) + " by " + c.gesture);
        std::string script = "start ${SETUP}\nwait-window Setup 101\n";
        for (size_t i = 1; pages[i - 1] != c.page; ++i) {
            script += Next(pages[i - 1], pages[i]);
        }
        script += std::string(c.gesture) + "\nanswer-msgbox no Abbrechen\n" + "expect-stays 300\n" +
                  c.gesture + "\nanswer-msgbox yes Abbrechen\n" + "wait-exit 0\n";
        RobotRun run = RunRobot(script, setup, temp);
        EXPECT_EQ(run.exitCode, 0) << run.transcript;
        ExpectNothingLeft();
    }
}

} // namespace
