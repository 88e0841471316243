// The writer of installers on its own: the stub first (its certificate table
// cut off), the entries behind it in the order given, stored or deflated; a
// failed write leaves an earlier installer as it was and nothing beside it.
#include "tools/builder/installer_output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_reader.h"
#include "tests/archive/archive_test_support.h"
#include "tools/builder/builder_commands.h"

// The tool's own reporting lives beside its main(); here it is counted.
int gProblems = 0;

void ReportProblem(const char*, const char*) {
    ++gProblems;
}

int ReportUsageError() {
    return kExitBadInput;
}

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The entries behind the stub, name and content, in payload order.
Entries ReadEntries(const std::string& installer) {
    Entries entries;
    ArchiveReader* reader = OpenArchive(installer.c_str());
    if (reader == nullptr) {
        return entries;
    }
    for (int status = GoToFirstEntry(reader); status == ArchiveStatus::Ok;
         status = GoToNextEntry(reader)) {
        char name[512];
        GetCurrentEntryInfo(reader, nullptr, name, sizeof name, nullptr, 0, nullptr, 0);
        std::string data;
        char chunk[4096];
        int count = 0;
        OpenCurrentEntry(reader);
        while ((count = ReadCurrentEntry(reader, chunk, sizeof chunk)) > 0) {
            data.append(chunk, static_cast<size_t>(count));
        }
        CloseCurrentEntry(reader);
        entries.emplace_back(name, data);
    }
    CloseArchive(reader);
    return entries;
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

struct WriterCase {
    const char* what;
    int level;
    std::vector<InstallerEntry> entries; // sourcePath relative to the scratch folder
    bool written;
};

TEST(WriteInstaller, PutsTheEntriesBehindTheStubInTheirOrder) {
    const WriterCase kCases[] = {
        {"stored", 0, {{"setup.ini", "", "[main]\r\n"}, {"file_1", "a.exe", ""}}, true},
        {"deflated",
         9,
         {{"file_2", "b.txt", ""}, {"setup.ini", "", "[main]\r\n"}, {"file_1", "a.exe", ""}},
         true},
        {"a source missing", 6, {{"setup.ini", "", "x"}, {"file_1", "missing.exe", ""}}, false},
    };
    for (const WriterCase& c : kCases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory scratch;
        const std::string stub = "MZ" + std::string(100, 's');
        ASSERT_TRUE(WriteFileBytes(scratch.Join("stub.exe"), Bytes(stub.begin(), stub.end())));
        ASSERT_TRUE(WriteFileBytes(scratch.Join("a.exe"), Bytes(5000, 'a')));
        ASSERT_TRUE(WriteFileBytes(scratch.Join("b.txt"), CompressibleBytes(20000, 3)));
        const std::string out = scratch.Join("out/setup.exe");
        std::filesystem::create_directories(scratch.Join("out"));
        ASSERT_TRUE(WriteFileBytes(out, Bytes{'o', 'l', 'd'}));

        std::vector<InstallerEntry> entries = c.entries;
        Entries expected;
        for (InstallerEntry& entry : entries) {
            if (!entry.sourcePath.empty()) {
                entry.sourcePath = scratch.Join(entry.sourcePath);
                expected.emplace_back(entry.name, Text(ReadFileBytes(entry.sourcePath)));
            } else {
                expected.emplace_back(entry.name, entry.data);
            }
        }
        InstallerSettings settings;
        settings.stubPath = scratch.Join("stub.exe");
        settings.outPath = out;
        settings.level = c.level;
        settings.quiet = true;
        settings.threads = 2;
        int exitCode = -1;
        gProblems = 0;
        EXPECT_EQ(WriteInstaller(settings, entries, &exitCode), c.written);
        std::string beside;
        for (const auto& item : std::filesystem::directory_iterator(scratch.Join("out"))) {
            beside += item.path().filename().string() + " ";
        }
        EXPECT_EQ(beside, "setup.exe ") << "nothing beside the output";
        if (!c.written) {
            EXPECT_EQ(exitCode, kExitBadInput); // a source that cannot be read
            EXPECT_GT(gProblems, 0);
            EXPECT_EQ(Text(ReadFileBytes(out)), "old");
            continue;
        }
        EXPECT_EQ(exitCode, kExitSuccess);
        EXPECT_EQ(Text(ReadFileBytes(out)).substr(0, stub.size()), stub);
        EXPECT_EQ(ReadEntries(out), expected);
    }
}

} // namespace
