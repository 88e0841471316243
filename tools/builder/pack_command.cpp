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
#include "tools/builder/builder_commands.h"
#include "tools/builder/installer_output.h"

namespace fs = std::filesystem;

namespace {

struct PackOptions {
    InstallerSettings installer;
    std::vector<const char*> items;
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
        } else if (strcmp(argv[i], "--threads") == 0 && hasValue &&
                   ParseNumber(argv[i + 1], 1, 256, &number)) {
            installer.threads = static_cast<unsigned>(number);
            ++i;
        } else if (strcmp(argv[i], "--sign") == 0 && hasValue && argv[i + 1][0] != '\0') {
            installer.signCommand = argv[++i];
        } else if (strncmp(argv[i], "--", 2) == 0) {
            return false;
        } else {
            options->items.push_back(argv[i]);
        }
    }
    return !installer.stubPath.empty() && !installer.outPath.empty() && !options->items.empty();
}

// A directory contributes its files, in name order, under their paths
// relative to it.
bool PlanDirectory(const fs::path& directory, std::vector<PlannedEntry>* plan) {
    std::error_code error;
    std::vector<PlannedEntry> found;
    for (fs::recursive_directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file(error)) {
            found.push_back(
                {it->path().lexically_relative(directory).generic_string(), it->path().string()});
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
    plan->push_back({name, path});
    return true;
}

// Names must be unique and must extract inside the target directory.
bool CheckNames(const std::vector<PlannedEntry>& plan) {
    std::set<std::string> seen;
    for (const PlannedEntry& entry : plan) {
        std::string name = entry.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        if (!IsSafeEntryName(name.c_str())) {
            ReportProblem(entry.name.c_str(),
                          "unsafe entry name (empty, \"..\", a drive or a leading separator)");
            return false;
        }
        if (!seen.insert(name).second) {
            ReportProblem(entry.name.c_str(), "entry name given twice");
            return false;
        }
    }
    return true;
}

} // namespace

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
    if (!CheckNames(plan)) {
        return kExitBadInput;
    }
    int status = kExitSuccess;
    if (WriteInstaller(options.installer, plan, &status)) {
        printf("%s: %zu entries\n", options.installer.outPath.c_str(), plan.size());
    }
    return status;
}
