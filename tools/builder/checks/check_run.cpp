// The helpers every family of checks reads values with, and the one way a
// finding is reported.
#include "tools/builder/checks/check_run.h"

#include <cstring>

#include "script/ini_file.h"
#include "script/setup_script.h"
#include "system/bounded_text.h"

void ReportAs(CheckRun& run, int line, const char* name, Severity severity,
              const std::string& text) {
    run.findings->push_back({run.document.path, line > 0 ? line : 1, severity, text, name});
}

void Report(CheckRun& run, int line, const char* name, const std::string& text) {
    const CheckInfo* info = FindCheck(name);
    // A name without a row is a fault of the checks; it is shown as an error
    // so that the tests, which hold every finding to its row, see it.
    ReportAs(run, line, name, info != nullptr ? info->severity : Severity::Error, text);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string LowerText(std::string text) {
    for (char& c : text) {
        c = LowerAscii(c);
    }
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The key of item `index` in a "%s..." format, as setup.exe forms it.
std::string ItemKeyName(const char* format, int index) {
    char key[kListKeySize];
    FormatListKey(format, index, key);
    return key;
}

// "count is 3" and its like in messages.
std::string Number(long long value) {
    return std::to_string(value);
}

bool IsAppEntry(const std::string& name) {
    return name.find(kAppEntryPrefix) != std::string::npos;
}

bool ParseIndex(const std::string& key, int* index, std::string* rest) {
    size_t digits = 0;
    while (digits < key.size() && key[digits] >= '0' && key[digits] <= '9') {
        ++digits;
    }
    if (digits == 0 || digits > 9 || (digits > 1 && key[0] == '0')) {
        return false;
    }
    *index = std::stoi(key.substr(0, digits));
    *rest = key.substr(digits);
    return true;
}

const ScriptEntry* Entry(const ScriptDocument& document, const char* section, const char* key) {
    const ScriptSection* found = FindSection(document, section);
    return found != nullptr ? FindEntry(*found, key) : nullptr;
}

std::string Value(const ScriptEntry* entry) {
    return entry != nullptr ? ProfileValue(*entry) : std::string();
}

bool IsOn(const ScriptEntry* entry) {
    return ParseBool(Value(entry).c_str(), 0) != 0;
}

int LineOf(const ScriptEntry* entry, const ScriptSection* section) {
    if (entry != nullptr) {
        return entry->line;
    }
    return section != nullptr ? section->line : 1;
}

bool IsWholeNumber(const std::string& text) {
    size_t at = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (at == text.size()) {
        return false;
    }
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return false;
        }
    }
    return true;
}

// "true", "yes" and numbers are what setup.exe's reader knows; "false" and
