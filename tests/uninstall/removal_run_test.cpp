#include "uninstall/removal_run.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

const ProtectedFolders kProtected = {"C:\\Windows", "C:\\Program Files"};

RemovalStep Step(RemovalKind kind, const std::string& target, const std::string& valueName = "") {
    return RemovalStep{kind, target, RegistryRoot::CurrentUser, valueName, false};
}

// Stands in for the platform: records what it is asked to remove and answers
// with the outcome set for that target (Removed by default).
struct FakePlatform {
    std::vector<std::string> performed;
    std::vector<size_t> progressIndexes;
    std::map<std::string, RemovalResult> answers;

    static RemovalResult Perform(const RemovalStep& step, void* context) {
        auto* fake = static_cast<FakePlatform*>(context);
        fake->performed.push_back(step.target);
        auto answer = fake->answers.find(step.target);
        return answer == fake->answers.end() ? RemovalResult{RemovalOutcome::Removed, 0}
                                             : answer->second;
    }
    static void Progress(const RemovalStep&, size_t index, size_t count, void* context) {
        auto* fake = static_cast<FakePlatform*>(context);
        EXPECT_LT(index, count);
        fake->progressIndexes.push_back(index);
    }
    RemovalReport Run(const std::vector<RemovalStep>& steps) {
        RemovalPlan plan{"Beispiel", steps};
        return RunRemovalPlan(plan, kProtected, RemovalCallbacks{Perform, Progress, this});
    }
};

struct StepCase {
    RemovalStep step;
    RemovalOutcome expected;
    bool reachesPlatform;
    const char* why;
};

std::vector<StepCase> StepCases() {
    RemovalStep tooLong = Step(RemovalKind::File, "C:\\App\\a.txt");
    tooLong.tooLong = true;
    RemovalStep tooLongTitle = Step(RemovalKind::Registration, "T");
    tooLongTitle.tooLong = true;
    RemovalStep replaced = Step(RemovalKind::File, "C:\\Daten\\vorher.txt");
    replaced.existedBefore = true;
    RemovalStep replacedInvalid = Step(RemovalKind::File, "vorher.txt");
    replacedInvalid.existedBefore = true;
    RemovalStep systemValue =
        Step(RemovalKind::RegistryValue, "Software\\Microsoft\\Windows NT\\CurrentVersion",
             "RegisteredOwner");
    systemValue.root = RegistryRoot::LocalMachine;
    RemovalStep createdValue = systemValue;
    createdValue.target += "\\Beispiel";
    createdValue.inCreatedKey = true;
    RemovalStep systemKey = Step(RemovalKind::RegistryKey, "SYSTEM\\CurrentControlSet\\X");
    systemKey.root = RegistryRoot::LocalMachine;
    return {
        {replaced, RemovalOutcome::ExistedBefore, false, "a file that was there before"},
        {replacedInvalid, RemovalOutcome::Invalid, false, "damaged before anything else"},
        {systemValue, RemovalOutcome::SystemItem, false, "a system value"},
        {createdValue, RemovalOutcome::Removed, true, "a value in a key the installation made"},
        {systemKey, RemovalOutcome::SystemItem, false, "a key in SYSTEM"},
        {Step(RemovalKind::RegistryValue, "Environment", "BEISPIEL"), RemovalOutcome::Removed, true,
         "a value in an existing key of the user"},
        {Step(RemovalKind::File, "C:\\App\\a.txt"), RemovalOutcome::Removed, true, "a file"},
        {Step(RemovalKind::File, ""), RemovalOutcome::Removed, false, "never created"},
        {Step(RemovalKind::Shortcut, ""), RemovalOutcome::Removed, false, "never created"},
        {Step(RemovalKind::Folder, ""), RemovalOutcome::Removed, false, "never created"},
        {tooLong, RemovalOutcome::Invalid, false, "cut by the log"},
        {tooLongTitle, RemovalOutcome::Invalid, false, "a title cut by the log"},
        {Step(RemovalKind::File, "a.txt"), RemovalOutcome::Invalid, false, "relative file"},
        {Step(RemovalKind::Shortcut, "..\\x.lnk"), RemovalOutcome::Invalid, false, "relative"},
        {Step(RemovalKind::Folder, "C:\\"), RemovalOutcome::Refused, false, "a drive root"},
        {Step(RemovalKind::ShellFolder, "C:\\Windows"), RemovalOutcome::Refused, false,
         "the Windows folder"},
        {Step(RemovalKind::Folder, "C:\\Program Files\\"), RemovalOutcome::Refused, false,
         "Program Files"},
        {Step(RemovalKind::Folder, "C:\\Program Files\\App"), RemovalOutcome::Removed, true,
         "a folder in Program Files"},
        {Step(RemovalKind::RegistryKey, "Software\\App"), RemovalOutcome::Removed, true, "a key"},
        {Step(RemovalKind::RegistryKey, ""), RemovalOutcome::Invalid, false, "an empty key path"},
        {Step(RemovalKind::RegistryKey, "HKEY_CURRENT_USER"), RemovalOutcome::Refused, false,
         "a root key"},
        {Step(RemovalKind::RegistryValue, "Software\\App", "V"), RemovalOutcome::Removed, true,
         "a value"},
        {Step(RemovalKind::RegistryValue, "Software\\App", ""), RemovalOutcome::Invalid, false,
         "a value without name"},
        {Step(RemovalKind::RegistryValue, "\\", "V"), RemovalOutcome::Invalid, false,
         "a value in an empty key path"},
        {Step(RemovalKind::Service, "Dienst"), RemovalOutcome::Removed, true, "a service"},
        {Step(RemovalKind::Service, ""), RemovalOutcome::Invalid, false, "a nameless service"},
        {Step(RemovalKind::Registration, ""), RemovalOutcome::Removed, true,
         "the platform guards the Uninstall key"},
        {Step(RemovalKind::LogFile, "C:\\App\\uninstall.log"), RemovalOutcome::Removed, true,
         "the log"},
        {Step(RemovalKind::DestinationFolder, "C:\\App\\"), RemovalOutcome::Removed, true,
         "the destination"},
        {Step(RemovalKind::DestinationFolder, "C:\\Program Files\\"), RemovalOutcome::Removed,
         false, "an installation into Program Files itself keeps it silently"},
    };
}

