// Arguments of the form @FILE stand for the lines of FILE, so that long item
// lists need not pass through a command line (Windows caps one at 32,767
// characters).
#pragma once

#include <string>
#include <vector>

// Copies the arguments into `expanded`, each @FILE replaced by the lines of
// FILE in order: one argument per line, a CR before the line feed dropped,
// empty lines skipped. Lines of FILE are taken as written, so an "@" inside
// it is not read further. False when a FILE cannot be read, with the file
// named in `problem`.
bool ExpandArgumentFiles(int argc, char** argv, std::vector<std::string>* expanded,
                         std::string* problem);
