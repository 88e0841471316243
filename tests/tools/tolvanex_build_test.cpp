// tolvanex-build as a user runs it: list and extract on the reference
// archives, pack followed by list and extract, and the exit codes and
// messages of wrong use.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <sys/utime.h>
#else
#include <sys/wait.h>
#include <utime.h>
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
    const std::string methodName = method == 0    ? "stored"
                                   : method == 8  ? "deflated"
                                   : method == 14 ? "lzma"
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
            EXPECT_NE(listed[i].find(stored ? "stored" : "lzma"), std::string::npos);
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
        const char* method;
    };
    const Case cases[] = {{"1", "6", "deflate"},  {"3", "6", "deflate"}, {nullptr, "6", "deflate"},
                          {"1", "1", "deflate"},  {"4", "1", "deflate"}, {"1", "6", "lzma"},
                          {nullptr, "6", "lzma"}, {"5", "6", "lzma"}};
    Bytes reference;
    std::string referenceKind;
    for (const Case& c : cases) {
        const std::string kind = std::string(c.method) + c.level;
        SCOPED_TRACE(std::string(c.threads != nullptr ? c.threads : "all") + " threads, " + kind);
        const std::string out = scratch.Join("out.exe");
        std::vector<std::string> arguments = {"pack",    "--stub", stub,       "--out", out,
                                              "--level", c.level,  "--method", c.method};
        if (c.threads != nullptr) {
            arguments.insert(arguments.end(), {"--threads", c.threads});
        }
        arguments.push_back(tree);
        const ToolRun run = RunTool(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Bytes bytes = ReadFileBytes(out);
        if (referenceKind != kind) {
            reference = bytes;
            referenceKind = kind;
            const std::string extracted = scratch.Join("x" + kind);
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
        const char* method; // nullptr: none given
        int exitCode;
        const char* textMethod; // the random file is always stored
    };
    const Case cases[] = {
        {"0", nullptr, 0, "stored"}, {"1", nullptr, 0, "lzma"},       {"9", nullptr, 0, "lzma"},
        {"10", nullptr, 2, nullptr}, {"-1", nullptr, 2, nullptr},     {"x", nullptr, 2, nullptr},
        {"1", "lzma", 0, "lzma"},    {"9", "lzma", 0, "lzma"},        {"0", "lzma", 0, "stored"},
        {"6", "store", 0, "stored"}, {"6", "deflate", 0, "deflated"}, {"6", "zip", 2, nullptr},
        {"6", "LZMA", 2, nullptr},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.method != nullptr ? c.method : "") + c.level;
        SCOPED_TRACE(name);
        const std::string out = scratch.Join("level" + name + ".exe");
        std::vector<std::string> arguments = {"pack", "--stub",  noise,  "--out",
                                              out,    "--level", c.level};
        if (c.method != nullptr) {
            arguments.insert(arguments.end(), {"--method", c.method});
        }
        arguments.insert(arguments.end(), {text, noise});
        const ToolRun run = RunTool(arguments);
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
        {"pack", "--architecture", "arm64", "--out", "o", "item"},
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

// --- pack refusals and @FILE --------------------------------------------------------

TEST(PackCommand, RefusesNamesTheReaderTakesForSomethingElse) {
    ScratchDirectory scratch;
    const std::string stub = scratch.Join("stub");
    const std::string item = scratch.Join("item.txt");
    ASSERT_TRUE(WriteFileBytes(stub, Bytes(10, 's')));
    ASSERT_TRUE(WriteFileBytes(item, Bytes(10, 'i')));
    const std::string out = scratch.Join("out.exe");
    struct Case {
        std::vector<std::string> names;
        const char* refused; // the name the message leads with
    };
    const std::string overlong(261, 'n');
    const Case cases[] = {
        {{"x/."}, "x/."},    {{"a//b"}, "a//b"},  {{"./a"}, "./a"},  {{"d/"}, "d/"},
        {{"d", "d/e"}, "d"}, {{"d/e", "D"}, "D"}, {{"A", "a"}, "a"}, {{overlong}, "nnnn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.back());
        std::vector<std::string> arguments = {"pack", "--stub", stub, "--out", out};
        for (const std::string& name : c.names) {
            arguments.push_back(name + "=" + item);
        }
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 2);
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind(std::string("tolvanex-build: ") + c.refused, 0), 0u) << lines[0];
        EXPECT_FALSE(PathExists(out));
    }
    // Names that only look alike are fine.
    const ToolRun fine =
        RunTool({"pack", "--stub", stub, "--out", out, "d.e=" + item, "d/e=" + item, "de=" + item});
    EXPECT_EQ(fine.exitCode, 0) << fine.err;
}

TEST(ArgumentFiles, LinesOfAnAtFileAreArguments) {
    ScratchDirectory scratch;
    const std::string stub = scratch.Join("stub");
    const std::string item = scratch.Join("item with blanks.txt");
    ASSERT_TRUE(WriteFileBytes(stub, Bytes(10, 's')));
    ASSERT_TRUE(WriteFileBytes(item, Bytes(10, 'i')));
    const std::string out = scratch.Join("out.exe");
    const std::string list = scratch.Join("items.txt");
    std::string text = "--out\r\n" + out + "\r\n\r\n";
    for (int i = 1; i <= 300; ++i) {
        text += "file_" + std::to_string(i) + "=" + item + "\n";
    }
    text += "last=" + item; // no line end
    ASSERT_TRUE(WriteFileBytes(list, Bytes(text.begin(), text.end())));
    const ToolRun run = RunTool({"pack", "--stub", stub, "@" + list});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> listed = Lines(RunTool({"list", out}).out);
    ASSERT_EQ(listed.size(), 301u);
    EXPECT_EQ(listed.back().substr(listed.back().size() - 4), "last");

    const ToolRun missing = RunTool({"list", "@" + scratch.Join("no-such-list")});
    EXPECT_EQ(missing.exitCode, 2);
    ASSERT_EQ(Lines(missing.err).size(), 1u);
    EXPECT_NE(missing.err.find("no-such-list"), std::string::npos);
}

// --- build --------------------------------------------------------------------------

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(WriteFileBytes(path, Bytes(text.begin(), text.end())));
}

