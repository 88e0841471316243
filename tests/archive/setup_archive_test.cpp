// SetupArchive over the platform's file layer: entries by index, extraction
// into directories given the way the setup driver gives them, and the
// refusals that keep damaged or hostile payloads from leaving files behind.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "archive/setup_archive.h"
#include "tests/archive/archive_test_support.h"

namespace fs = std::filesystem;

namespace {

std::string ReferencePath(const std::string& name) {
    return TestDataPath("payloads/" + name);
}

// Joins with a backslash, as the setup driver does on every platform.
std::string Backslashed(const std::string& directory, const std::string& name) {
    return directory + "\\" + name;
}

// The file below directory, addressed the platform's way.
std::string Native(const std::string& directory, const std::string& relative) {
    std::string path = directory;
    for (char c : NativeSeparator() + relative) {
        const bool separator = c == '\\' || c == '/';
        if (separator && !path.empty() && path.back() == NativeSeparator()[0]) {
            continue;
        }
        path.push_back(separator ? NativeSeparator()[0] : c);
    }
    return path;
}

// Writes a hand-made archive into scratch and returns its path.
std::string WriteArchive(const ScratchDirectory& scratch, const char* fileName,
                         const std::vector<RawEntry>& entries) {
    RawArchive archive;
    archive.entries = entries;
    const std::string path = scratch.Join(fileName);
    EXPECT_TRUE(WriteFileBytes(path, BuildRawArchive(archive)));
    return path;
}

bool IsEmptyDirectory(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error) && fs::is_empty(path, error);
}

// The file's last-write time as a local MS-DOS date/time; on Windows the
// creation time must agree.
uint32_t FileDosDateTime(const std::string& path) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    FILETIME created{};
    FILETIME written{};
    GetFileTime(file, &created, nullptr, &written);
    CloseHandle(file);
    EXPECT_EQ(CompareFileTime(&created, &written), 0);
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return static_cast<uint32_t>(date) << 16 | time;
#else
    struct stat status;
    stat(path.c_str(), &status);
    struct tm local;
    localtime_r(&status.st_mtime, &local);
    return static_cast<uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 |
                                 local.tm_mday)
               << 16 |
           static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
#endif
}

