// Archive benchmark, run by hand: prints its figures, asserts nothing.
//
//  1. Listing and extracting n small entries by index, for n = 1,000 and
//     10,000: with forward access costing one header each, the time grows
//     linearly (target ratio at most 12).
//  2. Extracting about 200 MB (compressible and random files) with
//     tolvanex-build against the same files as a standard ZIP with unzip
//     (target ratio at most 1.2).
//  3. The peak resident memory of tolvanex-build extracting a tiny payload
//     and the 200 MB one: it must not grow with the entry size.
//
// Usage: archive_bench [WORK_DIRECTORY]   (default: a fresh one in /tmp)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "archive/payload_writer.h"
#include "archive/setup_archive.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User and system time of this process: less disturbed than wall time when
// the machine is shared.
double ProcessCpuSeconds() {
    struct timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

uint32_t NextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Text-like data, which deflates to about a quarter.
void FillCompressible(std::vector<unsigned char>& buffer, uint32_t& state) {
    static const char* const kWords[] = {"install ", "setup ", "file_", "payload ",
                                         "0123 ",    "\r\n",   "Ziel ", "archive "};
    size_t at = 0;
    while (at < buffer.size()) {
        const char* word = kWords[NextRandom(state) % 8];
        for (; *word != '\0' && at < buffer.size(); ++word) {
            buffer[at++] = static_cast<unsigned char>(*word);
        }
        if (NextRandom(state) % 4 == 0 && at < buffer.size()) {
            buffer[at++] = static_cast<unsigned char>('a' + NextRandom(state) % 26);
        }
    }
}

void FillRandom(std::vector<unsigned char>& buffer, uint32_t& state) {
    for (unsigned char& byte : buffer) {
        byte = static_cast<unsigned char>(NextRandom(state));
    }
}

bool WriteDataFile(const fs::path& path, size_t size, bool compressible, uint32_t seed) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::vector<unsigned char> chunk(1 << 20);
    uint32_t state = seed;
    bool written = true;
    for (size_t done = 0; done < size && written; done += chunk.size()) {
        chunk.resize(std::min(chunk.size(), size - done));
        compressible ? FillCompressible(chunk, state) : FillRandom(chunk, state);
        written = fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
    }
    return fclose(file) == 0 && written;
}

struct ChildResult {
    int exitCode;
    double seconds;
    long peakKilobytes;
};

// Runs a program to completion with its output discarded.
ChildResult RunChild(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    ChildResult result{-1, 0, 0};
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage;
        wait4(pid, &status, 0, &usage);
        result.seconds = SecondsSince(start);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.peakKilobytes = usage.ru_maxrss;
    }
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

bool PackDirectory(const fs::path& source, const fs::path& out) {
    PayloadWriter* writer = CreatePayload(out.c_str(), nullptr, nullptr);
    if (writer == nullptr) {
        return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
        const std::string name = entry.path().filename().string();
        if (AddPayloadFile(writer, name.c_str(), entry.path().c_str(), PayloadMethod::Deflated) !=
            PayloadError::None) {
            DiscardPayload(writer);
            return false;
        }
    }
    return FinishPayload(writer) == PayloadError::None;
}

// --- 1. Small entries by index ----------------------------------------------------

struct IndexTiming {
    double listSeconds;
    double listAndExtractSeconds;
    double listAndExtractCpuSeconds;
};

bool MakeSmallEntryPayload(const fs::path& path, int count) {
    PayloadWriter* writer = CreatePayload(path.c_str(), nullptr, nullptr);
    if (writer == nullptr) {
        return false;
    }
    std::vector<unsigned char> data(200);
    uint32_t state = 99;
    for (int i = 0; i < count; ++i) {
        FillCompressible(data, state);
        const std::string name = "file_" + std::to_string(i + 1);
        if (AddPayloadData(writer, name.c_str(), data.data(), static_cast<uint32_t>(data.size()),
                           0x52CE6A3C, PayloadMethod::Deflated) != PayloadError::None) {
            DiscardPayload(writer);
            return false;
        }
    }
    return FinishPayload(writer) == PayloadError::None;
}

bool ListAndExtractOnce(SetupArchive& archive, int count, const fs::path& out,
                        IndexTiming* timing) {
    ArchiveEntryInfo info;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (!archive.GetEntryInfo(i, &info)) {
            return false;
        }
    }
    timing->listSeconds = SecondsSince(start);
    start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    for (int i = 0; i < count; ++i) {
        if (!archive.GetEntryInfo(i, &info) ||
            !archive.ExtractEntry(i, out.c_str(), false, nullptr)) {
            return false;
        }
    }
    timing->listAndExtractSeconds = SecondsSince(start);
    timing->listAndExtractCpuSeconds = ProcessCpuSeconds() - cpuStart;
    fs::remove_all(out);
    return true;
}

// Best of three runs, each into a fresh directory.
bool TimeByIndex(const fs::path& work, int count, IndexTiming* best) {
    const fs::path payload = work / ("small-" + std::to_string(count) + ".payload");
    const fs::path out = work / ("small-" + std::to_string(count));
    if (!MakeSmallEntryPayload(payload, count)) {
        return false;
    }
    SetupArchive archive(payload.c_str());
    if (archive.GetEntryCount() != count) {
        return false;
    }
    *best = IndexTiming{1e9, 1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        IndexTiming timing{};
        if (!ListAndExtractOnce(archive, count, out, &timing)) {
            return false;
        }
        best->listSeconds = std::min(best->listSeconds, timing.listSeconds);
        best->listAndExtractSeconds =
            std::min(best->listAndExtractSeconds, timing.listAndExtractSeconds);
        best->listAndExtractCpuSeconds =
            std::min(best->listAndExtractCpuSeconds, timing.listAndExtractCpuSeconds);
    }
    return true;
}

