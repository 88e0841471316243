// pack: a stub program followed by a payload of files.
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "archive/setup_archive.h"
#include "script/uninstall_log_format.h"
#include "system/bounded_text.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/installer_output.h"
#include "tools/builder/program_architecture.h"
#include "tools/builder/temporary_output.h"

namespace fs = std::filesystem;

namespace {

struct PackOptions {
    InstallerSettings installer;
    std::vector<const char*> items;
    Machine architecture = Machine::X86;
    bool architectureStated = false;
};

using PlannedEntry = InstallerEntry;

// A whole decimal number from min to max.
bool ParseNumber(const char* text, long min, long max, long* value) {
    char* end = nullptr;
    *value = strtol(text, &end, 10);
    return end != text && *end == '\0' && *value >= min && *value <= max;
}

bool ParsePackOptions(int argc, char** argv, PackOptions* options) {
    InstallerSettings& installer = options->installer;
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        long number = 0;
        if (strcmp(argv[i], "--stub") == 0 && hasValue) {
            installer.stubPath = argv[++i];
        } else if (strcmp(argv[i], "--out") == 0 && hasValue) {
            installer.outPath = argv[++i];
        } else if (strcmp(argv[i], "--store") == 0) {
            installer.level = 0;
        } else if (strcmp(argv[i], "--level") == 0 && hasValue &&
                   ParseNumber(argv[i + 1], 0, 9, &number)) {
            installer.level = static_cast<int>(number);
            ++i;
        } else if (strcmp(argv[i], "--method") == 0 && hasValue &&
                   ParsePayloadMethod(argv[i + 1], &installer.method)) {
            ++i;
        } else if (strcmp(argv[i], "--threads") == 0 && hasValue &&
                   ParseNumber(argv[i + 1], 1, 256, &number)) {
            installer.threads = static_cast<unsigned>(number);
            ++i;
        } else if (strcmp(argv[i], "--sign") == 0 && hasValue && argv[i + 1][0] != '\0') {
            installer.signCommand = argv[++i];
        } else if (strcmp(argv[i], "--architecture") == 0 && hasValue &&
                   ParseArchitecture(argv[i + 1], &options->architecture)) {
            options->architectureStated = true;
            ++i;
        } else if (strcmp(argv[i], "--quiet") == 0) {
            installer.quiet = true;
        } else if (strncmp(argv[i], "--", 2) == 0) {
            return false;
        } else {
            options->items.push_back(argv[i]);
        }
    }
    return (!installer.stubPath.empty() || options->architectureStated) &&
           !installer.outPath.empty() && !options->items.empty();
}

// A directory contributes its files, in name order, under their paths
// relative to it.
bool PlanDirectory(const fs::path& directory, std::vector<PlannedEntry>* plan) {
    std::error_code error;
    std::vector<PlannedEntry> found;
    for (fs::recursive_directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) {
            found.push_back({it->path().lexically_relative(directory).generic_string(),
                             it->path().string(),
                             {}});
        }
    }
    if (error) {
        ReportProblem(directory.string().c_str(), error.message().c_str());
        return false;
    }
    std::sort(found.begin(), found.end(),
              [](const PlannedEntry& a, const PlannedEntry& b) { return a.name < b.name; });
    plan->insert(plan->end(), found.begin(), found.end());
    return true;
}

// PATH or NAME=PATH; the first "=" separates the name.
bool PlanItem(const char* item, std::vector<PlannedEntry>* plan) {
    const char* equals = strchr(item, '=');
    const std::string path = equals != nullptr ? equals + 1 : item;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (equals == nullptr && fs::is_directory(status)) {
        return PlanDirectory(path, plan);
    }
    if (!fs::is_regular_file(status)) {
        ReportProblem(path.c_str(), error ? error.message().c_str() : "not a regular file");
        return false;
    }
    const std::string name =
        equals != nullptr ? std::string(item, equals - item) : fs::path(path).filename().string();
    plan->push_back({name, path, {}});
    return true;
}

std::string FoldedName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        c = c == '\\' ? '/' : LowerAscii(c);
    }
    return folded;
}

// Why the reader would refuse the name or read it as something else; null
// when it takes it as a file of that name.
const char* NameProblem(const std::string& name) {
    if (!IsSafeEntryName(name.c_str())) {
        return "unsafe entry name (empty, \"..\", a drive or a leading separator)";
    }
    if (name.size() > 260) {
        return "entry name longer than 260 characters";
    }
    if (name.back() == '/') {
        return "entry name ends in a separator (a folder entry, its data would be lost)";
    }
    size_t begin = 0;
    while (begin <= name.size()) {
        size_t end = name.find('/', begin);
        end = end == std::string::npos ? name.size() : end;
        const std::string part = name.substr(begin, end - begin);
        if (part.empty()) {
            return "entry name with an empty part";
        }
        if (part == ".") {
            return "entry name with a \".\" part";
        }
        begin = end + 1;
    }
    return nullptr;
}