// 2023-11-14; std::filesystem cannot set dates with MinGW.
void SetFixedDate(const std::string& path) {
#ifdef _WIN32
    struct _utimbuf times = {1700000000, 1700000000};
    ASSERT_EQ(_utime(path.c_str(), &times), 0) << path;
#else
    struct utimbuf times = {1700000000, 1700000000};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
#endif
}

// Support files for a build script in `directory`: stub, uninstaller,
// pictures, licence.
const char kSupportKeys[] = "stub=stub.exe\nuninstaller=uninstall.exe\nleft_picture=left.jpg\n"
                            "top_picture=top.jpg\nlicense=license.rtf\n";

void WriteSupportFiles(const std::string& directory) {
    for (const char* name : {"stub.exe", "uninstall.exe", "left.jpg", "top.jpg", "license.rtf"}) {
        WriteText(NativePath(directory, name), std::string("support ") + name);
        // Entries keep their files' dates: equal dates for equal installers.
        SetFixedDate(NativePath(directory, name));
    }
}

// The payload's setup.ini of a built installer, CR LF dropped.
std::string PayloadScript(const std::string& installer, const std::string& scratchDirectory) {
    const std::string extracted =
        NativePath(scratchDirectory, "x-" + fs::path(installer).filename().string());
    fs::remove_all(extracted);
    RunTool({"extract", installer, extracted, "--quiet"});
    return ReadText(NativePath(extracted, "setup.ini"));
}

