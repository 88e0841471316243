// pack: a stub program followed by a payload of files.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "archive/payload_writer.h"
#include "archive/setup_archive.h"
#include "tools/builder/builder_commands.h"

namespace fs = std::filesystem;

namespace {

struct PackOptions {
    const char* stubPath = nullptr;
    const char* outPath = nullptr;
    PayloadMethod method = PayloadMethod::Deflated;
    std::vector<const char*> items;
};

struct PlannedEntry {
    std::string name;
    std::string sourcePath;
};

bool ParsePackOptions(int argc, char** argv, PackOptions* options) {
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (strcmp(argv[i], "--stub") == 0 && hasValue) {
            options->stubPath = argv[++i];
        } else if (strcmp(argv[i], "--out") == 0 && hasValue) {
            options->outPath = argv[++i];
        } else if (strcmp(argv[i], "--store") == 0) {
            options->method = PayloadMethod::Stored;
        } else if (strncmp(argv[i], "--", 2) == 0) {
            return false;
        } else {
            options->items.push_back(argv[i]);
        }
    }
    return options->stubPath != nullptr && options->outPath != nullptr && !options->items.empty();
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

const char* DescribePayloadError(PayloadError error) {
    switch (error) {
    case PayloadError::None:
        return "no error";
    case PayloadError::OutputNotCreated:
        return "cannot be created";
    case PayloadError::StubNotRead:
    case PayloadError::SourceNotRead:
        return "cannot be read";
    case PayloadError::WriteFailed:
        return "cannot be written";
    case PayloadError::CompressFailed:
        return "cannot be compressed";
    case PayloadError::TooLarge:
        return "payload too large (65,534 entries, 4 GiB, 64 KiB names at most)";
    }
    return "unknown error";
}

int WritePayload(const PackOptions& options, const std::vector<PlannedEntry>& plan) {
    PayloadError error = PayloadError::None;
    PayloadWriter* writer = CreatePayload(options.outPath, options.stubPath, &error);
    if (writer == nullptr) {
        const bool stubFailed = error == PayloadError::StubNotRead;
        ReportProblem(stubFailed ? options.stubPath : options.outPath, DescribePayloadError(error));
        return stubFailed ? kExitBadInput : kExitEntriesFailed;
    }
    for (const PlannedEntry& entry : plan) {
        error =
            AddPayloadFile(writer, entry.name.c_str(), entry.sourcePath.c_str(), options.method);
        if (error != PayloadError::None) {
            const bool sourceFailed = error == PayloadError::SourceNotRead;
            ReportProblem(sourceFailed ? entry.sourcePath.c_str() : options.outPath,
                          DescribePayloadError(error));
            DiscardPayload(writer);
            return sourceFailed ? kExitBadInput : kExitEntriesFailed;
        }
    }
    error = FinishPayload(writer);
    if (error != PayloadError::None) {
        ReportProblem(options.outPath, DescribePayloadError(error));
        return kExitEntriesFailed;
    }
    printf("%s: %zu entries\n", options.outPath, plan.size());
    return kExitSuccess;
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
    return WritePayload(options, plan);
}
