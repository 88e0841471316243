// The text log an administrator asks for with /log=FILE, of a run of
// setup.exe or uninstall.exe: a first line naming the program, its path and
// its command line; one line for each item with its target and its result;
// the messages the run showed or would have shown; a last line with the
// exit code. Each line is handed to the system before the call returns, so
// a run that is killed leaves every line up to that point.
#pragma once

#include <cstdint>
#include <cstdio>

struct RunLog {
    std::FILE* file = nullptr; // null: nothing is written

    RunLog() = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    ~RunLog();
};

// Creates (or empties) the file at `path` and writes the first line. False
// when it cannot be created; the log then writes nothing.
bool OpenRunLog(RunLog& log, const char* path, const char* program, const char* programPath,
                const char* commandLine);

// One line; line breaks and tabs in `text` become blanks, trailing blanks
// go. Does nothing while the log is not open.
void WriteLogLine(RunLog& log, const char* text);

// "KIND: TARGET | OK", or with a failure "KIND: TARGET | Fehler CODE: TEXT"
// (`error` the system's error code, not 0; `errorText` may be null).
void LogItemResult(RunLog& log, const char* kind, const char* target, uint32_t error,
                   const char* errorText);

// "Meldung: TEXT": what a message box says or would have said.
void LogMessage(RunLog& log, const char* text);

// Writes "Exitcode: CODE" and closes the file.
void CloseRunLog(RunLog& log, int exitCode);
