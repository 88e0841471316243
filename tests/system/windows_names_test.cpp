#include "system/windows_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WindowsNames, FindsTheFirstProblemOfAName) {
    const struct {
        std::string name;
        NameProblem problem;
    } cases[] = {
        {"Daten", NameProblem::None},
        {"readme.txt", NameProblem::None},
        {"con.d", NameProblem::DeviceName},
        {"Nul .txt", NameProblem::DeviceName},
        {"COM\xb9", NameProblem::DeviceName},
        {"lpt9.log", NameProblem::DeviceName},
        {"com0", NameProblem::None},
        {"console", NameProblem::None},
        {"auxiliary.txt", NameProblem::None},
        {"Daten.", NameProblem::TrailingDotOrBlank},
        {"Daten ", NameProblem::TrailingDotOrBlank},
        {"con.", NameProblem::TrailingDotOrBlank},
        {"a:b", NameProblem::ForbiddenCharacter},
        {"wer?.txt", NameProblem::ForbiddenCharacter},
        {"a|b.", NameProblem::ForbiddenCharacter},
        {"tab\there", NameProblem::ControlCharacter},
        {std::string("nul\0x", 5), NameProblem::ControlCharacter},
        {"\x7f\xe4", NameProblem::None}, // DEL and CP1252 letters are names
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindNameProblem(c.name), c.problem) << c.name;
    }
}

} // namespace