TEST(BuildCommand, WritesTheScriptWithFoldersAndFilesNumbered) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(NativePath(dir, "app/b.dll"), "b");
    WriteText(NativePath(dir, "app/a.exe"), "a");
    WriteText(NativePath(dir, "app/lib/z/deep.dat"), "deep");
    WriteText(NativePath(dir, "app/lib/Y.dat"), "y");
    WriteText(NativePath(dir, "docs/readme.txt"), "readme");
    WriteText(NativePath(dir, "docs/other.md"), "other");
    WriteText(NativePath(dir, "build.ini"),
              "; comment\n[main]\napptitle=Demo\ndestdir=%%PROGRAMFILES%%Demo\n\n"
              "[build]\noutput=out/demo.exe\n" +
                  std::string(kSupportKeys) +
                  "[dialogs]\nshow_license=yes\n"
                  "[folders]\ncount=2\n1=%%INSTALLDIR%%lib\\\n2=%%INSTALLDIR%%Logs\\Alt\n"
                  "[sources]\ncount=3\n0_from=app\n0_to=%%INSTALLDIR%%\n"
                  "1_from=docs\\*.txt\n1_to=%%INSTALLDIR%%Doku\n"
                  "2_from=app/**/*.dat\n2_to=%%PROGRAMS%%Demo\n"
                  "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=\"Software\\Demo\"\n");
    const ToolRun run = RunTool({"build", NativePath(dir, "build.ini"), "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string installer = NativePath(dir, "out/demo.exe");
    EXPECT_EQ(PayloadScript(installer, dir),
              "[main]\napptitle=Demo\ndestdir=%%PROGRAMFILES%%Demo\n\n"
              "[dialogs]\nshow_license=yes\n\n"
              "[folders]\ncount=8\n1=%%INSTALLDIR%%lib\n2=%%INSTALLDIR%%Logs\n"
              "3=%%INSTALLDIR%%Logs\\Alt\n4=%%INSTALLDIR%%lib\\z\n5=%%INSTALLDIR%%Doku\n"
              "6=%%PROGRAMS%%Demo\n7=%%PROGRAMS%%Demo\\lib\n8=%%PROGRAMS%%Demo\\lib\\z\n\n"
              "[files]\n1=%%INSTALLDIR%%a.exe\n2=%%INSTALLDIR%%b.dll\n3=%%INSTALLDIR%%lib\\Y.dat\n"
              "4=%%INSTALLDIR%%lib\\z\\deep.dat\n5=%%INSTALLDIR%%Doku\\readme.txt\n"
              "6=%%PROGRAMS%%Demo\\lib\\Y.dat\n7=%%PROGRAMS%%Demo\\lib\\z\\deep.dat\n\n"
              "[reg]\ncount=1\n0_hkey=HKEY_CURRENT_USER\n0_key=\"Software\\Demo\"\n");
    const std::string extracted = NativePath(dir, "x-demo.exe");
    EXPECT_EQ(ReadText(NativePath(extracted, "file_4")), "deep");
    EXPECT_EQ(ReadText(NativePath(extracted, "license.rtf")), "support license.rtf");
    const Bytes built = ReadFileBytes(installer);
    const std::string stubText = "support stub.exe";
    EXPECT_TRUE(std::equal(stubText.begin(), stubText.end(), built.begin()));
}

// An application tree of 300 files in 40 nested folders, names with blanks
// and umlauts, created in the given order of its files.
struct AppTree {
    std::vector<std::string> folders; // relative, "/"
    std::vector<std::string> files;
};

// Umlauts as the file functions take them: UTF-8 here, the ANSI code page
// (CP1252 under Wine) on Windows.
#ifdef _WIN32
#define TOLVANEX_UMLAUT(cp1252, utf8) cp1252
#else
#define TOLVANEX_UMLAUT(cp1252, utf8) utf8
#endif
const char kAe[] = TOLVANEX_UMLAUT("\xe4", "\xc3\xa4");
const char kOe[] = TOLVANEX_UMLAUT("\xf6", "\xc3\xb6");
const char kUe[] = TOLVANEX_UMLAUT("\xfc", "\xc3\xbc");

AppTree MakeAppTree() {
    AppTree tree;
    for (int i = 0; i < 40; ++i) {
        char name[64];
        if (i % 2) {
            snprintf(name, sizeof name, "Ordner %02d %s", i, kAe);
        } else {
            snprintf(name, sizeof name, "Teil %s%02d", kUe, i);
        }
        tree.folders.push_back(i == 0 ? std::string(name) : tree.folders[(i - 1) / 3] + "/" + name);
    }
    for (int j = 0; j < 300; ++j) {
        char name[64];
        snprintf(name, sizeof name, "Datei %03d %s%s", (j * 7919) % 1000, kOe,
                 j % 3 ? ".txt" : " Bild.dat");
        tree.files.push_back(tree.folders[j % 40] + "/" + name);
    }
    return tree;
}

void CreateAppTree(const std::string& root, const AppTree& tree, bool reversed) {
    std::vector<std::string> files = tree.files;
    if (reversed) {
        std::reverse(files.begin(), files.end());
    }
    for (const std::string& file : files) {
        WriteText(NativePath(root, file), "Inhalt von " + file);
        // Equal dates, so that both builds may give equal bytes.
        SetFixedDate(NativePath(root, file));
    }
}

// A relative path of the tree as setup.ini holds it.
std::string Cp1252(const std::string& utf8) {
    std::string text;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (TOLVANEX_UMLAUT(false, true) && c == 0xC3 && i + 1 < utf8.size()) {
            text.push_back(static_cast<char>(static_cast<unsigned char>(utf8[++i]) + 0x40));
        } else {
            text.push_back(c == '/' ? '\\' : static_cast<char>(c));
        }
    }
    return text;
}

