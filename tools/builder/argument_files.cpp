#include "tools/builder/argument_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool AppendLines(const char* path, std::vector<std::string>* expanded, std::string* problem) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        *problem = std::string(path) + ": " + strerror(errno);
        return false;
    }
    std::string line;
    int c = 0;
    while ((c = fgetc(file)) != EOF) {
        if (c != '\n') {
            line.push_back(static_cast<char>(c));
            continue;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            expanded->push_back(line);
        }
        line.clear();
    }
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *problem = std::string(path) + ": cannot be read";
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (!line.empty()) {
        expanded->push_back(line);
    }
    return true;
}

} // namespace

bool ExpandArgumentFiles(int argc, char** argv, std::vector<std::string>* expanded,
                         std::string* problem) {
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] == '@' && argv[i][1] != '\0') {
            if (!AppendLines(argv[i] + 1, expanded, problem)) {
                return false;
            }
        } else {
            expanded->push_back(argv[i]);
        }
    }
    return true;
}