TEST(CheckStep, OnlySafeStepsReachThePlatform) {
    for (const StepCase& row : StepCases()) {
        bool mustPerform = true;
        RemovalResult result = CheckStep(row.step, kProtected, mustPerform);
        EXPECT_EQ(result.outcome, row.expected) << row.why;
        EXPECT_EQ(mustPerform, row.reachesPlatform) << row.why;
    }
}

TEST(RunRemovalPlan, ReportsRefusalsWithoutTouchingThem) {
    FakePlatform fake;
    RemovalReport report = fake.Run({
        Step(RemovalKind::RegistryKey, "HKCU"),
        Step(RemovalKind::File, "C:\\App\\a.txt"),
        Step(RemovalKind::Folder, "C:\\"),
        Step(RemovalKind::File, ""),
        Step(RemovalKind::Folder, "C:\\App\\Daten"),
    });
    EXPECT_EQ(fake.performed, (std::vector<std::string>{"C:\\App\\a.txt", "C:\\App\\Daten"}));
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0].step.target, "HKCU");
    EXPECT_EQ(report.failures[0].result.outcome, RemovalOutcome::Refused);
    EXPECT_EQ(report.failures[1].step.target, "C:\\");
    EXPECT_EQ(report.failures[1].result.outcome, RemovalOutcome::Refused);
    EXPECT_EQ(ExitCodeFor(report), kExitIncomplete);
}

TEST(RunRemovalPlan, GoesOnAfterAFailureAndReportsItWithItsReason) {
    FakePlatform fake;
    fake.answers["C:\\App\\in use.dll"] = {RemovalOutcome::InUse, 32};
    fake.answers["C:\\App"] = {RemovalOutcome::NotEmpty, 145};
    RemovalReport report = fake.Run({
        Step(RemovalKind::File, "C:\\App\\in use.dll"),
        Step(RemovalKind::File, "C:\\App\\b.txt"),
        Step(RemovalKind::Folder, "C:\\App"),
        Step(RemovalKind::LogFile, "C:\\App\\uninstall.log"),
    });
    EXPECT_EQ(fake.performed.size(), 4u);
    ASSERT_EQ(report.failures.size(), 2u);
    EXPECT_EQ(report.failures[0].result.outcome, RemovalOutcome::InUse);
    EXPECT_EQ(report.failures[0].result.systemError, 32u);
    EXPECT_EQ(report.failures[1].step.kind, RemovalKind::Folder);
    EXPECT_EQ(report.failures[1].result.outcome, RemovalOutcome::NotEmpty);
}