std::map<std::string, std::string> Section(const std::string& script, const std::string& name,
                                           std::vector<std::string>* order) {
    std::map<std::string, std::string> values;
    bool inside = false;
    for (const std::string& line : Lines(script)) {
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + name + "]";
        } else if (inside && line.find('=') != std::string::npos) {
            const std::string key = line.substr(0, line.find('='));
            values[key] = line.substr(line.find('=') + 1);
            if (order != nullptr) {
                order->push_back(key);
            }
        }
    }
    return values;
}

TEST(BuildCommand, NumbersThreeHundredFilesInFortyFoldersByNameAlone) {
    ScratchDirectory scratch;
    const AppTree tree = MakeAppTree();
    std::vector<Bytes> installers;
    for (bool reversed : {false, true}) {
        const std::string dir = scratch.Join(reversed ? "second" : "first");
        WriteSupportFiles(dir);
        CreateAppTree(NativePath(dir, "Anwendung"), tree, reversed);
        WriteText(NativePath(dir, "build.ini"),
                  "[main]\napptitle=Gro\xc3\x9f\n[build]\n" + std::string(kSupportKeys) +
                      "[sources]\ncount=1\n0_from=Anwendung/**\n0_to=%%INSTALLDIR%%App\n");
        const auto started = std::chrono::steady_clock::now();
        const ToolRun run =
            RunTool({"build", NativePath(dir, "build.ini"), "--out", NativePath(dir, "setup.exe")});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        ASSERT_EQ(run.exitCode, 0) << run.err;
        installers.push_back(ReadFileBytes(NativePath(dir, "setup.exe")));
        printf("300-file installer: %zu bytes, built in %.2f s\n", installers.back().size(),
               seconds);

        const std::string script = PayloadScript(NativePath(dir, "setup.exe"), dir);
        EXPECT_NE(script.find("apptitle=Gro\xdf\n"), std::string::npos); // CP1252
        std::vector<std::string> sorted = tree.files;
        std::sort(sorted.begin(), sorted.end());
        const auto files = Section(script, "files", nullptr);
        ASSERT_EQ(files.size(), 300u);
        for (size_t k = 0; k < sorted.size(); ++k) {
            EXPECT_EQ(files.at(std::to_string(k + 1)), "%%INSTALLDIR%%App\\" + Cp1252(sorted[k]));
        }
        // Every folder once, each after its parent, the target folder first.
        const auto folders = Section(script, "folders", nullptr);
        ASSERT_EQ(folders.at("count"), "41");
        EXPECT_EQ(folders.at("1"), "%%INSTALLDIR%%App");
        std::set<std::string> listed;
        for (int j = 2; j <= 41; ++j) {
            const std::string folder = folders.at(std::to_string(j));
            ASSERT_EQ(folder.rfind("%%INSTALLDIR%%App\\", 0), 0u) << folder;
            const std::string relative = folder.substr(strlen("%%INSTALLDIR%%App\\"));
            if (relative.find('\\') != std::string::npos) {
                EXPECT_EQ(listed.count(relative.substr(0, relative.rfind('\\'))), 1u) << folder;
            }
            EXPECT_TRUE(listed.insert(relative).second) << folder;
        }
        std::set<std::string> expected;
        for (const std::string& folder : tree.folders) {
            expected.insert(Cp1252(folder));
        }
        EXPECT_EQ(listed, expected);
    }
    EXPECT_TRUE(installers[0] == installers[1]);
}

