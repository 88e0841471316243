#include "uninstall/uninstall_options.h"
#include "system/bounded_text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits at blanks outside double quotes; quotes are dropped. Paths end in a
// file name, so the platform's backslash-before-quote rule is not needed.
std::vector<std::string> SplitArguments(const char* commandLine) {
    std::vector<std::string> arguments;
    std::string argument;
    bool quoted = false;
    bool inArgument = false;
    for (const char* c = commandLine; *c != '\0'; ++c) {
        if (*c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (IsBlank(*c) && !quoted) {
            if (inArgument) {
                arguments.push_back(argument);
            }
            argument.clear();
            inArgument = false;
        } else {
            argument += *c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(argument);
    }
    return arguments;
}

bool EqualsIgnoringCase(const std::string& text, const char* word) {
    return EqualIgnoringAsciiCase(text.data(), text.size(), word, std::strlen(word));
}

// A handle value written in decimal, nothing else.
bool ParseHandle(const std::string& text, uintptr_t& handle) {
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    handle = static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 10));
    return handle != 0;
}

} // namespace

UninstallOptions ParseUninstallOptions(const char* commandLine) {
    UninstallOptions options{UninstallMode::Interactive, 0, std::string(), std::string()};
    std::vector<std::string> arguments = SplitArguments(commandLine != nullptr ? commandLine : "");
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (EqualsIgnoringCase(arguments[i], "/quiet")) {
            options.mode = UninstallMode::Quiet;
        } else if (arguments[i].size() > 5 &&
                   EqualsIgnoringCase(arguments[i].substr(0, 5), "/log=")) {
            options.logPath = arguments[i].substr(5);
        } else if (EqualsIgnoringCase(arguments[i], "/cleanup") && i + 2 < arguments.size() &&
                   ParseHandle(arguments[i + 1], options.waitHandle) && !arguments[i + 2].empty()) {
            options.mode = UninstallMode::Cleanup;
            options.cleanupPath = arguments[i + 2];
            return options;
        }
    }
    return options;
}

std::string FormatCleanupArguments(uintptr_t waitHandle, const std::string& path) {
    return "/cleanup " + std::to_string(static_cast<unsigned long long>(waitHandle)) + " \"" +
           path + "\"";
}
