#include "system/run_log.h"

#include <cstring>

namespace {

// Bounded by the longest path and text the programs hold, several times over.
constexpr size_t kLineSize = 2048;

void Append(char* line, size_t& length, const char* text) {
    for (const char* c = text != nullptr ? text : ""; *c != '\0' && length + 1 < kLineSize; ++c) {
        line[length++] = (*c == '\r' || *c == '\n' || *c == '\t') ? ' ' : *c;
    }
    line[length] = '\0';
}

void AppendNumber(char* line, size_t& length, unsigned number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%u", number);
    Append(line, length, digits);
}

void WriteParts(RunLog& log, const char* const* parts, size_t count) {
    char line[kLineSize];
    size_t length = 0;
    line[0] = '\0';
    for (size_t i = 0; i < count; ++i) {
        Append(line, length, parts[i]);
    }
    WriteLogLine(log, line);
}

} // namespace

RunLog::~RunLog() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

bool OpenRunLog(RunLog& log, const char* path, const char* program, const char* programPath,
                const char* commandLine) {
    if (log.file != nullptr) {
        std::fclose(log.file);
    }
    log.file = path != nullptr && path[0] != '\0' ? std::fopen(path, "wb") : nullptr;
    if (log.file == nullptr) {
        return false;
    }
    const char* parts[] = {program, " | Pfad: ", programPath, " | Befehlszeile: ", commandLine};
    WriteParts(log, parts, sizeof parts / sizeof parts[0]);
    return true;
}

void WriteLogLine(RunLog& log, const char* text) {
    if (log.file == nullptr) {
        return;
    }
    char line[kLineSize];
    size_t length = 0;
    line[0] = '\0';
    Append(line, length, text);
    while (length > 0 && line[length - 1] == ' ') {
        line[--length] = '\0';
    }
    std::fputs(line, log.file);
    std::fputs("\r\n", log.file);
    std::fflush(log.file);
}

void LogItemResult(RunLog& log, const char* kind, const char* target, uint32_t error,
                   const char* errorText) {
    if (log.file == nullptr) {
        return;
    }
    char line[kLineSize];
    size_t length = 0;
    line[0] = '\0';
    Append(line, length, kind);
    Append(line, length, ": ");
    Append(line, length, target);
    if (error == 0) {
        Append(line, length, " | OK");
    } else {
        Append(line, length, " | Fehler ");
        AppendNumber(line, length, error);
        if (errorText != nullptr && errorText[0] != '\0') {
            Append(line, length, ": ");
            Append(line, length, errorText);
        }
    }
    WriteLogLine(log, line);
}

void LogMessage(RunLog& log, const char* text) {
    const char* parts[] = {"Meldung: ", text};
    WriteParts(log, parts, 2);
}

void CloseRunLog(RunLog& log, int exitCode) {
    if (log.file == nullptr) {
        return;
    }
    char line[32];
    size_t length = 0;
    line[0] = '\0';
    Append(line, length, "Exitcode: ");
    AppendNumber(line, length, static_cast<unsigned>(exitCode));
    WriteLogLine(log, line);
    std::fclose(log.file);
    log.file = nullptr;
}
