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
#include "tools/builder/progress_line.h"

namespace fs = std::filesystem;

namespace {

struct PackOptions {
    const char* stubPath = nullptr;
    const char* outPath = nullptr;
    PayloadMethod method = PayloadMethod::Deflated;
    bool quiet = false;
    std::vector<const char*> items;
};

using PlannedEntry = PackEntry;

// Entries made in memory are dated 1980-01-01 00:00, so that the same inputs
// give the same installer.
constexpr uint32_t kMemoryEntryTime = 0x00210000;

bool ParsePackOptions(int argc, char** argv, PackOptions* options) {
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (strcmp(argv[i], "--stub") == 0 && hasValue) {
            options->stubPath = argv[++i];
        } else if (strcmp(argv[i], "--out") == 0 && hasValue) {
            options->outPath = argv[++i];
        } else if (strcmp(argv[i], "--store") == 0) {
            options->method = PayloadMethod::Stored;
        } else if (strcmp(argv[i], "--quiet") == 0) {
            options->quiet = true;
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
        c = c == '\\' ? '/' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
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

uint64_t EntrySize(const PackEntry& entry) {
    if (entry.sourcePath.empty()) {
        return entry.data.size();
    }
    std::error_code error;
    const uintmax_t size = fs::file_size(entry.sourcePath, error);
    return error ? 0 : size;
}

PackOutcome AddEntries(PayloadWriter* writer, const std::vector<PackEntry>& entries,
                       PayloadMethod method, const char* outPath, ProgressLine* progress) {
    for (const PackEntry& entry : entries) {
        const uint64_t size = EntrySize(entry);
        const PayloadError error =
            entry.sourcePath.empty()
                ? AddPayloadData(writer, entry.name.c_str(), entry.data.data(),
                                 static_cast<uint32_t>(entry.data.size()), kMemoryEntryTime, method)
                : AddPayloadFile(writer, entry.name.c_str(), entry.sourcePath.c_str(), method);
        if (error != PayloadError::None) {
            const bool sourceFailed = error == PayloadError::SourceNotRead;
            FinishProgress(progress, false);
            ReportProblem(sourceFailed ? entry.sourcePath.c_str() : outPath,
                          DescribePayloadError(error));
            return sourceFailed ? PackOutcome::InputFailed : PackOutcome::OutputFailed;
        }
        AdvanceProgress(progress, size, 1);
    }
    return PackOutcome::Written;
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

PackOutcome PackInstaller(const char* outPath, const char* stubPath, PayloadMethod method,
                          const std::vector<PackEntry>& entries, bool quiet) {
    const std::string temporary = std::string(outPath) + ".part";
    PayloadError error = PayloadError::None;
    PayloadWriter* writer = CreatePayload(temporary.c_str(), stubPath, &error);
    if (writer == nullptr) {
        const bool stubFailed = error == PayloadError::StubNotRead;
        ReportProblem(stubFailed ? stubPath : outPath, DescribePayloadError(error));
        return stubFailed ? PackOutcome::InputFailed : PackOutcome::OutputFailed;
    }
    uint64_t totalBytes = 0;
    for (const PackEntry& entry : entries) {
        totalBytes += EntrySize(entry);
    }
    ProgressLine progress;
    StartProgress(&progress, outPath, totalBytes, entries.size(), quiet);
    const PackOutcome outcome = AddEntries(writer, entries, method, outPath, &progress);
    if (outcome != PackOutcome::Written) {
        DiscardPayload(writer);
        return outcome;
    }
    error = FinishPayload(writer);
    std::error_code renameError;
    if (error == PayloadError::None) {
        fs::rename(temporary, outPath, renameError);
    }
    if (error != PayloadError::None || renameError) {
        FinishProgress(&progress, false);
        ReportProblem(outPath, error != PayloadError::None ? DescribePayloadError(error)
                                                           : renameError.message().c_str());
        fs::remove(temporary, renameError);
        return PackOutcome::OutputFailed;
    }
    FinishProgress(&progress, true);
    return PackOutcome::Written;
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
    switch (PackInstaller(options.outPath, options.stubPath, options.method, plan, options.quiet)) {
    case PackOutcome::Written:
        break;
    case PackOutcome::InputFailed:
        return kExitBadInput;
    case PackOutcome::OutputFailed:
        return kExitEntriesFailed;
    }
    printf("%s: %zu entries\n", options.outPath, plan.size());
    return kExitSuccess;
}
