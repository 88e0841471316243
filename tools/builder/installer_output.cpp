#include "tools/builder/installer_output.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/file_system.h"
#include "archive/payload_writer.h"
#include "script/uninstall_log_format.h"
#include "tools/builder/builder_commands.h"
#include "tools/builder/pe_certificate.h"
#include "tools/builder/progress_line.h"
#include "tools/builder/sign_command.h"
#include "tools/builder/temporary_output.h"
#include "tools/builder/worker_threads.h"
#include "system/bounded_text.h"

namespace {

// Input bytes compressed together before they are written: bounds the memory
// while the next group is compressed and the last one written.
constexpr uint64_t kGroupBytes = 64u << 20;
constexpr size_t kGroupEntriesPerThread = 256;

// Entries made in memory are dated 1980-01-01 00:00, so that the same inputs
// give the same installer.
constexpr uint32_t kMemoryEntryTime = 0x00210000;

struct Job {
    std::string name;
    std::string sourcePath;            // the bytes: a signed copy for the uninstaller
    const std::string* data = nullptr; // the bytes when sourcePath is empty
    std::string timePath;              // the time: always the publisher's file
    // The script line that named it.
    const std::string* origin = nullptr;
    uint64_t size = 0;
    EncodedEntry encoded;
    uint32_t dosDateTime = 0;
    PayloadError error = PayloadError::None;
};

struct Group {
    std::vector<Job>* jobs;
    std::vector<size_t> order; // the group's jobs, largest first
    std::atomic<size_t> next;  // into order
    PayloadMethod method;
    int level;
    bool hasEpoch;
    int64_t epoch;
};

// The temporary files of one run, each under a name of its own beside the
// output (two runs to one output never share one), removed on every way
// out.
struct TemporaryFiles {
    std::string outPath;
    std::vector<std::string> paths;
    ~TemporaryFiles() {
        for (const std::string& path : paths) {
            RemoveTemporary(path);
        }
    }
    bool Create(const char* suffix, std::string* path) {
        if (!CreateTemporaryBeside(outPath, suffix, path)) {
            ReportProblem(outPath.c_str(), "no temporary file can be created beside it");
            return false;
        }
        paths.push_back(*path);
        return true;
    }
};

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    bytes->clear();
    unsigned char chunk[65536];
    size_t count = 0;
    while ((count = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + count);
    }
    const bool read = ferror(file) == 0;
    fclose(file);
    return read;
}

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

uint64_t FileSize(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return 0;
    }
    archive_fs::SeekStream(file, 0, SEEK_END);
    const int64_t size = archive_fs::TellStream(file);
    fclose(file);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

void EncodeJob(Job& job, const Group& group) {
    if (job.sourcePath.empty()) {
        job.dosDateTime = kMemoryEntryTime;
        job.error = EncodeEntryData(reinterpret_cast<const unsigned char*>(job.data->data()),
                                    job.data->size(), group.method, group.level, &job.encoded);
        return;
    }
    int64_t seconds = 0;
    std::vector<unsigned char> data;
    if (!archive_fs::GetModificationSeconds(job.timePath.c_str(), &seconds) ||
        !ReadWholeFile(job.sourcePath, &data)) {
        job.error = PayloadError::SourceNotRead;
        return;
    }
    if (group.hasEpoch && seconds > group.epoch) {
        seconds = group.epoch;
    }
    job.dosDateTime = DosDateTimeFromUtc(seconds);
    job.error = EncodeEntryData(data.data(), data.size(), group.method, group.level, &job.encoded);
}

void EncodeGroup(void* context) {
    Group* group = static_cast<Group*>(context);
    for (size_t index = group->next++; index < group->order.size(); index = group->next++) {
        EncodeJob((*group->jobs)[group->order[index]], *group);
    }
}

// The end of the group that starts at begin. An entry larger than a group
// starts one of its own, with room for a group of others beside it: they
// keep the other threads busy while it is compressed.
size_t GroupEnd(const std::vector<Job>& jobs, size_t begin, unsigned threads) {
    uint64_t bytes = 0;
    uint64_t budget = kGroupBytes;
    size_t end = begin;
    while (end < jobs.size() &&
           (end == begin ||
            (bytes + jobs[end].size <= budget && end - begin < kGroupEntriesPerThread * threads))) {
        if (end == begin && jobs[end].size > kGroupBytes) {
            budget = jobs[end].size + kGroupBytes;
        }
        bytes += jobs[end].size;
        ++end;
    }
    return end;
}

// The jobs [begin, end), largest first, so that no large entry starts last
// and runs alone; equal sizes in their order.
std::vector<size_t> LargestFirst(const std::vector<Job>& jobs, size_t begin, size_t end) {
    std::vector<size_t> order;
    for (size_t i = begin; i < end; ++i) {
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return jobs[a].size > jobs[b].size; });
    return order;
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

