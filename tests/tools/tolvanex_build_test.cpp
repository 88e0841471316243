// tolvanex-build as a user runs it: list and extract on the reference
// archives, pack followed by list and extract, and the exit codes and
// messages of wrong use.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <utime.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/archive/archive_test_support.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadFileBytes(path);
    std::string text;
    for (unsigned char c : bytes) {
        if (c != '\r') {
            text.push_back(static_cast<char>(c));
        }
    }
    return text;
}

// Runs the tool through the shell with stdout and stderr captured in files.
ToolRun RunTool(const std::vector<std::string>& arguments) {
    static int runs = 0;
    ScratchDirectory capture;
    const std::string outPath = capture.Join("out-" + std::to_string(++runs));
    const std::string errPath = capture.Join("err-" + std::to_string(runs));
    std::string command = "\"" + std::string(TOLVANEX_BUILD_TOOL) + "\"";
    for (const std::string& argument : arguments) {
        command += " \"" + argument + "\"";
    }
    command += " >\"" + outPath + "\" 2>\"" + errPath + "\"";
#ifdef _WIN32
    // cmd.exe strips the outermost pair of quotes.
    command = "\"" + command + "\"";
    const int exitCode = std::system(command.c_str());
#else
    const int status = std::system(command.c_str());
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return ToolRun{exitCode, ReadText(outPath), ReadText(errPath)};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReferencePath(const std::string& name) {
    return TestDataPath("payloads/" + name);
}

std::string Backslashed(std::string name) {
    for (char& c : name) {
        c = c == '/' ? '\\' : c;
    }
    return name;
}

std::string NativePath(const std::string& directory, std::string relative) {
    for (char& c : relative) {
        c = c == '/' || c == '\\' ? NativeSeparator()[0] : c;
    }
    return directory + NativeSeparator() + relative;
}

// The list line the manifest predicts for one entry.
std::string ExpectedListLine(int index, const JsonValue& entry) {
    const int method = static_cast<int>(entry["method"].AsInt());
    const std::string methodName = method == 0   ? "stored"
                                   : method == 8 ? "deflated"
                                                 : "method" + std::to_string(method);
    const uint32_t dos = static_cast<uint32_t>(entry["dos_date_time"].AsInt());
    const uint32_t date = dos >> 16;
    const uint32_t time = dos & 0xFFFF;
    char line[512];
    snprintf(line, sizeof(line), "%5d  %-8s  %10lld  %10lld  %s  %04u-%02u-%02u %02u:%02u:%02u  %s",
             index, methodName.c_str(), static_cast<long long>(entry["size"].AsInt()),
             static_cast<long long>(entry["compressed_size"].AsInt()), entry["crc32"].text.c_str(),
             (date >> 9) + 1980, (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F,
             (time & 0x1F) * 2, Backslashed(entry["name"].text).c_str());
    return line;
}

// --- Reference archives ---------------------------------------------------------

TEST(ListCommand, PrintsEveryReferenceEntryAsTheManifestDescribesIt) {
    for (const auto& archive : ReferenceManifest().members) {
        SCOPED_TRACE(archive.first);
        const ToolRun run = RunTool({"list", ReferencePath(archive.first)});
        if (!archive.second["opens"].boolean) {
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_EQ(run.out, "");
            const std::vector<std::string> lines = Lines(run.err);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_NE(lines[0].find(archive.first), std::string::npos) << lines[0];
            continue;
        }
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        const std::vector<JsonValue>& entries = archive.second["entries"].items;
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(lines[i], ExpectedListLine(static_cast<int>(i), entries[i]));
        }
    }
}

TEST(ExtractCommand, ExtractsSoundEntriesAndNamesTheFailedOnes) {
    for (const auto& archive : ReferenceManifest().members) {
        if (!archive.second["opens"].boolean) {
            continue;
        }
        SCOPED_TRACE(archive.first);
        ScratchDirectory scratch;
        const std::string out = scratch.Join("out");
        const ToolRun run = RunTool({"extract", ReferencePath(archive.first), out});
        const std::vector<JsonValue>& entries = archive.second["entries"].items;
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), entries.size());
        bool anyFailed = false;
        for (size_t i = 0; i < entries.size(); ++i) {
            const JsonValue& entry = entries[i];
            const bool sound = entry["read"].text == "ok";
            anyFailed |= !sound;
            EXPECT_NE(lines[i].find(Backslashed(entry["name"].text)), std::string::npos);
            EXPECT_EQ(lines[i].find("FAILED") != std::string::npos, !sound) << lines[i];
            const std::string target = NativePath(out, entry["name"].text);
            if (sound && entry["name"].text.back() != '/') {
                EXPECT_EQ(Sha256Hex(ReadFileBytes(target)), entry["sha256"].text);
            } else if (!sound) {
                EXPECT_FALSE(PathExists(target)) << target;
            }
        }
        EXPECT_EQ(run.exitCode, anyFailed ? 1 : 0);
        EXPECT_EQ(Lines(run.err).size(), anyFailed ? 1u : 0u);
    }
}