TEST(RunRemovalPlan, KeepsThePlansOrderAndReportsProgressForEveryStep) {
    FakePlatform fake;
    std::vector<RemovalStep> steps = {
        Step(RemovalKind::Service, "Dienst"),
        Step(RemovalKind::RegistryValue, "Software\\App", "V"),
        Step(RemovalKind::RegistryKey, "Software\\App"),
        Step(RemovalKind::Shortcut, "C:\\Menu\\App.lnk"),
        Step(RemovalKind::File, ""),
        Step(RemovalKind::Folder, "C:\\App\\Daten"),
    };
    RemovalReport report = fake.Run(steps);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(ExitCodeFor(report), kExitRemoved);
    EXPECT_EQ(fake.performed, (std::vector<std::string>{"Dienst", "Software\\App", "Software\\App",
                                                        "C:\\Menu\\App.lnk", "C:\\App\\Daten"}));
    EXPECT_EQ(fake.progressIndexes, (std::vector<size_t>{0, 1, 2, 3, 4, 5}));
}

TEST(RunRemovalPlan, RunsWithoutAProgressCallback) {
    FakePlatform fake;
    RemovalPlan plan{"Beispiel", {Step(RemovalKind::File, "C:\\App\\a.txt")}};
    RemovalReport report =
        RunRemovalPlan(plan, kProtected, RemovalCallbacks{FakePlatform::Perform, nullptr, &fake});
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(fake.performed.size(), 1u);
}

} // namespace

namespace {

struct ExitCase {
    const char* description;
    std::vector<RemovalFailure> failures;
    int expected;
};

RemovalFailure Kept(RemovalKind kind, RemovalOutcome outcome) {
    return RemovalFailure{RemovalStep{kind, "C:\\App", RegistryRoot::LocalMachine, "", false},
                          RemovalResult{outcome, 0}};
}

TEST(ExitCodeFor, FoldersKeptForAUsersFilesAloneAreSuccess) {
    const ExitCase cases[] = {
        {"nothing remains", {}, kExitRemoved},
        {"a folder holds a user's file",
         {Kept(RemovalKind::Folder, RemovalOutcome::NotEmpty)},
         kExitRemoved},
        {"the destination and a shell folder hold a user's files",
         {Kept(RemovalKind::DestinationFolder, RemovalOutcome::NotEmpty),
          Kept(RemovalKind::ShellFolder, RemovalOutcome::NotEmpty)},
         kExitRemoved},
        {"a file in use keeps its folder",
         {Kept(RemovalKind::File, RemovalOutcome::InUse),
          Kept(RemovalKind::Folder, RemovalOutcome::NotEmpty)},
         kExitIncomplete},
        {"a refused folder", {Kept(RemovalKind::Folder, RemovalOutcome::Refused)}, kExitIncomplete},
        {"a folder that could not be removed otherwise",
         {Kept(RemovalKind::Folder, RemovalOutcome::AccessDenied)},
         kExitIncomplete},
        {"a registry key with subkeys",
         {Kept(RemovalKind::RegistryKey, RemovalOutcome::NotEmpty)},
         kExitIncomplete},
        {"a file that existed before",
         {Kept(RemovalKind::File, RemovalOutcome::ExistedBefore)},
         kExitIncomplete},
    };
    for (const ExitCase& c : cases) {
        RemovalReport report{c.failures};
        EXPECT_EQ(ExitCodeFor(report), c.expected) << c.description;
    }
}

TEST(RunRemovalPlan, TellsWhatBecameOfEveryStepInOrder) {
    struct Seen {
        std::vector<std::pair<std::string, RemovalOutcome>> steps;
    } seen;
    RemovalPlan plan;
    plan.steps = {Step(RemovalKind::File, "C:\\App\\a.txt"), Step(RemovalKind::Folder, "C:\\"),
                  Step(RemovalKind::File, "")};
    RemovalCallbacks callbacks{
        [](const RemovalStep&, void*) {
            return RemovalResult{RemovalOutcome::Removed, 0};
        },
        nullptr, &seen,
        [](const RemovalStep& step, const RemovalResult& result, void* context) {
            static_cast<Seen*>(context)->steps.emplace_back(step.target, result.outcome);
        }};
    RunRemovalPlan(plan, kProtected, callbacks);
    EXPECT_EQ(seen.steps, (std::vector<std::pair<std::string, RemovalOutcome>>{
                              {"C:\\App\\a.txt", RemovalOutcome::Removed},
                              {"C:\\", RemovalOutcome::Refused},
                              {"", RemovalOutcome::Removed}}));
}

} // namespace