// Read-only, hidden or system: anything but a plain writable file.
bool HasSpecialAttributes(const std::string& path) {
#ifdef _WIN32
    return (GetFileAttributesA(path.c_str()) &
            (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
#else
    struct stat status;
    return stat(path.c_str(), &status) != 0 || (status.st_mode & S_IWUSR) == 0;
#endif
}

void MakeReadOnly(const std::string& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

std::vector<int32_t> gReportedChunks;

void RecordChunk(int32_t bytesWritten) {
    gReportedChunks.push_back(bytesWritten);
}

// --- Closed object ----------------------------------------------------------------

TEST(ClosedArchive, OffersNothing) {
    SetupArchive archive;
    ArchiveEntryInfo info;
    ScratchDirectory scratch;
    EXPECT_EQ(archive.GetEntryCount(), 0);
    EXPECT_FALSE(archive.GetEntryInfo(0, &info));
    EXPECT_FALSE(archive.ExtractEntry(0, scratch.path().c_str(), false, nullptr));
    EXPECT_EQ(archive.GetLastExtractFailure(), ExtractFailure::NoArchive);
    EXPECT_FALSE(archive.Close());

    ASSERT_TRUE(archive.Open(ReferencePath("plain.payload").c_str()));
    EXPECT_EQ(archive.GetEntryCount(), 8);
    EXPECT_TRUE(archive.Close());
    EXPECT_FALSE(archive.Close());
    EXPECT_EQ(archive.GetEntryCount(), 0);
    EXPECT_FALSE(archive.GetEntryInfo(0, &info));
}

TEST(ClosedArchive, FailedOpenClosesThePreviousArchive) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    EXPECT_EQ(archive.GetEntryCount(), 8);
    EXPECT_FALSE(archive.Open(ReferencePath("counts-differ.payload").c_str()));
    EXPECT_EQ(archive.GetEntryCount(), 0);
    EXPECT_FALSE(archive.Open(std::string(300, 'x').c_str()));
    EXPECT_FALSE(archive.Open(nullptr));
}

// --- Reference archives -------------------------------------------------------------

// Extracts every entry the manifest lists and checks the outcome its "read"
// field gives: data that fails any check leaves no file.
void CheckExtraction(const std::string& archiveName, const JsonValue& expected,
                     const std::string& folder = "payloads/") {
    SetupArchive archive(TestDataPath(folder + archiveName).c_str());
    ASSERT_EQ(archive.GetEntryCount(), expected["entry_count"].AsInt());
    ScratchDirectory scratch;
    const std::vector<JsonValue>& entries = expected["entries"].items;
    for (size_t i = 0; i < entries.size(); ++i) {
        const JsonValue& entry = entries[i];
        SCOPED_TRACE(entry["name"].text);
        ArchiveEntryInfo info;
        ASSERT_TRUE(archive.GetEntryInfo(static_cast<int>(i), &info));
        std::string name = entry["name"].text;
        for (char& c : name) {
            c = c == '/' ? '\\' : c;
        }
        EXPECT_STREQ(info.name, name.c_str());
        EXPECT_EQ(info.isDirectory, name.back() == '\\');
        EXPECT_EQ(info.uncompressedSize, entry["size"].AsInt());

        const bool extracted =
            archive.ExtractEntry(static_cast<int>(i), scratch.path().c_str(), false, nullptr);
        const std::string target = Native(scratch.path(), entry["name"].text);
        const std::string& read = entry["read"].text;
        EXPECT_EQ(extracted, read == "ok");
        if (read == "ok" && !info.isDirectory) {
            EXPECT_EQ(Sha256Hex(ReadFileBytes(target)), entry["sha256"].text);
        } else if (read != "ok") {
            EXPECT_FALSE(PathExists(target));
        }
    }
    if (archiveName == "traversal.payload") {
        // Only ok/fine.txt may exist, and nothing beside the scratch directory.
        EXPECT_EQ(std::distance(fs::recursive_directory_iterator(scratch.path()),
                                fs::recursive_directory_iterator()),
                  2);
        EXPECT_FALSE(PathExists(Native(scratch.path(), "../evil.txt")));
    }
}

TEST(ReferenceArchives, EveryEntryExtractsAsTheManifestSays) {
    for (const auto& archive : ReferenceManifest().members) {
        if (!archive.second["opens"].boolean) {
            continue;
        }
        SCOPED_TRACE(archive.first);
        CheckExtraction(archive.first, archive.second);
    }
}

// LZMA entries from independent writers; damaged ones leave no file.
TEST(ReferenceArchives, EveryLzmaEntryExtractsAsTheManifestSays) {
    const JsonValue manifest = ReadManifest("lzma/manifest.json");
    ASSERT_FALSE(manifest.members.empty());
    for (const auto& archive : manifest.members) {
        SCOPED_TRACE(archive.first);
        CheckExtraction(archive.first, archive.second, "lzma/");
    }
}

TEST(ReferenceArchives, UnopenableArchivesOpenAsNothing) {
    for (const auto& archive : ReferenceManifest().members) {
        if (archive.second["opens"].boolean) {
            continue;
        }
        SCOPED_TRACE(archive.first);
        SetupArchive setupArchive;
        EXPECT_FALSE(setupArchive.Open(ReferencePath(archive.first).c_str()));
        EXPECT_EQ(setupArchive.GetEntryCount(), 0);
    }
}

// --- Entries by index ----------------------------------------------------------------

TEST(EntriesByIndex, BoundsAreRefused) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    ScratchDirectory scratch;
    ArchiveEntryInfo info;
    for (int index : {-1, 8, 9, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(archive.GetEntryInfo(index, &info));
        EXPECT_FALSE(archive.ExtractEntry(index, scratch.path().c_str(), false, nullptr));
        EXPECT_EQ(archive.GetLastExtractFailure(), ExtractFailure::NoSuchEntry);
    }
    EXPECT_TRUE(archive.GetEntryInfo(0, &info));
    EXPECT_TRUE(archive.GetEntryInfo(7, &info));
    EXPECT_FALSE(archive.GetEntryInfo(0, nullptr));
}

TEST(EntriesByIndex, AnyOrderGivesTheSameEntries) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    const std::vector<JsonValue>& entries = ReferenceManifest()["plain.payload"]["entries"].items;
    for (int index : {7, 0, 3, 3, 5, 1, 6, 2, 4, 0, 7}) {
        SCOPED_TRACE(index);
        ArchiveEntryInfo info;
        ASSERT_TRUE(archive.GetEntryInfo(index, &info));
        EXPECT_EQ(info.crc, std::stoul(entries[index]["crc32"].text, nullptr, 16));
    }
}

TEST(EntriesByIndex, InfoIsZeroedAndNamesUseBackslashes) {
    ScratchDirectory scratch;
    const std::string longName = std::string(150, 'n') + "/" + std::string(150, 'm');
    const std::string path = WriteArchive(
        scratch, "names.payload",
        {StoredEntry("a/b/c.txt", Bytes(1, 'x')), StoredEntry(longName, Bytes(1, 'y'))});
    SetupArchive archive(path.c_str());
    ArchiveEntryInfo info;
    memset(&info, 0x5A, sizeof(info));
    ASSERT_TRUE(archive.GetEntryInfo(0, &info));
    EXPECT_STREQ(info.name, "a\\b\\c.txt");
    EXPECT_STREQ(info.comment, "");
    EXPECT_EQ(info.name[sizeof(info.name) - 1], '\0');
    ASSERT_TRUE(archive.GetEntryInfo(1, &info));
    EXPECT_EQ(strlen(info.name), 260u);
    EXPECT_EQ(std::string(info.name, 151), std::string(150, 'n') + "\\");
}

// --- Target paths --------------------------------------------------------------------

TEST(TargetPaths, NestedNamesCreateTheirDirectoriesUnlessFlattened) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    ScratchDirectory scratch;
    const int readme = 5; // docs/readme.txt
    ASSERT_TRUE(archive.ExtractEntry(readme, scratch.path().c_str(), false, nullptr));
    EXPECT_TRUE(PathExists(Native(scratch.path(), "docs/readme.txt")));
    ASSERT_TRUE(archive.ExtractEntry(readme, scratch.path().c_str(), true, nullptr));
    EXPECT_TRUE(PathExists(Native(scratch.path(), "readme.txt")));
}

