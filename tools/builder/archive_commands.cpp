// list and extract: both walk the payload through SetupArchive, as the setup
// program does.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/archive_reader.h"
#include "archive/payload_format.h"
#include "archive/setup_archive.h"
#include "system/files.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/progress_line.h"
#include "tools/builder/terminal_text.h"

namespace {

// An open-ended count: the walk ends at the first header that cannot be read.
constexpr int kOpenEndedCount = static_cast<int>(payload_format::kOpenEndedCount);

// Null when the file holds a payload that opens, else why not.
const char* DiagnosePayload(const char* path) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return strerror(errno);
    }
    fclose(file);
    int status = ArchiveStatus::Ok;
    ArchiveReader* reader = OpenArchive(path, &status);
    if (reader != nullptr) {
        CloseArchive(reader);
        return nullptr;
    }
    switch (status) {
    case ArchiveStatus::BadArchive:
        return "damaged payload: inconsistent end of central directory record";
    case ArchiveStatus::InternalError:
        return "out of memory";
    default:
        return "no payload found";
    }
}

bool OpenPayload(SetupArchive& archive, const char* path) {
    const char* problem = DiagnosePayload(path);
    if (problem == nullptr && !archive.Open(path)) {
        problem = "cannot be opened";
    }
    if (problem != nullptr) {
        ReportProblem(path, problem);
        return false;
    }
    return true;
}

// Entry visitor: returns false to stop with kExitBadInput.
using EntryVisitor = bool (*)(SetupArchive& archive, int index, const ArchiveEntryInfo& info,
                              void* context);

// Visits every entry in archive order. kExitBadInput when a header within the
// entry count cannot be read.
int VisitEntries(SetupArchive& archive, const char* path, EntryVisitor visit, void* context) {
    const int count = archive.GetEntryCount();
    for (int index = 0; index < count; ++index) {
        ArchiveEntryInfo info;
        if (!archive.GetEntryInfo(index, &info)) {
            if (count == kOpenEndedCount) {
                break;
            }
            char reason[80];
            snprintf(reason, sizeof(reason), "damaged payload: header of entry %d cannot be read",
                     index);
            ReportProblem(path, reason);
            return kExitBadInput;
        }
        if (!visit(archive, index, info, context)) {
            return kExitBadInput;
        }
    }
    return kExitSuccess;
}

const char* MethodName(uint32_t method, char (&buffer)[24]) {
    if (method == payload_format::kMethodStored) {
        return "stored";
    }
    if (method == payload_format::kMethodDeflated) {
        return "deflated";
    }
    if (method == payload_format::kMethodLzma) {
        return "lzma";
    }
    snprintf(buffer, sizeof(buffer), "method%u", static_cast<unsigned>(method));
    return buffer;
}

bool PrintEntry(SetupArchive&, int index, const ArchiveEntryInfo& info, void*) {
    char methodBuffer[24];
    const uint32_t date = info.dosDateTime >> 16;
    const uint32_t time = info.dosDateTime & 0xFFFF;
    printf("%5d  %-8s  %10u  %10u  %08X  %04u-%02u-%02u %02u:%02u:%02u  %s\n", index,
           MethodName(info.method, methodBuffer), static_cast<unsigned>(info.uncompressedSize),
           static_cast<unsigned>(info.compressedSize), static_cast<unsigned>(info.crc),
           static_cast<unsigned>((date >> 9) + 1980), static_cast<unsigned>((date >> 5) & 0x0F),
           static_cast<unsigned>(date & 0x1F), static_cast<unsigned>(time >> 11),
           static_cast<unsigned>((time >> 5) & 0x3F), static_cast<unsigned>((time & 0x1F) * 2),
           ShownText(info.name).c_str());
    return true;
}