// --- Packing ------------------------------------------------------------------------

TEST(PackCommand, PacksFilesDirectoriesAndNamedItemsForListAndExtract) {
    ScratchDirectory scratch;
    const std::string stub = scratch.Join("stub.exe");
    const Bytes stubBytes = RandomBytes(3000, 21);
    ASSERT_TRUE(WriteFileBytes(stub, stubBytes));
    const std::string tree = scratch.Join("tree");
    fs::create_directories(NativePath(tree, "sub/deeper"));
    const Bytes setupIni = CompressibleBytes(400, 22);
    const Bytes deep = RandomBytes(70000, 23);
    const Bytes app = CompressibleBytes(123456, 24);
    ASSERT_TRUE(WriteFileBytes(NativePath(tree, "setup.ini"), setupIni));
    ASSERT_TRUE(WriteFileBytes(NativePath(tree, "sub/deeper/data.bin"), deep));
    const std::string appPath = scratch.Join("app.exe");
    ASSERT_TRUE(WriteFileBytes(appPath, app));

    for (bool store : {false, true}) {
        SCOPED_TRACE(store ? "stored" : "deflated");
        const std::string out = scratch.Join(store ? "stored.exe" : "deflated.exe");
        std::vector<std::string> arguments = {"pack", "--stub", stub, "--out", out};
        if (store) {
            arguments.push_back("--store");
        }
        arguments.insert(arguments.end(), {tree, "file_1=" + appPath, appPath});
        const ToolRun packed = RunTool(arguments);
        ASSERT_EQ(packed.exitCode, 0) << packed.err;
        const Bytes outBytes = ReadFileBytes(out);
        EXPECT_TRUE(std::equal(stubBytes.begin(), stubBytes.end(), outBytes.begin()));

        const std::vector<std::string> listed = Lines(RunTool({"list", out}).out);
        const char* const names[] = {"setup.ini", "sub\\deeper\\data.bin", "file_1", "app.exe"};
        ASSERT_EQ(listed.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            // Random data.bin cannot be shrunk: it is stored either way.
            const bool stored = store || i == 1;
            EXPECT_NE(listed[i].find(stored ? "stored" : "deflated"), std::string::npos);
            EXPECT_EQ(listed[i].substr(listed[i].size() - strlen(names[i])), names[i]);
        }

        const std::string extracted = scratch.Join(store ? "x-stored" : "x-deflated");
        ASSERT_EQ(RunTool({"extract", out, extracted}).exitCode, 0);
        EXPECT_EQ(ReadFileBytes(NativePath(extracted, "setup.ini")), setupIni);
        EXPECT_EQ(ReadFileBytes(NativePath(extracted, "sub/deeper/data.bin")), deep);
        EXPECT_EQ(ReadFileBytes(NativePath(extracted, "file_1")), app);
        EXPECT_EQ(ReadFileBytes(NativePath(extracted, "app.exe")), app);
    }
}

// --- Reproducible and parallel packing ----------------------------------------------

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

// Sets a variable for the tool runs of one test.
struct ScopedEnvironment {
    const char* name;
    ScopedEnvironment(const char* variable, const char* value) : name(variable) {
        SetEnvironment(name, value);
    }
    ~ScopedEnvironment() { SetEnvironment(name, nullptr); }
};

bool SetModificationTime(const std::string& path, time_t seconds) {
    struct utimbuf times;
    times.actime = seconds;
    times.modtime = seconds;
    return utime(path.c_str(), &times) == 0;
}

constexpr time_t kEpoch = 1700000000;      // 2023-11-14 22:13:20 UTC
constexpr time_t kBeforeEpoch = 981173106; // 2001-02-03 04:05:06 UTC

// Files created in the given order, each with its time: the old file keeps
// its own, the others carry `recent`, later than the epoch.
void MakeTree(const std::string& tree, const std::vector<std::string>& order, time_t recent) {
    fs::create_directories(NativePath(tree, "sub/deeper"));
    for (const std::string& name : order) {
        const std::string path = NativePath(tree, name);
        const uint32_t seed = static_cast<uint32_t>(name.size());
        ASSERT_TRUE(WriteFileBytes(path, name == "sub/deeper/random.bin"
                                             ? RandomBytes(40000, seed)
                                             : CompressibleBytes(20000 + seed, seed)));
        ASSERT_TRUE(SetModificationTime(path, name == "old.txt" ? kBeforeEpoch : recent));
    }
}

