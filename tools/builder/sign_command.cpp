#include "tools/builder/sign_command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

// A path as one word for the shell that runs the command.
std::string Quoted(const std::string& path) {
#ifdef _WIN32
    // Windows paths hold no double quote.
    return "\"" + path + "\"";
#else
    std::string quoted = "'";
    for (char c : path) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
#endif
}

std::string ReplaceAll(std::string text, const char* placeholder, const std::string& value) {
    const size_t length = strlen(placeholder);
    for (size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, length, value);
    }
    return text;
}

std::string LastLine(const std::string& path) {
    std::string last;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return last;
    }
    char line[1024];
    while (fgets(line, sizeof(line), file) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (!text.empty()) {
            last = text;
        }
    }
    fclose(file);
    return last;
}

bool IsNonEmptyFile(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    const bool hasByte = fgetc(file) != EOF;
    fclose(file);
    return hasByte;
}

int RunShell(const std::string& command) {
#ifdef _WIN32
    // cmd.exe strips the outermost pair of quotes.
    return std::system(("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace

bool RunSignCommand(const std::string& command, const std::string& inPath,
                    const std::string& outPath, const std::string& logPath, std::string* failure) {
    const bool inPlace = command.find("{in}") == std::string::npos;
    if (!inPlace) {
        remove(outPath.c_str());
    }
    std::string line = ReplaceAll(command, "{in}", Quoted(inPath));
    line = ReplaceAll(line, "{out}", Quoted(outPath));
    const int exitCode = RunShell("(" + line + ") >" + Quoted(logPath) + " 2>&1");
    const std::string last = LastLine(logPath);
    remove(logPath.c_str());
    if (exitCode != 0) {
        *failure = "signing command failed with exit code " + std::to_string(exitCode);
    } else if (!IsNonEmptyFile(outPath)) {
        *failure = "signing command left no signed file";
    } else {
        return true;
    }
    if (!last.empty()) {
        *failure += ": " + last;
    }
    return false;
}
