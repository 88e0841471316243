// The robot's command language: one step per line, words separated by blanks,
// "double quotes" around words with blanks (escapes \" \\ \n \t), # starts a
// comment, ${NAME} stands for a variable's value.
#pragma once

#include <map>
#include <string>
#include <vector>

struct RobotStep {
    int line;                       // 1-based line in the script
    std::string source;             // the line as written, for the transcript
    std::vector<std::string> words; // command first, quotes removed
};

// Splits a script into its steps; blank and comment lines give none. On a
// syntax error (an unclosed quote, an unknown escape) returns false with the
// line and reason in *error.
bool ParseRobotScript(const std::string& script, std::vector<RobotStep>* steps, std::string* error);

// The word with every ${NAME} replaced by its value; false with *error naming
// the first unknown or unclosed variable.
bool ExpandVariables(const std::string& word, const std::map<std::string, std::string>& variables,
                     std::string* expanded, std::string* error);