TEST(BuildCommand, BadInputGetsOneLineAndLeavesTheOutputAsItWas) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(NativePath(dir, "app/a.exe"), "a");
    const std::string good = "[main]\napptitle=Demo\n[dialogs]\nshow_license=yes\n[build]\n" +
                             std::string(kSupportKeys) +
                             "[sources]\ncount=1\n0_from=app\n0_to=%%INSTALLDIR%%\n";
    struct Case {
        const char* what;
        std::string from, to; // replaced in the good script
        int line;             // 0: no line in the message
        const char* named;    // in the message
    };
    const Case cases[] = {
        {"source matching nothing", "0_from=app", "0_from=app/*.dll", 13, "app/*.dll"},
        {"missing directory", "0_from=app", "0_from=fehlt", 13, "fehlt"},
        {"missing [build] file", "stub=stub.exe", "stub=kein-stub.exe", 6, "kein-stub.exe"},
        {"licence page without licence", "license=license.rtf\n", "", 4, "license"},
        {"hand-written [files]", "[sources]", "[files]\n1=x\n[sources]", 11, "[files]"},
        {"item without target", "0_to=%%INSTALLDIR%%\n", "", 13, "0_to"},
        {"no count", "count=1\n", "", 11, "count"},
        {"unknown method", "stub=stub.exe", "stub=stub.exe\nmethod=zip", 7, "zip"},
        {"level out of range", "stub=stub.exe", "stub=stub.exe\nlevel=10", 7, "10"},
        {"character CP1252 lacks", "apptitle=Demo",
         "apptitle=\xc5\x81\xc3\xb3"
         "d\xc5\xba",
         2, ""},
    };
    const std::string out = NativePath(dir, "setup.exe");
    WriteText(out, "an earlier installer");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = good;
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.from.size(), c.to);
        const std::string script = NativePath(dir, "build.ini");
        WriteText(script, text);
        const ToolRun run = RunTool({"build", script, "--out", out});
        EXPECT_EQ(run.exitCode, 1);
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind(script + ":" + std::to_string(c.line) + ": error: ", 0), 0u)
            << lines[0];
        EXPECT_NE(lines[0].find(c.named), std::string::npos) << lines[0];
        EXPECT_EQ(ReadText(out), "an earlier installer");
        EXPECT_FALSE(PathExists(out + ".part"));
    }
    const ToolRun unreadable = RunTool({"build", NativePath(dir, "kein-script.ini"), "--out", out});
    EXPECT_EQ(unreadable.exitCode, 1);
    ASSERT_EQ(Lines(unreadable.err).size(), 1u);
    EXPECT_NE(unreadable.err.find("kein-script.ini"), std::string::npos);
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"build"},
                                                  {"build", "a", "b"},
                                                  {"build", "a", "--fast"},
                                                  {"build", "a", "--method", "zip"},
                                                  {"build", "a", "--level", "10"},
                                                  {"build", "a", "--level", "-1"}}) {
        EXPECT_EQ(RunTool(wrong).exitCode, 2);
    }
    EXPECT_EQ(ReadText(out), "an earlier installer");
}

