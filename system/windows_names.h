// What Windows makes of one name in a path: the characters and device names
// it refuses, and the trailing dots and blanks it drops. The builder refuses
// such names before they reach an installer; the uninstaller never removes
// a path whose names Windows would read otherwise than written.
#pragma once

#include <string_view>

enum class NameProblem {
    None,
    ControlCharacter,
    ForbiddenCharacter, // < > : " | ? *
    TrailingDotOrBlank, // dropped: "Daten." names "Daten"
    DeviceName,         // CON, PRN, AUX, NUL, COM1 to LPT9, with any extension
};

// The first of the problems above that `name` (CP1252, without separators)
// has.
NameProblem FindNameProblem(std::string_view name);
