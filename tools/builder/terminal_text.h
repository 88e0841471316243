// Text from an installer or a script on its way to a terminal or a log:
// entry names, paths and values are a stranger's bytes, and a control
// character among them (an escape sequence, a carriage return) must not
// reach the terminal as one.
#pragma once

#include <string>

// The text with every control character (bytes 0x00 to 0x1F and 0x7F)
// written as "\xNN" (two lower-case hex digits); every other byte as it is.
std::string ShownText(const std::string& text);