// The stated architecture must be the programs' own, and the two programs
// must agree; files that are no programs leave the machine unknown.
TEST(BuildCommand, TakesTheProgramsOfOneArchitectureOnly) {
    const uint16_t x86 = 0x14c, x64 = 0x8664, none = 0;
    struct Case {
        const char* architecture; // the [build] line, if any
        uint16_t stub, uninstaller;
        int line; // of the error; 0: the build succeeds
        const char* named;
    };
    const Case cases[] = {
        {"", x86, x86, 0, ""},
        {"", x64, x64, 0, ""},
        {"architecture=x64\n", x64, x64, 0, ""},
        {"architecture=X86\n", x86, none, 0, ""},
        {"", none, none, 0, ""},
        {"", x86, x64, 3, "setup.exe is a 32-bit program, uninstall.exe a 64-bit one"},
        {"", x64, x86, 3, "setup.exe is a 64-bit program, uninstall.exe a 32-bit one"},
        {"architecture=x64\n", x86, x86, 3, "stub.exe is a 32-bit program, but architecture=x64"},
        {"architecture=x86\n", x86, x64, 4, "uninstall.exe is a 64-bit program"},
        {"architecture=arm64\n", x64, x64, 2, "x86 or x64 expected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.architecture) + std::to_string(c.stub) + "/" +
                     std::to_string(c.uninstaller));
        ScratchDirectory scratch;
        const std::string dir = scratch.path();
        WriteSupportFiles(dir);
        for (const auto& [name, machine] :
             {std::pair{"stub.exe", c.stub}, std::pair{"uninstall.exe", c.uninstaller}}) {
            if (machine != none) {
                ASSERT_TRUE(WriteFileBytes(NativePath(dir, name), ProgramHeaderBytes(machine)));
            }
        }
        const std::string script = NativePath(dir, "build.ini");
        WriteText(script, "[build]\n" + std::string(c.architecture) + kSupportKeys +
                              "[main]\napptitle=Demo\n[dialogs]\nshow_license=yes\n");
        const ToolRun run =
            RunTool({"build", script, "--out", NativePath(dir, "setup.exe"), "--quiet"});
        if (c.line == 0) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            continue;
        }
        EXPECT_EQ(run.exitCode, 1);
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind(script + ":" + std::to_string(c.line) + ": error: ", 0), 0u)
            << lines[0];
        EXPECT_NE(lines[0].find(c.named), std::string::npos) << lines[0];
        EXPECT_FALSE(PathExists(NativePath(dir, "setup.exe")));
    }
}

TEST(PackCommand, RefusesAStubAndUninstallerOfDifferentArchitectures) {
    const uint16_t x86 = 0x14c, x64 = 0x8664;
    struct Case {
        const char* architecture; // --architecture's value, if any
        uint16_t stub, uninstaller;
        int exitCode;
    };
    const Case cases[] = {
        {"", x86, x86, 0}, {"", x64, x64, 0},    {"x64", x64, x64, 0}, {"", x86, x64, 2},
        {"", x64, x86, 2}, {"x64", x86, x86, 2}, {"x86", x86, x64, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.architecture) + std::to_string(c.stub) + "/" +
                     std::to_string(c.uninstaller));
        ScratchDirectory scratch;
        const std::string stub = scratch.Join("stub.exe");
        const std::string uninstaller = scratch.Join("u.exe");
        const std::string out = scratch.Join("setup.exe");
        ASSERT_TRUE(WriteFileBytes(stub, ProgramHeaderBytes(c.stub)));
        ASSERT_TRUE(WriteFileBytes(uninstaller, ProgramHeaderBytes(c.uninstaller)));
        std::vector<std::string> arguments = {"pack", "--stub", stub, "--out", out, "--quiet"};
        if (c.architecture[0] != '\0') {
            arguments.insert(arguments.end(), {"--architecture", c.architecture});
        }
        // Letter case does not tell entry names apart: this is the uninstaller.
        arguments.push_back("Uninstall.EXE=" + uninstaller);
        WriteText(scratch.Join("setup.ini"), "[main]\napptitle=Demo\n");
        arguments.push_back(scratch.Join("setup.ini"));
        const ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(PathExists(out), c.exitCode == 0);
        EXPECT_EQ(run.err.find("-bit program") != std::string::npos, c.exitCode != 0) << run.err;
        if (c.exitCode == 0) {
            // setup.exe writes in the registry view of its own machine.
            const std::string view = c.stub == x64 ? "64-bit" : "32-bit";
            EXPECT_NE(RunTool({"inspect", out, "--json"}).out.find("\"registry_view\": \"" + view),
                      std::string::npos);
            EXPECT_NE(RunTool({"inspect", out}).out.find("(registry: " + view + " view)"),
                      std::string::npos);
        }
    }
}