const char* DescribeFailure(ExtractFailure failure) {
    switch (failure) {
    case ExtractFailure::None:
        return "no failure";
    case ExtractFailure::NoArchive:
        return "no archive open";
    case ExtractFailure::NoSuchEntry:
        return "entry header cannot be read";
    case ExtractFailure::UnsafeName:
        return "name leaves the target directory";
    case ExtractFailure::PathTooLong:
        return "target path longer than 259 characters";
    case ExtractFailure::DirectoryFailed:
        return "directory cannot be created";
    case ExtractFailure::FileNotCreated:
        return "file cannot be created";
    case ExtractFailure::EntryNotReadable:
        return "damaged local header or unsupported method";
    case ExtractFailure::DataError:
        return "data cannot be read or inflated";
    case ExtractFailure::WriteFailed:
        return "file cannot be written";
    case ExtractFailure::ChecksumMismatch:
        return "CRC-32 mismatch";
    case ExtractFailure::SizeMismatch:
        return "data ends before the entry's size";
    }
    return "unknown failure";
}

struct ExtractRun {
    const char* directory;
    int failed;
};

// The extraction callback takes no context; one extraction runs at a time.
ProgressLine* extractProgress = nullptr;

void CountExtractedBytes(int32_t bytesWritten) {
    AdvanceProgress(extractProgress, static_cast<uint64_t>(bytesWritten), 0);
}

bool SumEntry(SetupArchive&, int, const ArchiveEntryInfo& info, void* context) {
    *static_cast<uint64_t*>(context) += info.uncompressedSize;
    return true;
}

// The first folder or file on the way from the target directory to the
// entry's file that is a link (a symbolic link or junction); empty when
// none is. Extracting never writes through one: what it points to may lie
// anywhere.
std::string LinkOnTheWay(const char* directory, const char* name) {
    std::string path = directory;
    for (const char* part = name; *part != '\0';) {
        const size_t length = strcspn(part, "/\\");
        path += "/";
        path.append(part, length);
        if (IsFileSystemLink(path.c_str())) {
            return path;
        }
        part += length;
        part += *part != '\0' ? 1 : 0;
    }
    return std::string();
}

bool ExtractOne(SetupArchive& archive, int index, const ArchiveEntryInfo& info, void* context) {
    ExtractRun* run = static_cast<ExtractRun*>(context);
    const std::string link = LinkOnTheWay(run->directory, info.name);
    const bool extracted =
        link.empty() && archive.ExtractEntry(index, run->directory, false, CountExtractedBytes);
    ClearProgress(extractProgress);
    if (extracted) {
        printf("%5d  ok      %s\n", index, ShownText(info.name).c_str());
    } else if (!link.empty()) {
        printf("%5d  FAILED  %s: a link on the way, not followed: %s\n", index,
               ShownText(info.name).c_str(), ShownText(link).c_str());
        ++run->failed;
    } else {
        printf("%5d  FAILED  %s: %s\n", index, ShownText(info.name).c_str(),
               DescribeFailure(archive.GetLastExtractFailure()));
        ++run->failed;
    }
    fflush(stdout);
    AdvanceProgress(extractProgress, 0, 1);
    return true;
}

} // namespace

int RunListCommand(int argc, char** argv) {
    if (argc != 1) {
        return ReportUsageError();
    }
    SetupArchive archive;
    if (!OpenPayload(archive, argv[0])) {
        return kExitBadInput;
    }
    return VisitEntries(archive, argv[0], PrintEntry, nullptr);
}

int RunExtractCommand(int argc, char** argv) {
    const bool quiet = argc == 3 && strcmp(argv[2], "--quiet") == 0;
    if (argc != 2 && !quiet) {
        return ReportUsageError();
    }
    SetupArchive archive;
    if (!OpenPayload(archive, argv[0])) {
        return kExitBadInput;
    }
    uint64_t totalBytes = 0;
    if (VisitEntries(archive, argv[0], SumEntry, &totalBytes) != kExitSuccess) {
        return kExitBadInput;
    }
    ProgressLine progress;
    StartProgress(&progress, argv[1], totalBytes, static_cast<uint64_t>(archive.GetEntryCount()),
                  quiet);
    extractProgress = &progress;
    ExtractRun run{argv[1], 0};
    const int status = VisitEntries(archive, argv[0], ExtractOne, &run);
    FinishProgress(&progress, status == kExitSuccess && run.failed == 0);
    extractProgress = nullptr;
    if (status != kExitSuccess) {
        return status;
    }
    if (run.failed > 0) {
        char reason[64];
        snprintf(reason, sizeof(reason), "failed entries: %d", run.failed);
        ReportProblem(argv[0], reason);
        return kExitEntriesFailed;
    }
    return kExitSuccess;
}