// With --architecture and no --stub, the product's setup.exe of that
// architecture beside the builder, else the unnamed one there.
bool FindDefaultStub(Machine architecture, std::string* stub) {
    const std::string named = ProgramNameFor("setup.exe", architecture);
    for (const char* name : {named.c_str(), "setup.exe"}) {
        for (const std::string& place : DefaultPlaces(name)) {
            std::error_code error;
            if (fs::is_regular_file(place, error)) {
                *stub = place;
                return true;
            }
        }
    }
    ReportProblem(named.c_str(), "not found beside the builder; give --stub");
    return false;
}

// The stub and the entry named uninstall.exe are of one architecture, the
// stated one when there is one.
bool CheckMachines(const PackOptions& options, const std::vector<PlannedEntry>& plan) {
    const std::string& stubPath = options.installer.stubPath;
    const Machine stub = MachineOfFile(stubPath);
    Machine uninstaller = Machine::NotProgram;
    std::string uninstallerPath;
    for (const PlannedEntry& entry : plan) {
        if (FoldedName(entry.name) == kUninstallerFile && !entry.sourcePath.empty()) {
            uninstallerPath = entry.sourcePath;
            uninstaller = MachineOfFile(uninstallerPath);
        }
    }
    std::string problem;
    if (options.architectureStated) {
        problem = WrongMachineProblem(stubPath.c_str(), stub, options.architecture);
        if (problem.empty()) {
            problem =
                WrongMachineProblem(uninstallerPath.c_str(), uninstaller, options.architecture);
        }
    }
    if (problem.empty()) {
        problem = MixedMachinesProblem(stub, uninstaller);
    }
    if (!problem.empty()) {
        ReportProblem(options.installer.outPath.c_str(), problem.c_str());
        return false;
    }
    return true;
}

} // namespace

bool CheckEntryNames(const std::vector<PackEntry>& entries) {
    std::set<std::string> files;
    std::set<std::string> folders;
    for (const PackEntry& entry : entries) {
        std::string name = entry.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        if (const char* problem = NameProblem(name)) {
            ReportProblem(entry.name.c_str(), problem);
            return false;
        }
        const std::string folded = FoldedName(name);
        if (!files.insert(folded).second) {
            ReportProblem(entry.name.c_str(), "entry name given twice");
            return false;
        }
        for (size_t cut = folded.find('/'); cut != std::string::npos;
             cut = folded.find('/', cut + 1)) {
            folders.insert(folded.substr(0, cut));
        }
    }
    // A file where another entry needs a folder cannot be extracted both ways.
    for (const PackEntry& entry : entries) {
        if (folders.count(FoldedName(entry.name)) != 0) {
            ReportProblem(entry.name.c_str(), "entry name is the folder of another entry");
            return false;
        }
    }
    return true;
}

int RunPackCommand(int argc, char** argv) {
    PackOptions options;
    if (!ParsePackOptions(argc, argv, &options)) {
        return ReportUsageError();
    }
    std::vector<PlannedEntry> plan;
    for (const char* item : options.items) {
        if (!PlanItem(item, &plan)) {
            return kExitBadInput;
        }
    }
    if (!CheckEntryNames(plan)) {
        return kExitBadInput;
    }
    if (options.installer.stubPath.empty() &&
        !FindDefaultStub(options.architecture, &options.installer.stubPath)) {
        return kExitBadInput;
    }
    if (!CheckMachines(options, plan)) {
        return kExitBadInput;
    }
    std::vector<std::string> inputs{options.installer.stubPath};
    for (const PlannedEntry& entry : plan) {
        inputs.push_back(entry.sourcePath);
    }
    const std::string input = InputNamedAsOutput(options.installer.outPath, inputs);
    if (!input.empty()) {
        ReportProblem(
            options.installer.outPath.c_str(),
            ("the installer would replace an input (" + input + "); nothing written").c_str());
        return kExitBadInput;
    }
    int status = kExitSuccess;
    if (WriteInstaller(options.installer, plan, &status)) {
        printf("%s: %zu entries\n", options.installer.outPath.c_str(), plan.size());
    }
    return status;
}