TEST(BuildCommand, ReportsTheChecksFindingsAndStopsAtErrors) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(NativePath(dir, "app/a.exe"), "a");
    const std::string script = NativePath(dir, "build.ini");
    const std::string out = NativePath(dir, "setup.exe");
    // "ja" reads as false in setup.exe: a warning on line 5.
    WriteText(script, "[main]\napptitle=Demo\ndestdir=%%PROGRAMFILES%%Demo\n[dialogs]\n"
                      "show_userinfo=ja\n[build]\n" +
                          std::string(kSupportKeys) +
                          "[sources]\ncount=1\n0_from=app\n0_to=%%INSTALLDIR%%\n");
    const ToolRun warned = RunTool({"build", script, "--out", out, "--quiet"});
    EXPECT_EQ(warned.exitCode, 0) << warned.err;
    ASSERT_EQ(Lines(warned.err).size(), 1u) << warned.err;
    EXPECT_EQ(warned.err.rfind(script + ":5: warning: ", 0), 0u) << warned.err;
    EXPECT_TRUE(PathExists(out));
    fs::remove(out);
    const ToolRun strict = RunTool({"build", script, "--out", out, "--werror"});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_EQ(strict.err.rfind(script + ":5: error: ", 0), 0u) << strict.err;
    EXPECT_FALSE(PathExists(out));
    EXPECT_FALSE(PathExists(out + ".part"));
}