TEST(TargetPaths, DirectoryEntriesCreateNothing) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    ScratchDirectory scratch;
    ArchiveEntryInfo info;
    ASSERT_TRUE(archive.GetEntryInfo(4, &info));
    EXPECT_TRUE(info.isDirectory);
    EXPECT_TRUE(archive.ExtractEntry(4, scratch.path().c_str(), false, nullptr));
    EXPECT_TRUE(IsEmptyDirectory(scratch.path()));
}

struct DirectoryCase {
    const char* description;
    std::string directory; // relative to the scratch directory, "\\" separated
    bool existsBefore;
};

TEST(TargetPaths, TrailingSeparatorsAndMissingLevelsGiveTheSameFile) {
    const DirectoryCase cases[] = {
        {"existing, no trailing backslash", "there", true},
        {"existing, trailing backslash", "there\\", true},
        {"missing, trailing backslash", "new\\", false},
        {"missing levels", "one\\two\\three", false},
        {"forward slashes", "fwd/sub/", false},
    };
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    for (const DirectoryCase& c : cases) {
        SCOPED_TRACE(c.description);
        ScratchDirectory scratch;
        if (c.existsBefore) {
            fs::create_directory(Native(scratch.path(), c.directory));
        }
        const std::string directory = Backslashed(scratch.path(), c.directory);
        ASSERT_TRUE(archive.ExtractEntry(7, directory.c_str(), false, nullptr));
        EXPECT_EQ(ReadFileBytes(Native(scratch.path(), c.directory + "/setup.ini")).size(), 27u);
    }
}

TEST(TargetPaths, OverlongPathsCreateNothing) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    ScratchDirectory scratch;
    // Together with "\\setup.ini" the target exceeds 259 characters.
    const std::string base = Backslashed(scratch.path(), "d");
    const std::string directory = base + std::string(259 - 10 - base.size(), 'x');
    ASSERT_EQ(directory.size() + 10, 259u);
    EXPECT_TRUE(archive.ExtractEntry(7, directory.c_str(), false, nullptr));
    const std::string tooLong = directory + "y";
    EXPECT_FALSE(archive.ExtractEntry(7, tooLong.c_str(), false, nullptr));
    EXPECT_EQ(archive.GetLastExtractFailure(), ExtractFailure::PathTooLong);
    EXPECT_FALSE(PathExists(Native(scratch.path(), tooLong.substr(scratch.path().size() + 1))));
    EXPECT_FALSE(archive.SetExtractDirectory(std::string(260, 'z').c_str()));
}

