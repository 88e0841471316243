#include "script/wizard_flow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using S = WizardStep;

const char* Name(S step) {
    switch (step) {
    case S::Welcome:
        return "welcome";
    case S::Licence:
        return "licence";
    case S::Readme:
        return "readme";
    case S::UserInfo:
        return "userinfo";
    case S::Destination:
        return "destination";
    case S::Ready:
        return "ready";
    case S::Install:
        return "install";
    case S::Done:
        return "done";
    }
    return "?";
}

// A stand-in user: answers each shown page with the next scripted result and
// records the pages in the order they were shown.
struct ScriptedUser {
    std::vector<int> results;
    size_t next;
    std::string shown;
};

int Answer(WizardStep step, void* context) {
    auto* user = static_cast<ScriptedUser*>(context);
    if (!user->shown.empty()) {
        user->shown += ' ';
    }
    user->shown += Name(step);
    if (user->next >= user->results.size()) {
        return kPageCancel; // a script that runs out ends the wizard
    }
    return user->results[user->next++];
}

std::string Walk(WizardSwitches switches, std::vector<int> results) {
    ScriptedUser user{std::move(results), 0, ""};
    RunWizardSteps(switches, Answer, &user);
    EXPECT_EQ(user.next, user.results.size()) << "script not used up: " << user.shown;
    return user.shown;
}

constexpr int N = kPageNext;
constexpr int B = kPageBack;
constexpr int C = kPageCancel;

struct WalkCase {
    const char* description;
    WizardSwitches switches; // licence, readme, userinfo
    std::vector<int> results;
    const char* shown;
};

const WalkCase kWalks[] = {
    {"all off: forward", {false, false, false}, {N, N, N, 0}, "welcome destination ready install"},
    {"all off: back from destination and ready",
     {false, false, false},
     {N, B, N, N, B, N, N, 0},
     "welcome destination welcome destination ready destination ready install"},
    {"all on: forward order",
     {true, true, true},
     {N, N, N, N, N, N, 0},
     "welcome licence readme userinfo destination ready install"},
    {"all on: back from userinfo shows readme, from destination userinfo",
     {true, true, true},
     {N, N, N, B, N, N, B, C},
     "welcome licence readme userinfo readme userinfo destination userinfo"},
    {"licence and readme: back from destination skips readme",
     {true, true, false},
     {N, N, N, B, N, N, N, C},
     "welcome licence readme destination licence readme destination ready"},
    {"readme only: back from destination and readme lead to welcome",
     {false, true, false},
     {N, N, B, N, B, C},
     "welcome readme destination welcome readme welcome"},
    {"licence only",
     {true, false, false},
     {N, N, B, N, C},
     "welcome licence destination licence destination"},
    {"userinfo only: back leads to welcome",
     {false, false, true},
     {N, N, B, B, C},
     "welcome userinfo destination userinfo welcome"},
    {"readme and userinfo: back from userinfo to readme, from readme to welcome",
     {false, true, true},
     {N, N, N, B, B, B, N, C},
     "welcome readme userinfo destination userinfo readme welcome readme"},
    {"licence and userinfo: back from userinfo to licence",
     {true, false, true},
     {N, N, N, B, B, C},
     "welcome licence userinfo destination userinfo licence"},
    {"cancel on the welcome page", {true, true, true}, {C}, "welcome"},
    {"cancel on the ready page", {false, false, false}, {N, N, C}, "welcome destination ready"},
    {"any result other than cancel and back moves forward",
     {false, false, false},
     {7, -1, 0, 0},
     "welcome destination ready install"},
    {"back on the welcome page stays there", {false, false, false}, {B, C}, "welcome welcome"},
};

TEST(WizardFlow, WalksThePagesAsTheUserAndSwitchesDecide) {
    for (const WalkCase& c : kWalks) {
        EXPECT_EQ(Walk(c.switches, c.results), c.shown) << c.description;
    }
}

TEST(WizardFlow, EndsAfterTheInstallationWhateverItReturns) {
    for (int result : {N, B, C}) {
        EXPECT_EQ(NextWizardStep(S::Install, result, {true, true, true}), S::Done);
    }
}

// The destination page's way back, for all eight combinations of the switches.
TEST(WizardFlow, BackFromDestinationPassesOverTheReadme) {
    for (int bits = 0; bits < 8; ++bits) {
        WizardSwitches s{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
        S expected = s.showUserInfo ? S::UserInfo : s.showLicense ? S::Licence : S::Welcome;
        EXPECT_EQ(NextWizardStep(S::Destination, B, s), expected) << bits;
        EXPECT_TRUE(IsWizardStepShown(NextWizardStep(S::Destination, B, s), s)) << bits;
    }
}

std::string ListedPages(const WizardSwitches& switches) {
    const char* pages[kMaxWizardPages];
    std::string text;
    for (size_t i = 0, count = ListWizardPages(switches, pages); i < count; ++i) {
        text += (text.empty() ? "" : " ") + std::string(pages[i]);
    }
    return text;
}

TEST(WizardFlow, ListsThePagesOfAForwardRunByTheirReportedNames) {
    EXPECT_EQ(ListedPages({false, false, false}), "welcome destination ready progress finish");
    EXPECT_EQ(ListedPages({false, true, false}),
              "welcome readme destination ready progress finish");
    EXPECT_EQ(ListedPages({true, true, true}),
              "welcome license readme userinfo destination ready progress finish");
}

} // namespace
