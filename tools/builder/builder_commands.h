// The subcommands of tolvanex-build. Each takes the arguments after its name
// and returns the process exit code.
#pragma once

constexpr int kExitSuccess = 0;
constexpr int kExitEntriesFailed = 1; // the command ran, but some work failed
constexpr int kExitBadInput = 2;      // wrong arguments, unreadable or damaged file

int RunPackCommand(int argc, char** argv);
int RunListCommand(int argc, char** argv);
int RunExtractCommand(int argc, char** argv);
int RunCheckCommand(int argc, char** argv);

// Prints the usage to stderr and returns kExitBadInput.
int ReportUsageError();

// Prints "tolvanex-build: SUBJECT: REASON" to stderr.
void ReportProblem(const char* subject, const char* reason);