TEST(TargetPaths, UnsafeNamesAreRecognised) {
    struct NameCase {
        const char* name;
        bool safe;
    };
    const NameCase cases[] = {
        {"file_1", true},    {"docs\\readme.txt", true},
        {"a/b/c", true},     {"..name", true},
        {".. ", false},      {"a\\.. \\x", false},
        {". .", true},       {"name..", true},
        {"a\\.\\b", true},   {"...", false},
        {"dir\\", true},     {"", false},
        {"..", false},       {"..\\x", false},
        {"../x", false},     {"x\\..", false},
        {"a\\..\\b", false}, {"a/../../x", false},
        {"\\x", false},      {"/x", false},
        {"C:x", false},      {"C:\\x", false},
        {"a:b", false},      {"file.txt:stream", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(IsSafeEntryName(c.name), c.safe) << c.name;
    }
    EXPECT_FALSE(IsSafeEntryName(nullptr));
}

TEST(TargetPaths, UnsafeNamesAreRefusedEvenWhenFlattened) {
    ScratchDirectory scratch;
    const std::string path =
        WriteArchive(scratch, "evil.payload", {StoredEntry("a/../../evil.txt", Bytes(4, 'e'))});
    SetupArchive archive(path.c_str());
    const std::string target = Backslashed(scratch.path(), "out\\deeper");
    for (bool flatten : {false, true}) {
        EXPECT_FALSE(archive.ExtractEntry(0, target.c_str(), flatten, nullptr));
        EXPECT_EQ(archive.GetLastExtractFailure(), ExtractFailure::UnsafeName);
    }
    EXPECT_FALSE(PathExists(Native(scratch.path(), "out")));
    EXPECT_FALSE(PathExists(Native(scratch.path(), "evil.txt")));
}

// --- Written files ----------------------------------------------------------------

struct ChunkCase {
    const char* entryName;
    std::vector<int32_t> chunks;
};

TEST(WrittenFiles, TheCallbackSeesEveryChunk) {
    const ChunkCase cases[] = {
        {"file_1", {20480, 20480, 9040}},
        {"file_2", {20480, 20480, 20480, 20480, 20480, 20480, 20480, 20480, 20480, 15681}},
        {"left.jpg", {3000}},
        {"empty.txt", {}},
        {"docs/", {}},
    };
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    ScratchDirectory scratch;
    const std::vector<JsonValue>& entries = ReferenceManifest()["plain.payload"]["entries"].items;
    for (const ChunkCase& c : cases) {
        SCOPED_TRACE(c.entryName);
        int index = 0;
        while (entries[index]["name"].text != c.entryName) {
            ++index;
        }
        gReportedChunks.clear();
        ASSERT_TRUE(archive.ExtractEntry(index, scratch.path().c_str(), false, RecordChunk));
        EXPECT_EQ(gReportedChunks, c.chunks);
    }
    EXPECT_EQ(ReadFileBytes(Native(scratch.path(), "empty.txt")).size(), 0u);
}

// LZMA entries report their progress in the same chunks as deflated ones.
TEST(WrittenFiles, TheCallbackSeesEveryLzmaChunk) {
    SetupArchive archive(TestDataPath("lzma/marker.payload").c_str());
    ScratchDirectory scratch;
    const JsonValue manifest = ReadManifest("lzma/manifest.json");
    const std::vector<JsonValue>& entries = manifest["marker.payload"]["entries"].items;
    for (size_t index = 0; index < entries.size(); ++index) {
        const int64_t size = entries[index]["size"].AsInt();
        SCOPED_TRACE(entries[index]["name"].text);
        std::vector<int32_t> expected(static_cast<size_t>(size / 20480), 20480);
        if (size % 20480 != 0) {
            expected.push_back(static_cast<int32_t>(size % 20480));
        }
        gReportedChunks.clear();
        ASSERT_TRUE(archive.ExtractEntry(static_cast<int>(index), scratch.path().c_str(), false,
                                         RecordChunk));
        EXPECT_EQ(gReportedChunks, expected);
    }
}

TEST(WrittenFiles, CarryTheEntryTimeAndPlainAttributes) {
    ScratchDirectory scratch;
    RawEntry summer = StoredEntry("summer.txt", Bytes(10, 's'));
    summer.dosDateTime = 0x52CE6A3C;  // 2021-06-14 13:17:56
    summer.externalAttributes = 0x07; // read-only, hidden, system
    RawEntry winter = StoredEntry("winter.txt", Bytes(10, 'w'));
    winter.dosDateTime = 0x2C218000; // 2002-01-01 16:00:00
    const std::string path = WriteArchive(scratch, "times.payload", {summer, winter});
    SetupArchive archive(path.c_str());
    const std::string out = scratch.Join("out");
    for (const RawEntry& entry : {summer, winter}) {
        SCOPED_TRACE(entry.name);
        ASSERT_TRUE(
            archive.ExtractEntry(entry.name == "summer.txt" ? 0 : 1, out.c_str(), false, nullptr));
        const std::string file = Native(out, entry.name);
        EXPECT_EQ(FileDosDateTime(file), entry.dosDateTime);
        EXPECT_FALSE(HasSpecialAttributes(file));
    }
}

TEST(WrittenFiles, ReplaceExistingFilesButNotReadOnlyOnes) {
    SetupArchive archive(ReferencePath("plain.payload").c_str());
    ScratchDirectory scratch;
    const std::string target = scratch.Join("setup.ini");
    const Bytes longer = RandomBytes(5000, 11);
    ASSERT_TRUE(WriteFileBytes(target, longer));
    ASSERT_TRUE(archive.ExtractEntry(7, scratch.path().c_str(), false, nullptr));
    EXPECT_EQ(Sha256Hex(ReadFileBytes(target)),
              ReferenceManifest()["plain.payload"]["entries"].items[7]["sha256"].text);

    ASSERT_TRUE(WriteFileBytes(target, longer));
    MakeReadOnly(target);
    EXPECT_FALSE(archive.ExtractEntry(7, scratch.path().c_str(), false, nullptr));
    EXPECT_EQ(archive.GetLastExtractFailure(), ExtractFailure::FileNotCreated);
    EXPECT_EQ(ReadFileBytes(target), longer);
}

TEST(WrittenFiles, DataShorterThanItsSizeLeavesNoFile) {
    ScratchDirectory scratch;
    RawEntry stored = StoredEntry("stored.bin", RandomBytes(100, 12));
    stored.uncompressedSize = 200;
    RawEntry deflated = DeflatedEntry("deflated.bin", CompressibleBytes(1000, 13));
    deflated.uncompressedSize = 1500;
    const std::string path = WriteArchive(scratch, "short.payload", {stored, deflated});
    SetupArchive archive(path.c_str());
    const std::string out = scratch.Join("out");
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(archive.ExtractEntry(index, out.c_str(), false, nullptr));
        EXPECT_EQ(archive.GetLastExtractFailure(), ExtractFailure::SizeMismatch);
    }
    EXPECT_TRUE(IsEmptyDirectory(out));
}

