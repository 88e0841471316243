// Services: names given twice, programs not installed, and command lines
// Windows reads otherwise than meant.
#include <iterator>
#include <map>

#include "script/placeholders.h"
#include "tools/builder/checks/check_run.h"

namespace {

const CheckInfo kChecks[] = {
    {"duplicate-service", Severity::Error,
     "two services with one name (the second fails, message 142)"},
    {"service-binary-not-installed", Severity::Warning,
     "a service program below `%%INSTALLDIR%%` that is not installed"},
    {"unquoted-service-path", Severity::Warning,
     "a service program path that may hold a blank, not in quotes"},
};

std::string ServiceProgram(const std::string& binaryPath, bool* quoted) {
    *quoted = !binaryPath.empty() && binaryPath[0] == '"';
    if (*quoted) {
        const size_t close = binaryPath.find('"', 1);
        return binaryPath.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    const size_t exe = LowerText(binaryPath).find(".exe");
    if (exe != std::string::npos) {
        return binaryPath.substr(0, exe + 4);
    }
    return binaryPath.substr(0, binaryPath.find(' '));
}

} // namespace

void CheckServices(CheckRun& run, const std::vector<ListItem>& items, const Created& created,
                   const std::string& destination) {
    std::map<std::string, int> names;
    for (const ListItem& item : items) {
        const std::string name = FieldValue(item, kServiceNameKey);
        if (!name.empty()) {
            auto known = names.emplace(LowerText(name), FieldLine(item, kServiceNameKey));
            if (!known.second) {
                Report(run, FieldLine(item, kServiceNameKey), "duplicate-service",
                       "a service named " + Quoted(name) + " already at line " +
                           Number(known.first->second) +
                           ": setup.exe fails to create this one (message 142)");
            }
        }
        const std::string binaryPath = FieldValue(item, kServiceBinaryPathKey);
        bool quoted = false;
        const std::string program = ServiceProgram(binaryPath, &quoted);
        if (program.empty()) {
            continue;
        }
        if (!TargetInstalled(run, created, program, false)) {
            Report(run, FieldLine(item, kServiceBinaryPathKey), "service-binary-not-installed",
                   "the service's program " + Quoted(program) +
                       " is no file the installation installs");
        }
        // Windows tries each blank of an unquoted path as the end of the
        // program's name: "C:\Program.exe" first.
        const bool blankInPlaceholder = StartsWith(program, kProgramFilesToken) ||
                                        StartsWith(program, kProgramsToken) ||
                                        (StartsWith(program, kInstallDirToken) &&
                                         (destination.find(' ') != std::string::npos ||
                                          StartsWith(destination, kProgramFilesToken)));
        if (!quoted && (program.find(' ') != std::string::npos || blankInPlaceholder)) {
            Report(run, FieldLine(item, kServiceBinaryPathKey), "unquoted-service-path",
                   "the service's program path may hold a blank but is not in quotes: Windows "
                   "then tries the path up to each blank as a program first");
        }
    }
}

CheckFamily ServiceChecks() {
    return {"services", kChecks, std::size(kChecks)};
}