TEST(ReproduciblePacking, TreesMadeAtDifferentTimesAndInAnotherOrderGiveTheSameBytes) {
    ScratchDirectory scratch;
    const std::vector<std::string> order = {"setup.ini", "old.txt", "sub/deeper/random.bin",
                                            "sub/b.txt", "a.txt"};
    const std::vector<std::string> reversed(order.rbegin(), order.rend());
    MakeTree(scratch.Join("first"), order, time(nullptr));
    MakeTree(scratch.Join("second-tree"), reversed, time(nullptr) + 86400 * 3);
    const std::string stub = scratch.Join("stub.exe");
    ASSERT_TRUE(WriteFileBytes(stub, RandomBytes(2000, 5)));

    ScopedEnvironment epoch("SOURCE_DATE_EPOCH", std::to_string(kEpoch).c_str());
    // Entry times are UTC: the build machine's time zone changes nothing.
    ScopedEnvironment zone("TZ", "XYZ-5");
    const std::string outputs[] = {scratch.Join("first.exe"), scratch.Join("second.exe")};
    const std::string trees[] = {scratch.Join("first"), scratch.Join("second-tree")};
    for (int i = 0; i < 2; ++i) {
        const ToolRun run = RunTool({"pack", "--stub", stub, "--out", outputs[i], trees[i]});
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    EXPECT_EQ(ReadFileBytes(outputs[0]), ReadFileBytes(outputs[1]));

    const std::vector<std::string> listed = Lines(RunTool({"list", outputs[0]}).out);
    ASSERT_EQ(listed.size(), order.size());
    for (const std::string& line : listed) {
        const bool old = line.find("old.txt") != std::string::npos;
        EXPECT_NE(line.find(old ? "2001-02-03 04:05:06" : "2023-11-14 22:13:20"), std::string::npos)
            << line;
    }
    EXPECT_NE(listed[0].find("a.txt"), std::string::npos); // name order
    EXPECT_NE(listed[4].find("sub\\deeper\\random.bin"), std::string::npos);
}

TEST(ReproduciblePacking, ANonNumericSourceDateEpochIsRefused) {
    ScratchDirectory scratch;
    const std::string item = scratch.Join("item.txt");
    ASSERT_TRUE(WriteFileBytes(item, Bytes(10, 'i')));
    ScopedEnvironment epoch("SOURCE_DATE_EPOCH", "yesterday");
    const std::string out = scratch.Join("out.exe");
    const ToolRun run = RunTool({"pack", "--stub", item, "--out", out, item});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("SOURCE_DATE_EPOCH"), std::string::npos) << run.err;
    EXPECT_FALSE(PathExists(out));
}

TEST(ParallelPacking, AnyNumberOfThreadsGivesTheBytesOfOne) {
    ScratchDirectory scratch;
    const std::string tree = scratch.Join("tree");
    fs::create_directories(tree);
    // More entries than one thread's group, of every kind: empty, random,
    // text-like, and one larger than the rest together.
    std::vector<Bytes> contents;
    for (uint32_t i = 0; i < 40; ++i) {
        const size_t size = i % 7 == 0 ? 0 : 1000 * (i + 1);
        contents.push_back(i % 3 == 0 ? RandomBytes(size, i) : CompressibleBytes(size, i));
    }
    contents.push_back(CompressibleBytes(3000000, 99));
    for (size_t i = 0; i < contents.size(); ++i) {
        ASSERT_TRUE(WriteFileBytes(NativePath(tree, "f" + std::to_string(100 + i)), contents[i]));
    }
    const std::string stub = scratch.Join("stub.exe");
    ASSERT_TRUE(WriteFileBytes(stub, RandomBytes(500, 6)));

    struct Case {
        const char* threads; // nullptr: one per processor
        const char* level;
    };
    const Case cases[] = {{"1", "6"}, {"3", "6"}, {nullptr, "6"}, {"1", "1"}, {"4", "1"}};
    Bytes reference;
    const char* referenceLevel = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.threads != nullptr ? c.threads : "all") + " threads, level " +
                     c.level);
        const std::string out = scratch.Join("out.exe");
        std::vector<std::string> arguments = {"pack", "--stub",  stub,   "--out",
                                              out,    "--level", c.level};
        if (c.threads != nullptr) {
            arguments.insert(arguments.end(), {"--threads", c.threads});
        }
        arguments.push_back(tree);
        const ToolRun run = RunTool(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Bytes bytes = ReadFileBytes(out);
        if (referenceLevel == nullptr || strcmp(referenceLevel, c.level) != 0) {
            reference = bytes;
            referenceLevel = c.level;
            const std::string extracted = scratch.Join(std::string("x") + c.level);
            ASSERT_EQ(RunTool({"extract", out, extracted}).exitCode, 0);
            for (size_t i = 0; i < contents.size(); ++i) {
                EXPECT_EQ(ReadFileBytes(NativePath(extracted, "f" + std::to_string(100 + i))),
                          contents[i])
                    << i;
            }
        } else {
            EXPECT_EQ(bytes, reference);
        }
    }
}