// --- Default extraction directory ----------------------------------------------------

TEST(ExtractDirectory, OpenDerivesItFromTheArchivePath) {
    ScratchDirectory scratch;
    const std::string program = scratch.Join("setup.exe");
    ASSERT_TRUE(WriteFileBytes(program, ReadFileBytes(ReferencePath("behind-stub.exe"))));
    SetupArchive archive(program.c_str());
    ASSERT_TRUE(archive.ExtractEntry(7, nullptr, false, nullptr));
    EXPECT_TRUE(PathExists(Native(scratch.path(), "setup/setup.ini")));
}

TEST(ExtractDirectory, SetCreatesMissingLevelsAndRefusesFiles) {
    ScratchDirectory scratch;
    SetupArchive archive;
    const std::string nested = Backslashed(scratch.path(), "a\\b\\c");
    ASSERT_TRUE(archive.SetExtractDirectory(nested.c_str()));
    EXPECT_TRUE(IsEmptyDirectory(Native(scratch.path(), "a/b/c")));

    const std::string file = scratch.Join("plain-file");
    ASSERT_TRUE(WriteFileBytes(file, Bytes(1, 'f')));
    EXPECT_FALSE(archive.SetExtractDirectory(file.c_str()));
    ASSERT_TRUE(archive.Open(ReferencePath("plain.payload").c_str()));
    // Open moved the default to the archive's own path; set it again.
    ASSERT_TRUE(archive.SetExtractDirectory(nested.c_str()));
    EXPECT_FALSE(archive.SetExtractDirectory(file.c_str()));
    ASSERT_TRUE(archive.ExtractEntry(0, nullptr, false, nullptr));
    EXPECT_TRUE(PathExists(Native(scratch.path(), "a/b/c/left.jpg")));
}

} // namespace
