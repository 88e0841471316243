// The robot's command language: splitting lines into words and variables.
#include "tests/robot/robot_script.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(RobotScript, SplitsStepsIntoWords) {
    const struct {
        const char* script;
        std::vector<Words> steps;
    } cases[] = {
        {"click 1\n", {{"click", "1"}}},
        {"  expect-text 1 \"&Weiter >\"  # the button\n", {{"expect-text", "1", "&Weiter >"}}},
        {"# only a comment\n\n\t\nkey escape", {{"key", "escape"}}},
        {"type 301 \"a \\\"b\\\" c\\\\d\\ne\"", {{"type", "301", "a \"b\" c\\d\ne"}}},
        {"set X \"\"\r\nwait-exit 2\r\n", {{"set", "X", ""}, {"wait-exit", "2"}}},
        {"expect-text 50 \"Willkommen für #1\"", {{"expect-text", "50", "Willkommen für #1"}}},
    };
    for (const auto& entry : cases) {
        std::vector<RobotStep> steps;
        std::string error;
        ASSERT_TRUE(ParseRobotScript(entry.script, &steps, &error)) << entry.script << error;
        ASSERT_EQ(steps.size(), entry.steps.size()) << entry.script;
        for (size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].words, entry.steps[i]) << entry.script;
        }
    }
}

TEST(RobotScript, KeepsLineNumbersAndSource) {
    std::vector<RobotStep> steps;
    std::string error;
    ASSERT_TRUE(ParseRobotScript("# head\nclick 1   \n\nclose\n", &steps, &error));
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].line, 2);
    EXPECT_EQ(steps[0].source, "click 1");
    EXPECT_EQ(steps[1].line, 4);
}

TEST(RobotScript, RejectsBrokenQuotes) {
    for (const char* script : {"click \"1", "type 1 \"a\\qb\"", "ok 1\ntype 1 \"abc\\"}) {
        std::vector<RobotStep> steps;
        std::string error;
        EXPECT_FALSE(ParseRobotScript(script, &steps, &error)) << script;
        EXPECT_NE(error.find("line"), std::string::npos);
    }
}

TEST(RobotScript, ExpandsVariables) {
    const std::map<std::string, std::string> variables = {{"HOST", "Z:\\host.exe"}, {"N", "12"}};
    const struct {
        const char* word;
        bool expands;
        const char* result;
    } cases[] = {
        {"${HOST}", true, "Z:\\host.exe"},
        {"--x=${N}${N}", true, "--x=1212"},
        {"plain $ text {}", true, "plain $ text {}"},
        {"${MISSING}", false, ""},
        {"${HOST", false, ""},
    };
    for (const auto& entry : cases) {
        std::string expanded;
        std::string error;
        EXPECT_EQ(ExpandVariables(entry.word, variables, &expanded, &error), entry.expands)
            << entry.word;
        if (entry.expands) {
            EXPECT_EQ(expanded, entry.result);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

} // namespace