TEST(ParallelPacking, LevelsStoreOrDeflateAndOutOfRangeIsRefused) {
    ScratchDirectory scratch;
    const std::string text = scratch.Join("text.txt");
    const std::string noise = scratch.Join("noise.bin");
    ASSERT_TRUE(WriteFileBytes(text, CompressibleBytes(50000, 1)));
    ASSERT_TRUE(WriteFileBytes(noise, RandomBytes(50000, 2)));
    struct Case {
        const char* level;
        int exitCode;
        const char* textMethod; // the random file is always stored
    };
    const Case cases[] = {{"0", 0, "stored"}, {"1", 0, "deflated"}, {"9", 0, "deflated"},
                          {"10", 2, nullptr}, {"-1", 2, nullptr},   {"x", 2, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        const std::string out = scratch.Join(std::string("level") + c.level + ".exe");
        const ToolRun run =
            RunTool({"pack", "--stub", noise, "--out", out, "--level", c.level, text, noise});
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.textMethod == nullptr) {
            EXPECT_FALSE(PathExists(out));
            continue;
        }
        const std::vector<std::string> listed = Lines(RunTool({"list", out}).out);
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_NE(listed[0].find(c.textMethod), std::string::npos) << listed[0];
        EXPECT_NE(listed[1].find("stored"), std::string::npos) << listed[1];
    }
}

TEST(PackCommand, RefusesBadItemsWithoutWritingTheOutput) {
    ScratchDirectory scratch;
    const std::string stub = scratch.Join("stub");
    const std::string item = scratch.Join("item.txt");
    ASSERT_TRUE(WriteFileBytes(stub, Bytes(10, 's')));
    ASSERT_TRUE(WriteFileBytes(item, Bytes(10, 'i')));
    const std::string out = scratch.Join("out.exe");
    const std::vector<std::vector<std::string>> cases = {
        {"--stub", scratch.Join("no-stub"), "--out", out, item},
        {"--stub", stub, "--out", out, scratch.Join("no-item")},
        {"--stub", stub, "--out", out, "../escape.txt=" + item},
        {"--stub", stub, "--out", out, "C:evil=" + item},
        {"--stub", stub, "--out", out, "same=" + item, "same=" + item},
    };
    for (const std::vector<std::string>& arguments : cases) {
        SCOPED_TRACE(arguments.back());
        std::vector<std::string> full = {"pack"};
        full.insert(full.end(), arguments.begin(), arguments.end());
        const ToolRun run = RunTool(full);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_FALSE(PathExists(out));
    }
}

// --- Wrong use --------------------------------------------------------------------

TEST(Usage, WrongArgumentsPrintTheUsageAndExit2) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"bogus"},
        {"list"},
        {"list", "a", "b"},
        {"extract", "a"},
        {"pack", "--out", "o", "item"},
        {"pack", "--stub", "s", "--out", "o"},
        {"pack", "--stub", "s", "--out", "o", "--fast", "item"},
        {"--help", "extra"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments[0] + " ...");
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("Usage: tolvanex-build", 0), 0u);
    }
    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: tolvanex-build", 0), 0u);
    EXPECT_EQ(help.err, "");
}

TEST(Usage, FilesWithoutASoundPayloadGetOneLineAndExit2) {
    ScratchDirectory scratch;
    const std::string plain = scratch.Join("plain.txt");
    ASSERT_TRUE(WriteFileBytes(plain, CompressibleBytes(3000, 25)));
    Bytes damaged = ReadFileBytes(ReferencePath("plain.payload"));
    damaged[damaged.size() - 22 - 55] = 0x50; // signature of the last central header
    const std::string damagedPath = scratch.Join("damaged.payload");
    ASSERT_TRUE(WriteFileBytes(damagedPath, damaged));
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {plain, "no payload found"},
        {scratch.Join("missing.exe"), ""},
        {ReferencePath("counts-differ.payload"), "damaged payload"},
        {damagedPath, "damaged payload"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        for (const char* command : {"list", "extract"}) {
            std::vector<std::string> arguments = {command, c.path};
            if (std::string(command) == "extract") {
                arguments.push_back(scratch.Join("out"));
            }
            const ToolRun run = RunTool(arguments);
            EXPECT_EQ(run.exitCode, 2);
            const std::vector<std::string> lines = Lines(run.err);
            ASSERT_EQ(lines.size(), 1u) << run.err;
            EXPECT_EQ(lines[0].rfind("tolvanex-build: " + c.path + ": ", 0), 0u) << lines[0];
            EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
        }
    }
}

} // namespace
