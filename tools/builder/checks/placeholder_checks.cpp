// Placeholders: those setup.exe does not know or does not expand where they
// stand, and the lengths paths are measured with after expansion.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "script/placeholders.h"
#include "system/bounded_text.h"
#include "tools/builder/checks/check_run.h"
#include "tools/builder/program_architecture.h"

namespace {

const CheckInfo kChecks[] = {
    {"unknown-placeholder", Severity::Warning,
     "`%%NAME%%` with an unknown NAME (or in lower case), or a placeholder with single percent "
     "signs"},
    {"lone-percent", Severity::Warning, "a `%%` that begins no placeholder"},
    {"literal-placeholder", Severity::Warning,
     "a placeholder in a value setup.exe does not expand"},
    {"empty-placeholder", Severity::Warning,
     "a placeholder that stands for an empty text where it is used"},
};

// The lengths assumed for what each placeholder stands for, when a path is
// measured after expansion: generous typical values, not limits. A user name
// of 20 characters makes the user folders about this long; "%%INSTALLDIR%%"
// is measured as the proposed destdir instead, when there is one.
struct AssumedLength {
    const char* token;
    int length;
    const char* example;
};
const AssumedLength kAssumedLengths[] = {
    {kDesktopToken, 64, "C:\\Users\\NAME\\OneDrive - COMPANY\\Desktop\\"},
    {kProgramsToken, 88,
     "C:\\Users\\NAME\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\"},
    {kProgramFilesToken, 32, "C:\\Program Files (x86)\\"},
    {kInstallDirToken, 64, "the destdir after expansion, with a backslash"},
    {kUserToken, 32, "the user's name"},
    {kCompanyToken, 32, "the company's name"},
    {kWindowsDirToken, 16, "C:\\Windows\\"},
    {kSystemDirToken, 24, "C:\\Windows\\SysWOW64\\"},
};
static_assert(std::size(kAssumedLengths) == std::size(kPlaceholderTokens),
              "one assumed length for each placeholder");

// --- Placeholders --------------------------------------------------------

struct PlaceholderUse {
    size_t at;
    std::string text;
    int token; // index into kPlaceholderTokens, or -1
    enum { Known, Unknown, Lone, SinglePercent } form;
};

int TokenIndex(const std::string& text) {
    for (size_t i = 0; i < std::size(kPlaceholderTokens); ++i) {
        if (text == kPlaceholderTokens[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsWordCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The token name ("INSTALLDIR") that `word` is in another letter case, or "".
std::string TokenNamedAlike(const std::string& word) {
    for (const char* token : kPlaceholderTokens) {
        const std::string name(token + 2, std::strlen(token) - 4);
        if (EqualNamesIgnoringCase(word, name.c_str())) {
            return name;
        }
    }
    return "";
}

std::vector<PlaceholderUse> FindPlaceholders(const std::string& value) {
    std::vector<PlaceholderUse> uses;
    size_t at = 0;
    while (at < value.size()) {
        const size_t open = value.find('%', at);
        if (open == std::string::npos) {
            break;
        }
        if (open + 1 < value.size() && value[open + 1] == '%') {
            size_t end = open + 2;
            while (end < value.size() && IsWordCharacter(value[end])) {
                ++end;
            }
            if (end > open + 2 && value.compare(end, 2, "%%") == 0) {
                const std::string text = value.substr(open, end + 2 - open);
                const int token = TokenIndex(text);
                uses.push_back({open, text, token,
                                token >= 0 ? PlaceholderUse::Known : PlaceholderUse::Unknown});
                at = end + 2;
            } else {
                uses.push_back({open, "%%", -1, PlaceholderUse::Lone});
                at = open + 2;
            }
            continue;
        }
        // "%INSTALLDIR%": a placeholder with single percent signs stays text.
        size_t end = open + 1;
        while (end < value.size() && IsWordCharacter(value[end])) {
            ++end;
        }
        if (end < value.size() && value[end] == '%' &&
            (end + 1 >= value.size() || value[end + 1] != '%') &&
            !TokenNamedAlike(value.substr(open + 1, end - open - 1)).empty()) {
            uses.push_back(
                {open, value.substr(open, end + 1 - open), -1, PlaceholderUse::SinglePercent});
            at = end + 1;
        } else {
            at = open + 1;
        }
    }
    return uses;
}

int InstallDirTokenIndex() {
    return TokenIndex(kInstallDirToken);
}

} // namespace

int AssumedInstallDirLength() {
    return kAssumedLengths[InstallDirTokenIndex()].length;
}

int EstimateLength(const CheckRun& run, const std::string& value, Expansion expansion) {
    int length = static_cast<int>(value.size());
    for (const PlaceholderUse& use : FindPlaceholders(value)) {
        if (use.form != PlaceholderUse::Known) {
            continue;
        }
        const char* token = kPlaceholderTokens[use.token];
        const bool installDir = use.token == InstallDirTokenIndex();
        int assumed = kAssumedLengths[use.token].length;
        if (installDir) {
            assumed = run.assumedInstallDirLength;
        }
        if (run.options.sixtyFourBit && std::strcmp(token, kProgramFilesToken) == 0) {
            assumed = kProgramFiles64AssumedLength;
        }
        if (expansion == Expansion::InstallDirOnly && !installDir) {
            continue;
        }
        if (expansion == Expansion::AtStartup && (installDir || IsTypedTextToken(token))) {
            assumed = 0;
        }
        length += assumed - static_cast<int>(std::strlen(token));
    }
    return length;
}

bool IsTypedTextToken(const char* token) {
    return std::strcmp(token, kUserToken) == 0 || std::strcmp(token, kCompanyToken) == 0;
}

void CheckPlaceholders(CheckRun& run, const ScriptEntry& entry, const std::string& value,
                       Expansion expansion) {
    for (const PlaceholderUse& use : FindPlaceholders(value)) {
        const bool installDir = use.token == InstallDirTokenIndex();
        const bool userText =
            use.form == PlaceholderUse::Known && IsTypedTextToken(kPlaceholderTokens[use.token]);
        if (expansion == Expansion::None) {
            if (use.form == PlaceholderUse::Known) {
                Report(run, entry.line, "literal-placeholder",
                       "setup.exe does not expand placeholders in " + Quoted(entry.key) + ": " +
                           use.text + " stays as written");
            }
            continue;
        }
        switch (use.form) {
        case PlaceholderUse::Known:
            if (expansion == Expansion::InstallDirOnly && !installDir) {
                Report(run, entry.line, "literal-placeholder",
                       "setup.exe replaces only " + std::string(kInstallDirToken) + " in " +
                           Quoted(entry.key) + ": " + use.text + " stays as written");
            } else if (expansion == Expansion::AtStartup && (installDir || userText)) {
                Report(run, entry.line, "empty-placeholder",
                       Quoted(entry.key) + " is expanded when setup.exe starts, before the " +
                           (installDir ? "destination" : "user information") +
                           " is known: " + use.text + " stands for an empty text");
            } else if (userText && !run.userInfoShown) {
                Report(run, entry.line, "empty-placeholder",
                       "the user-information page is off (" + std::string(kShowUserInfoKey) +
                           "): " + use.text + " stands for an empty text");
            }
            break;
        case PlaceholderUse::Unknown: {
            const std::string word = use.text.substr(2, use.text.size() - 4);
            const std::string alike = TokenNamedAlike(word);
            Report(run, entry.line, "unknown-placeholder",
                   use.text + " is no placeholder setup.exe knows" +
                       (alike.empty() ? "" : " (placeholders are upper case: %%" + alike + "%%)") +
                       "; it stays as written");
            break;
        }
        case PlaceholderUse::Lone:
            Report(run, entry.line, "lone-percent",
                   "a \"%%\" that begins no placeholder stays as written (placeholders are "
                   "%%NAME%% with a known NAME)");
            break;
        case PlaceholderUse::SinglePercent:
            Report(run, entry.line, "unknown-placeholder",
                   use.text + " has single percent signs: setup.exe does not replace it (write %" +
                       use.text + "%)");
            break;
        }
    }
}

CheckFamily PlaceholderChecks() {
    return {"placeholders", kChecks, std::size(kChecks)};
}

std::string DescribeAssumedPlaceholderLengths() {
    std::string text;
    for (const AssumedLength& assumed : kAssumedLengths) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-18s %3d  %s\n", assumed.token, assumed.length,
                      assumed.example);
        text += line;
    }
    char line[160];
    std::snprintf(line, sizeof line, "  %-18s %3d  %s\n", kProgramFilesToken,
                  kProgramFiles64AssumedLength, "C:\\Program Files\\ (architecture=x64)");
    return text + line;
}