// Writes the encoded jobs [begin, end) and releases their data.
int WriteJobs(PayloadWriter* writer, std::vector<Job>& jobs, size_t begin, size_t end,
              const std::string& outPath, ProgressLine* progress) {
    for (size_t i = begin; i < end; ++i) {
        Job& job = jobs[i];
        PayloadError error = job.error;
        if (error == PayloadError::None) {
            error = AddEncodedEntry(writer, job.name.c_str(), job.encoded, job.dosDateTime);
        }
        if (error != PayloadError::None) {
            const bool sourceFailed = error == PayloadError::SourceNotRead;
            FinishProgress(progress, false);
            if (sourceFailed && !job.origin->empty()) {
                fprintf(stderr, "%s: error: %s: %s\n", job.origin->c_str(), job.timePath.c_str(),
                        DescribePayloadError(error));
            } else {
                ReportProblem(sourceFailed ? job.timePath.c_str() : outPath.c_str(),
                              DescribePayloadError(error));
            }
            return sourceFailed ? kExitBadInput : kExitEntriesFailed;
        }
        AdvanceProgress(progress, job.size, 1);
        job.encoded = EncodedEntry{};
    }
    return kExitSuccess;
}

// Compresses group after group on every thread; while the threads compress
// one group the calling thread first writes the one before, then joins them.
int WriteEntries(PayloadWriter* writer, std::vector<Job>& jobs, const InstallerSettings& settings,
                 bool hasEpoch, int64_t epoch, ProgressLine* progress) {
    const unsigned threads = settings.threads > 0 ? settings.threads : ProcessorCount();
    size_t written = 0;
    size_t begin = 0;
    while (begin < jobs.size() || written < jobs.size()) {
        const size_t end = GroupEnd(jobs, begin, threads);
        Group group{
            &jobs, LargestFirst(jobs, begin, end), {0}, settings.method, settings.level, hasEpoch,
            epoch};
        WorkerGroup* workers = StartWorkers(begin < end ? threads - 1 : 0, EncodeGroup, &group);
        int status = WriteJobs(writer, jobs, written, begin, settings.outPath, progress);
        EncodeGroup(&group);
        JoinWorkers(workers);
        if (status != kExitSuccess) {
            return status;
        }
        written = begin;
        begin = end;
        if (begin == jobs.size() && written < jobs.size()) {
            status = WriteJobs(writer, jobs, written, begin, settings.outPath, progress);
            if (status != kExitSuccess) {
                return status;
            }
            written = begin;
        }
    }
    return kExitSuccess;
}

// SOURCE_DATE_EPOCH: a decimal count of seconds since 1970. False when it is
// set but not a number.
bool ReadSourceDateEpoch(bool* hasEpoch, int64_t* epoch) {
    const char* text = getenv("SOURCE_DATE_EPOCH");
    *hasEpoch = text != nullptr && *text != '\0';
    if (!*hasEpoch) {
        return true;
    }
    char* end = nullptr;
    const long long value = strtoll(text, &end, 10);
    if (*end != '\0' || value < 0 || !isdigit(static_cast<unsigned char>(*text))) {
        return false;
    }
    *epoch = value;
    return true;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    return EqualIgnoringAsciiCase(a.data(), a.size(), b, strlen(b));
}

// Signs inPath into outPath; a command without "{in}" signs a copy placed at
// outPath.
bool Sign(const InstallerSettings& settings, const std::string& inPath, const std::string& outPath,
          const std::string& subject) {
    std::string failure;
    bool signedOk = true;
    if (settings.signCommand.find("{in}") == std::string::npos && inPath != outPath) {
        std::vector<unsigned char> bytes;
        signedOk = ReadWholeFile(inPath, &bytes) && WriteWholeFile(outPath, bytes);
        if (!signedOk) {
            failure = "cannot be copied for signing";
        }
    }
    if (signedOk) {
        signedOk = RunSignCommand(settings.signCommand, inPath, outPath, &failure);
    }
    if (!signedOk) {
        ReportProblem(subject.c_str(), failure.c_str());
    }
    return signedOk;
}

// The stub as it goes into the installer: without a certificate table.
int PrepareStub(const std::string& stubPath, std::vector<unsigned char>* stub) {
    if (!ReadWholeFile(stubPath, stub)) {
        ReportProblem(stubPath.c_str(), "cannot be read");
        return kExitBadInput;
    }
    size_t removed = 0;
    switch (RemoveCertificateTable(stub, &removed)) {
    case CertificateTable::None:
        break;
    case CertificateTable::Removed: {
        char note[160];
        snprintf(note, sizeof(note),
                 "note: its certificate table (%zu bytes) was removed: a signature does not "
                 "cover the payload behind it; sign the installer instead",
                 removed);
        ReportProblem(stubPath.c_str(), note);
        break;
    }
    case CertificateTable::Damaged:
        ReportProblem(stubPath.c_str(), "damaged certificate table: its directory entry points "
                                        "outside the file; the stub is left as it is");
        return kExitBadInput;
    }
    return kExitSuccess;
}

