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
