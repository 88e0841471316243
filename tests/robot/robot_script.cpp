#include "tests/robot/robot_script.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

bool Unescape(char c, char* out) {
    switch (c) {
    case '"':
    case '\\':
        *out = c;
        return true;
    case 'n':
        *out = '\n';
        return true;
    case 't':
        *out = '\t';
        return true;
    default:
        return false;
    }
}

// Splits one line; false with *error on a syntax error.
bool SplitLine(const std::string& line, std::vector<std::string>* words, std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            break;
        }
        std::string word;
        if (line[i] != '"') {
            while (i < line.size() && !IsBlank(line[i])) {
                word += line[i++];
            }
            words->push_back(word);
            continue;
        }
        for (++i;; ++i) {
            if (i >= line.size()) {
                *error = "unclosed quote";
                return false;
            }
            if (line[i] == '"') {
                ++i;
                break;
            }
            if (line[i] != '\\') {
                word += line[i];
                continue;
            }
            char escaped;
            if (i + 1 >= line.size() || !Unescape(line[i + 1], &escaped)) {
                *error = "unknown escape";
                return false;
            }
            word += escaped;
            ++i;
        }
        words->push_back(word);
    }
    return true;
}

} // namespace

bool ParseRobotScript(const std::string& script, std::vector<RobotStep>* steps,
                      std::string* error) {
    size_t start = 0;
    for (int number = 1; start <= script.size(); ++number) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) {
            end = script.size();
        }
        RobotStep step{number, script.substr(start, end - start), {}};
        std::string reason;
        if (!SplitLine(step.source, &step.words, &reason)) {
            *error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        if (!step.words.empty()) {
            while (!step.source.empty() && IsBlank(step.source.back())) {
                step.source.pop_back();
            }
            steps->push_back(step);
        }
        start = end + 1;
    }
    return true;
}

bool ExpandVariables(const std::string& word, const std::map<std::string, std::string>& variables,
                     std::string* expanded, std::string* error) {
    expanded->clear();
    size_t i = 0;
    while (i < word.size()) {
        if (word.compare(i, 2, "${") != 0) {
            *expanded += word[i++];
            continue;
        }
        size_t close = word.find('}', i + 2);
        if (close == std::string::npos) {
            *error = "unclosed variable in " + word;
            return false;
        }
        std::string name = word.substr(i + 2, close - i - 2);
        auto value = variables.find(name);
        if (value == variables.end()) {
            *error = "unknown variable " + name;
            return false;
        }
        *expanded += value->second;
        i = close + 1;
    }
    return true;
}