bool RunIndexBenchmark(const fs::path& work) {
    IndexTiming small{};
    IndexTiming large{};
    if (!TimeByIndex(work, 1000, &small) || !TimeByIndex(work, 10000, &large)) {
        fprintf(stderr, "small-entry benchmark failed\n");
        return false;
    }
    printf("entries by index      1,000: list %.4f s, list+extract %.3f s (CPU %.3f s)\n",
           small.listSeconds, small.listAndExtractSeconds, small.listAndExtractCpuSeconds);
    printf("                     10,000: list %.4f s, list+extract %.3f s (CPU %.3f s)\n",
           large.listSeconds, large.listAndExtractSeconds, large.listAndExtractCpuSeconds);
    printf("                      ratio: list %.1f, list+extract %.1f (CPU %.1f) (target <= 12)\n",
           large.listSeconds / small.listSeconds,
           large.listAndExtractSeconds / small.listAndExtractSeconds,
           large.listAndExtractCpuSeconds / small.listAndExtractCpuSeconds);
    return true;
}

// --- 2. and 3. 200 MB against unzip ---------------------------------------------

bool MakeLargeSources(const fs::path& source) {
    // Two entries of 50 MB and ten of 10 MB, half text-like and half random.
    struct File {
        const char* name;
        size_t megabytes;
        bool compressible;
    };
    const File files[] = {
        {"big-text.dat", 50, true},  {"big-random.bin", 50, false}, {"text-1.dat", 10, true},
        {"text-2.dat", 10, true},    {"text-3.dat", 10, true},      {"text-4.dat", 10, true},
        {"text-5.dat", 10, true},    {"random-1.bin", 10, false},   {"random-2.bin", 10, false},
        {"random-3.bin", 10, false}, {"random-4.bin", 10, false},   {"random-5.bin", 10, false},
    };
    fs::create_directories(source);
    uint32_t seed = 1;
    for (const File& file : files) {
        if (!WriteDataFile(source / file.name, file.megabytes << 20, file.compressible, seed++)) {
            return false;
        }
    }
    return true;
}

bool RunLargeBenchmark(const fs::path& work, const char* tool) {
    const fs::path source = work / "large-source";
    const fs::path payload = work / "large.payload";
    const fs::path zip = work / "large.zip";
    if (!MakeLargeSources(source) || !PackDirectory(source, payload)) {
        fprintf(stderr, "making the large payload failed\n");
        return false;
    }
    const std::string zipCommand =
        "cd '" + source.string() + "' && zip -q -6 '" + zip.string() + "' *";
    if (std::system(zipCommand.c_str()) != 0) {
        fprintf(stderr, "zip failed (is zip installed?)\n");
        return false;
    }
    // Best of three, alternating, each into a fresh directory.
    double ours = 1e9;
    double theirs = 1e9;
    long peakLarge = 0;
    for (int round = 0; round < 3; ++round) {
        const fs::path outOurs = work / ("out-ours-" + std::to_string(round));
        const fs::path outTheirs = work / ("out-unzip-" + std::to_string(round));
        const ChildResult a = RunChild({tool, "extract", payload.string(), outOurs.string()});
        const ChildResult b =
            RunChild({"unzip", "-q", "-o", zip.string(), "-d", outTheirs.string()});
        if (a.exitCode != 0 || b.exitCode != 0) {
            fprintf(stderr, "extraction failed: tolvanex-build %d, unzip %d\n", a.exitCode,
                    b.exitCode);
            return false;
        }
        ours = std::min(ours, a.seconds);
        theirs = std::min(theirs, b.seconds);
        peakLarge = std::max(peakLarge, a.peakKilobytes);
        fs::remove_all(outOurs);
        fs::remove_all(outTheirs);
    }
    printf("200 MB payload (%.1f MB packed, zip %.1f MB):\n",
           static_cast<double>(fs::file_size(payload)) / (1 << 20),
           static_cast<double>(fs::file_size(zip)) / (1 << 20));
    printf("  tolvanex-build extract %.3f s, unzip %.3f s, ratio %.2f (target <= 1.2)\n", ours,
           theirs, ours / theirs);

    const fs::path tiny = work / "tiny.payload";
    const ChildResult tinyRun = [&] {
        MakeSmallEntryPayload(tiny, 1);
        return RunChild({tool, "extract", tiny.string(), (work / "out-tiny").string()});
    }();
    printf("  peak RSS of tolvanex-build extract: one 200-byte entry %ld KiB, 200 MB with 50 MB "
           "entries %ld KiB\n",
           tinyRun.peakKilobytes, peakLarge);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    fs::path work;
    if (argc > 1) {
        work = argv[1];
        fs::create_directories(work);
    } else {
        char pattern[] = "/tmp/tolvanex-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            perror("mkdtemp");
            return 1;
        }
        work = pattern;
    }
    printf("work directory %s\n", work.c_str());
    const bool passed = RunIndexBenchmark(work) && RunLargeBenchmark(work, TOLVANEX_BUILD_TOOL);
    fs::remove_all(work);
    return passed ? 0 : 1;
}