int BuildInstaller(const InstallerSettings& settings, const std::vector<InstallerEntry>& entries) {
    if (settings.level < kMinPayloadLevel || settings.level > kMaxPayloadLevel) {
        ReportProblem(settings.outPath.c_str(), "compression level out of range 0 to 9");
        return kExitBadInput;
    }
    bool hasEpoch = false;
    int64_t epoch = 0;
    if (!ReadSourceDateEpoch(&hasEpoch, &epoch)) {
        ReportProblem("SOURCE_DATE_EPOCH", "not a number of seconds since 1970");
        return kExitBadInput;
    }
    std::vector<unsigned char> stub;
    int status = PrepareStub(settings.stubPath, &stub);
    if (status != kExitSuccess) {
        return status;
    }
    const bool signing = !settings.signCommand.empty();
    TemporaryFiles temporary{settings.outPath, {}};
    std::string partial;
    if (!temporary.Create("part", &partial)) {
        return kExitEntriesFailed;
    }
    std::vector<Job> jobs(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        jobs[i].name = entries[i].name;
        jobs[i].sourcePath = entries[i].sourcePath;
        jobs[i].timePath = entries[i].sourcePath;
        jobs[i].data = &entries[i].data;
        jobs[i].origin = &entries[i].origin;
        if (signing && EqualsIgnoringCase(entries[i].name, kUninstallerFile)) {
            std::string signedCopy;
            if (!temporary.Create("uninstall.exe", &signedCopy)) {
                return kExitEntriesFailed;
            }
            if (!Sign(settings, entries[i].sourcePath, signedCopy, entries[i].sourcePath)) {
                return kExitSignFailed;
            }
            jobs[i].sourcePath = signedCopy;
        }
        jobs[i].size =
            jobs[i].sourcePath.empty() ? entries[i].data.size() : FileSize(jobs[i].sourcePath);
    }

    PayloadError error = PayloadError::None;
    PayloadWriter* writer =
        CreatePayloadWithStub(partial.c_str(), stub.data(), stub.size(), &error);
    if (writer == nullptr) {
        ReportProblem(settings.outPath.c_str(), DescribePayloadError(error));
        return kExitEntriesFailed;
    }
    uint64_t totalBytes = 0;
    for (const Job& job : jobs) {
        totalBytes += job.size;
    }
    ProgressLine progress;
    StartProgress(&progress, settings.outPath.c_str(), totalBytes, jobs.size(), settings.quiet);
    status = WriteEntries(writer, jobs, settings, hasEpoch, epoch, &progress);
    if (status != kExitSuccess) {
        DiscardPayload(writer);
        return status;
    }
    error = FinishPayload(writer);
    FinishProgress(&progress, error == PayloadError::None);
    if (error != PayloadError::None) {
        ReportProblem(settings.outPath.c_str(), DescribePayloadError(error));
        return kExitEntriesFailed;
    }
    std::string finished = partial;
    if (signing) {
        if (settings.signCommand.find("{in}") != std::string::npos &&
            !temporary.Create("signed", &finished)) {
            return kExitEntriesFailed;
        }
        if (!Sign(settings, partial, finished, settings.outPath)) {
            return kExitSignFailed;
        }
    }
    // The last of two runs to one output wins with its whole installer.
    if (!MoveTemporaryInto(finished, settings.outPath)) {
        ReportProblem(settings.outPath.c_str(), "cannot be replaced");
        return kExitEntriesFailed;
    }
    return kExitSuccess;
}

} // namespace

bool ParsePayloadMethod(const char* name, PayloadMethod* method) {
    static const struct {
        const char* name;
        PayloadMethod method;
    } kNames[] = {{"deflate", PayloadMethod::Deflated},
                  {"lzma", PayloadMethod::Lzma},
                  {"store", PayloadMethod::Stored}};
    for (const auto& known : kNames) {
        if (strcmp(name, known.name) == 0) {
            *method = known.method;
            return true;
        }
    }
    return false;
}

bool WriteInstaller(const InstallerSettings& settings, const std::vector<InstallerEntry>& entries,
                    int* exitCode) {
    const int status = BuildInstaller(settings, entries);
    if (exitCode != nullptr) {
        *exitCode = status;
    }
    return status == kExitSuccess;
}
