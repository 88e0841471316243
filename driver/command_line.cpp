#include "driver/command_line.h"

#include <cstddef>
#include <cstring>

#include "system/bounded_text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Appends one character, noting when it does not fit.
void Put(char* buffer, size_t size, size_t* length, char c, bool* cut) {
    if (*length + 1 < size) {
        buffer[(*length)++] = c;
    } else {
        *cut = true;
    }
}

bool StartsWithIgnoringCase(const char* text, const char* prefix, size_t prefixLength) {
    return std::strlen(text) >= prefixLength &&
           EqualIgnoringAsciiCase(text, prefixLength, prefix, prefixLength);
}

bool IsAbsolutePath(const char* path) {
    char drive = LowerAscii(path[0]);
    if (drive >= 'a' && drive <= 'z' && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
        return true;
    }
    // \\server\share: both names present.
    if (path[0] != '\\' || path[1] != '\\' || path[2] == '\\' || path[2] == '\0') {
        return false;
    }
    const char* share = std::strchr(path + 2, '\\');
    return share != nullptr && share[1] != '\0' && share[1] != '\\';
}

struct ValueSwitch {
    const char* name; // with its '='
    size_t offset;    // of the field in SetupOptions
    size_t size;
};

const ValueSwitch kValueSwitches[] = {
    {"dir=", offsetof(SetupOptions, directory), kPathSize},
    {"user=", offsetof(SetupOptions, userName), kTextSize},
    {"company=", offsetof(SetupOptions, companyName), kTextSize},
    {"log=", offsetof(SetupOptions, logPath), kPathSize},
};

// Reads one argument; false when it is bad.
bool ReadSwitch(const char* argument, SetupOptions* options) {
    if (argument[0] != '/' && argument[0] != '-') {
        return false;
    }
    const char* name = argument + 1;
    size_t length = std::strlen(name);
    auto is = [name, length](const char* word) {
        return EqualIgnoringAsciiCase(name, length, word, std::strlen(word));
    };
    if (is("quiet")) {
        options->mode = SetupMode::Quiet;
        return true;
    }
    if (is("passive")) {
        // /quiet wins over /passive in either order: nothing is shown.
        if (options->mode != SetupMode::Quiet) {
            options->mode = SetupMode::Passive;
        }
        return true;
    }
    if (is("?") || is("help")) {
        options->help = true;
        return true;
    }
    if (is("norestart")) {
        options->noRestart = true;
        return true;
    }
    for (const ValueSwitch& s : kValueSwitches) {
        size_t nameLength = std::strlen(s.name);
        if (!StartsWithIgnoringCase(name, s.name, nameLength)) {
            continue;
        }
        const char* value = name + nameLength;
        char* field = reinterpret_cast<char*>(options) + s.offset;
        if (value[0] == '\0' || !CopyBoundedText(field, s.size, value)) {
            field[0] = '\0';
            return false;
        }
        if (field == options->directory && !IsAbsolutePath(value)) {
            field[0] = '\0';
            return false;
        }
        return true;
    }
    return false;
}

} // namespace

const char* SkipProgramName(const char* commandLine) {
    const char* c = commandLine != nullptr ? commandLine : "";
    if (*c == '"') {
        const char* end = std::strchr(c + 1, '"');
        c = end != nullptr ? end + 1 : c + std::strlen(c);
    } else {
        while (*c != '\0' && !IsBlank(*c)) {
            ++c;
        }
    }
    return c;
}

const char* NextArgument(const char* cursor, char* buffer, size_t size, bool* cut) {
    *cut = false;
    while (cursor != nullptr && IsBlank(*cursor)) {
        ++cursor;
    }
    if (cursor == nullptr || *cursor == '\0') {
        if (size > 0) {
            buffer[0] = '\0';
        }
        return nullptr;
    }
    size_t length = 0;
    bool quoted = false;
    const char* c = cursor;
    while (*c != '\0' && (quoted || !IsBlank(*c))) {
        if (*c == '\\') {
            size_t backslashes = 0;
            while (c[backslashes] == '\\') {
                ++backslashes;
            }
            bool beforeQuote = c[backslashes] == '"';
            size_t kept = beforeQuote ? backslashes / 2 : backslashes;
            for (size_t i = 0; i < kept; ++i) {
                Put(buffer, size, &length, '\\', cut);
            }
            c += backslashes;
            if (beforeQuote && backslashes % 2 == 1) {
                Put(buffer, size, &length, '"', cut);
                ++c;
            }
        } else if (*c == '"') {
            if (quoted && c[1] == '"') {
                Put(buffer, size, &length, '"', cut);
                c += 2;
            } else {
                quoted = !quoted;
                ++c;
            }
        } else {
            Put(buffer, size, &length, *c, cut);
            ++c;
        }
    }
    if (size > 0) {
        buffer[length] = '\0';
    }
    return c;
}

bool ParseSetupOptions(const char* commandLine, SetupOptions* options) {
    *options = SetupOptions{};
    bool good = true;
    char argument[kPathSize + 16];
    bool cut = false;
    const char* cursor = SkipProgramName(commandLine);
    while ((cursor = NextArgument(cursor, argument, sizeof argument, &cut)) != nullptr) {
        if ((cut || !ReadSwitch(argument, options)) && good) {
            good = false;
            (void)CopyBoundedText(options->badArgument, sizeof options->badArgument, argument);
        }
    }
    return good;
}

bool IsUnattended(const SetupOptions& options) {
    return options.mode != SetupMode::Wizard;
}

namespace {

struct ExitCodeRow {
    SetupOutcome outcome;
    int code;
};

// The values installation managers know from Windows Installer.
constexpr ExitCodeRow kExitCodes[] = {
    {SetupOutcome::Installed, 0},
    {SetupOutcome::ItemFailed, 1603},      // ERROR_INSTALL_FAILURE
    {SetupOutcome::PayloadDamaged, 1620},  // ERROR_INSTALL_PACKAGE_INVALID
    {SetupOutcome::NotAdministrator, 740}, // ERROR_ELEVATION_REQUIRED
    {SetupOutcome::AlreadyRunning, 1618},  // ERROR_INSTALL_ALREADY_RUNNING
    {SetupOutcome::BadCommandLine, 1639},  // ERROR_INVALID_COMMAND_LINE
};

} // namespace

int SetupExitCode(SetupOutcome outcome, SetupMode mode) {
    if (mode == SetupMode::Wizard) {
        return 0;
    }
    for (const ExitCodeRow& row : kExitCodes) {
        if (row.outcome == outcome) {
            return row.code;
        }
    }
    return 1603;
}