TEST(InspectCommand, ShowsTheListsInTheirOrderAsWritten) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    WriteText(NativePath(dir, "app/a.exe"), "aaaa");
    WriteText(NativePath(dir, "build.ini"),
              "[main]\napptitle=Demo\nversion=2.1\ndestdir=%%PROGRAMFILES%%Demo\n"
              "[dialogs]\nshow_license=yes\nshow_userinfo=ja\n[build]\n" +
                  std::string(kSupportKeys) +
                  "[sources]\ncount=1\n0_from=app\n0_to=%%INSTALLDIR%%bin\n"
                  "[shell_items]\ncount=1\n0_dest=%%INSTALLDIR%%bin\\a.exe\n"
                  "0_lnk=%%DESKTOP%%Demo.lnk\n0_args=/x \"y\"\n"
                  "[reg]\ncount=2\n0_hkey=HKCU\n0_key=Software\\Demo\n"
                  "1_hkey=HKEY_CURRENT_USER\n1_key=Software\\Demo\n1_value=Pfad\n"
                  "1_std=%%INSTALLDIR%%\n1_type=reg_dword\n"
                  "[svc]\ncount=1\n0_name=DemoSvc\n0_binpath=%%INSTALLDIR%%bin\\a.exe\n"
                  "0_starttype=AUTO_START\n");
    ASSERT_EQ(RunTool({"build", NativePath(dir, "build.ini"), "--out", NativePath(dir, "s.exe")})
                  .exitCode,
              0);
    const ToolRun run = RunTool({"inspect", NativePath(dir, "s.exe"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    JsonValue json;
    ASSERT_TRUE(ParseJson(run.out, &json)) << run.out;
    EXPECT_EQ(json["title"].text, "Demo");
    EXPECT_EQ(json["version"].text, "2.1");
    EXPECT_EQ(json["destination"].text, "%%PROGRAMFILES%%Demo");
    std::vector<std::string> pages;
    for (const JsonValue& page : json["pages"].items) {
        pages.push_back(page.text);
    }
    EXPECT_EQ(pages, (std::vector<std::string>{"welcome", "license", "destination", "ready",
                                               "progress", "finish"}));
    ASSERT_EQ(json["folders"].items.size(), 1u);
    EXPECT_EQ(json["folders"].items[0].text, "%%INSTALLDIR%%bin");
    ASSERT_EQ(json["files"].items.size(), 1u);
    EXPECT_EQ(json["files"].items[0]["entry"].text, "file_1");
    EXPECT_EQ(json["files"].items[0]["size"].AsInt(), 4);
    EXPECT_EQ(json["files"].items[0]["target"].text, "%%INSTALLDIR%%bin\\a.exe");
    EXPECT_EQ(json["uninstall_registration"]["path"].text,
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo");
    const JsonValue& values = json["uninstall_registration"]["values"];
    EXPECT_EQ(values["QuietUninstallString"].text, "\"%%INSTALLDIR%%uninstall.exe\" /quiet");
    EXPECT_EQ(values["InstallLocation"].text, "%%INSTALLDIR%%");
    EXPECT_EQ(values["DisplayIcon"].text, "%%INSTALLDIR%%uninstall.exe");
    EXPECT_EQ(values["EstimatedSize"].AsInt(), 1); // four bytes, rounded up
    EXPECT_EQ(values["NoModify"].AsInt(), 1);
    EXPECT_EQ(values["NoRepair"].AsInt(), 1);
    ASSERT_EQ(json["shortcuts"].items.size(), 1u);
    EXPECT_EQ(json["shortcuts"].items[0]["arguments"].text, "/x \"y\"");
    ASSERT_EQ(json["registry"].items.size(), 2u);
    // What setup.exe makes of the names: unknown ones give the defaults.
    EXPECT_EQ(json["registry"].items[0]["kind"].text, "key");
    EXPECT_EQ(json["registry"].items[0]["root"].text, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(json["registry"].items[0]["root_as_written"].text, "HKCU");
    EXPECT_EQ(json["registry"].items[1]["type"].text, "REG_SZ");
    EXPECT_EQ(json["registry"].items[1]["data"].text, "%%INSTALLDIR%%");
    ASSERT_EQ(json["services"].items.size(), 1u);
    EXPECT_EQ(json["services"].items[0]["start_type"].text, "AUTO_START");
    EXPECT_EQ(json["services"].items[0]["type"].text, "WIN32_OWN_PROCESS");
    const ToolRun text = RunTool({"inspect", NativePath(dir, "s.exe")});
    EXPECT_NE(text.out.find("%%INSTALLDIR%%bin\\a.exe"), std::string::npos);
    EXPECT_EQ(RunTool({"inspect", NativePath(dir, "stub.exe")}).exitCode, 2);
}

} // namespace

TEST(BuildCommand, MethodAndLevelComeFromTheCommandLineOrBuild) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path();
    WriteSupportFiles(dir);
    fs::create_directories(NativePath(dir, "app"));
    ASSERT_TRUE(WriteFileBytes(NativePath(dir, "app/a.txt"), CompressibleBytes(40000, 3)));
    struct Case {
        const char* buildKeys;            // added to [build]
        std::vector<std::string> options; // after the script
        const char* appMethod;            // of the application file, in list's words
    };
    const Case cases[] = {
        {"", {}, "lzma"},
        {"method=lzma\n", {}, "lzma"},
        {"method=lzma\nlevel=0\n", {}, "stored"},
        {"method=lzma\n", {"--method", "deflate"}, "deflated"},
        {"level=0\n", {"--level", "9"}, "lzma"},
        {"method=deflate\n", {}, "deflated"},
        {"", {"--method", "lzma", "--level", "2"}, "lzma"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buildKeys + std::to_string(c.options.size()));
        const std::string script = NativePath(dir, "build.ini");
        WriteText(script, "[main]\napptitle=Demo\n[dialogs]\nshow_license=yes\n[build]\n" +
                              std::string(kSupportKeys) + c.buildKeys +
                              "[sources]\ncount=1\n0_from=app\n0_to=%%INSTALLDIR%%\n");
        const std::string out = NativePath(dir, "setup.exe");
        std::vector<std::string> arguments = {"build", script, "--out", out, "--quiet"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolRun run = RunTool(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::string appLine;
        for (const std::string& line : Lines(RunTool({"list", out}).out)) {
            if (line.find("file_1") != std::string::npos) {
                appLine = line;
            }
        }
        EXPECT_NE(appLine.find(c.appMethod), std::string::npos) << appLine;
    }
}
