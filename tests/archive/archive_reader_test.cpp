// The archive reader against the reference archives of an independent ZIP
// writer, hand-made archives with one field falsified each, and files whose
// reads and seeks fail on demand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/archive_reader.h"
#include "archive/lzma_entry.h"
#include "archive/payload_format.h"
#include "tests/archive/archive_test_support.h"

using namespace ArchiveStatus;

namespace {

// Owns an open reader for one test.
struct ReaderHolder {
    ArchiveReader* reader;
    ~ReaderHolder() {
        if (reader != nullptr) {
            CloseArchive(reader);
        }
    }
};

struct ReadOutcome {
    int openStatus = Ok;
    int readStatus = Ok; // the first negative result of ReadCurrentEntry, or Ok
    int closeStatus = Ok;
    Bytes data;
};

// Opens the current entry and reads it to its end in chunks of chunkSize.
ReadOutcome ReadCurrent(ArchiveReader* reader, uint32_t chunkSize) {
    ReadOutcome outcome;
    outcome.openStatus = OpenCurrentEntry(reader);
    if (outcome.openStatus != Ok) {
        return outcome;
    }
    Bytes chunk(chunkSize);
    for (;;) {
        const int count = ReadCurrentEntry(reader, chunk.data(), chunkSize);
        if (count < 0) {
            outcome.readStatus = count;
            break;
        }
        if (count == 0) {
            break;
        }
        outcome.data.insert(outcome.data.end(), chunk.begin(), chunk.begin() + count);
    }
    outcome.closeStatus = CloseCurrentEntry(reader);
    return outcome;
}

ArchiveReader* OpenBytes(MemoryFile* file, int* status = nullptr) {
    return OpenArchiveWithOps("memory", MemoryFileOps(file), status);
}

std::string CurrentName(ArchiveReader* reader) {
    char name[300];
    if (GetCurrentEntryInfo(reader, nullptr, name, sizeof(name), nullptr, 0, nullptr, 0) != Ok) {
        return "<unreadable>";
    }
    return name;
}

// --- Reference archives -------------------------------------------------------

void CheckEntryAgainstManifest(ArchiveReader* reader, const JsonValue& expected) {
    CentralEntryInfo info;
    char name[1024];
    ASSERT_EQ(GetCurrentEntryInfo(reader, &info, name, sizeof(name), nullptr, 0, nullptr, 0), Ok);
    EXPECT_EQ(name, expected["name"].text);
    EXPECT_EQ(info.method, expected["method"].AsInt());
    EXPECT_EQ(info.flags, expected["flags"].AsInt());
    EXPECT_EQ(info.dosDateTime, expected["dos_date_time"].AsInt());
    EXPECT_EQ(info.crc, std::stoul(expected["crc32"].text, nullptr, 16));
    EXPECT_EQ(info.compressedSize, expected["compressed_size"].AsInt());
    EXPECT_EQ(info.uncompressedSize, expected["size"].AsInt());

    // An odd chunk size makes every read straddle the 16 KiB input buffer.
    const ReadOutcome outcome = ReadCurrent(reader, 7777);
    const std::string& read = expected["read"].text;
    if (read == "bad_archive") {
        EXPECT_EQ(outcome.openStatus, BadArchive);
        return;
    }
    ASSERT_EQ(outcome.openStatus, Ok);
    if (read == "data_error") {
        EXPECT_EQ(outcome.readStatus, -3);
        return;
    }
    // "ok", "crc_error" and "refused" all read completely.
    EXPECT_EQ(outcome.readStatus, Ok);
    EXPECT_EQ(outcome.data.size(), static_cast<size_t>(expected["size"].AsInt()));
    EXPECT_EQ(outcome.closeStatus, read == "crc_error" ? CrcError : Ok);
    if (read != "crc_error") {
        EXPECT_EQ(Sha256Hex(outcome.data), expected["sha256"].text);
    }
}

void CheckArchiveAgainstManifest(const std::string& path, const JsonValue& expected) {
    ReaderHolder holder{OpenArchive(path.c_str())};
    ASSERT_EQ(holder.reader != nullptr, expected["opens"].boolean);
    if (holder.reader == nullptr) {
        return;
    }
    ArchiveInfo info;
    ASSERT_EQ(GetArchiveInfo(holder.reader, &info), Ok);
    EXPECT_EQ(info.entryCount, expected["entry_count"].AsInt());
    EXPECT_EQ(info.commentLength, expected["comment_length"].AsInt());
    EXPECT_EQ(info.bytesBeforeArchive, expected["bytes_before_archive"].AsInt());

    const std::vector<JsonValue>& entries = expected["entries"].items;
    int status = GoToFirstEntry(holder.reader);
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        ASSERT_EQ(status, Ok);
        EXPECT_EQ(GetCurrentEntryIndex(holder.reader), static_cast<int>(i));
        CheckEntryAgainstManifest(holder.reader, entries[i]);
        status = GoToNextEntry(holder.reader);
    }
    // Past the last entry: the end of the list, or with an open-ended count
    // the first header that fails to read.
    if (info.entryCount == 0xFFFF) {
        EXPECT_LT(status, 0);
        EXPECT_NE(status, EndOfList);
    } else if (!entries.empty()) {
        EXPECT_EQ(status, EndOfList);
    } else {
        EXPECT_NE(status, Ok);
    }
}

TEST(ReferenceArchives, EveryArchiveAndEntryReadsAsTheManifestSays) {
    const JsonValue& manifest = ReferenceManifest();
    ASSERT_EQ(manifest.members.size(), 17u);
    for (const auto& archive : manifest.members) {
        SCOPED_TRACE(archive.first);
        CheckArchiveAgainstManifest(TestDataPath("payloads/" + archive.first), archive.second);
    }
}

// Offsets relative to the archive read the same once the data in front is
// gone; offsets that were file offsets stop working.
TEST(ReferenceArchives, ArchivesWithoutTheirPrefixOpenWithNoBytesBefore) {
    ScratchDirectory scratch;
    for (const auto& archive : ReferenceManifest().members) {
        const JsonValue& expected = archive.second;
        const size_t prefix = static_cast<size_t>(expected["prefix_bytes"].AsInt());
        // Without its prefix an archive without entries is a lone end record at
        // offset 0, which is not found.
        if (prefix == 0 || !expected["opens"].boolean || expected["entries"].items.empty()) {
            continue;
        }
        SCOPED_TRACE(archive.first);
        const Bytes bytes = ReadFileBytes(TestDataPath("payloads/" + archive.first));
        const std::string bare = scratch.Join("bare");
        ASSERT_TRUE(WriteFileBytes(bare, Bytes(bytes.begin() + prefix, bytes.end())));
        ReaderHolder holder{OpenArchive(bare.c_str())};
        if (expected["absolute_offsets"].boolean) {
            // The directory now lies before the end record by less than its
            // stored offset claims.
            EXPECT_EQ(holder.reader, nullptr);
            continue;
        }
        ASSERT_NE(holder.reader, nullptr);
        ArchiveInfo info;
        GetArchiveInfo(holder.reader, &info);
        EXPECT_EQ(info.bytesBeforeArchive, 0);
        for (const JsonValue& entry : expected["entries"].items) {
            if (entry["read"].text == "ok") {
                EXPECT_EQ(Sha256Hex(ReadCurrent(holder.reader, 20480).data), entry["sha256"].text);
            }
            GoToNextEntry(holder.reader);
        }
    }
}

// --- Opening --------------------------------------------------------------------

Bytes ThreeEntryArchive() {
    RawArchive archive;
    archive.entries = {StoredEntry("a.txt", CompressibleBytes(100, 1)),
                       DeflatedEntry("b.bin", CompressibleBytes(70000, 2)),
                       StoredEntry("c.txt", Bytes())};
    return BuildRawArchive(archive);
}

struct OpenCase {
    const char* description;
    Bytes bytes;
    bool opens;
    int status;
};

// Patches a 16-bit field of the end record, the last 22 bytes.
Bytes WithEndField(Bytes bytes, size_t fieldOffset, uint32_t value) {
    const size_t record = bytes.size() - 22;
    bytes[record + fieldOffset] = static_cast<unsigned char>(value);
    bytes[record + fieldOffset + 1] = static_cast<unsigned char>(value >> 8);
    return bytes;
}

TEST(OpenArchive, RefusesInconsistentEndRecords) {
    const Bytes good = ThreeEntryArchive();
    RawArchive empty;
    const Bytes onlyEndRecord = BuildRawArchive(empty);
    const Bytes cut(good.begin(), good.end() - 10);
    const OpenCase cases[] = {
        {"sound archive", good, true, Ok},
        {"this disk 1", WithEndField(good, 4, 1), false, BadArchive},
        {"directory disk 1", WithEndField(good, 6, 1), false, BadArchive},
        {"entries on disk differ from total", WithEndField(good, 8, 2), false, BadArchive},
        {"directory larger than the space before the record", WithEndField(good, 12, 0xFFFF), false,
         BadArchive},
        {"end record at file offset 0 counts as missing", onlyEndRecord, false, IoError},
        {"end record cut short", cut, false, IoError},
        {"no end record at all", CompressibleBytes(5000, 3), false, IoError},
        {"empty file", Bytes(), false, IoError},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.description);
        MemoryFile file;
        file.bytes = c.bytes;
        int status = 12345;
        ReaderHolder holder{OpenBytes(&file, &status)};
        EXPECT_EQ(holder.reader != nullptr, c.opens);
        EXPECT_EQ(status, c.status);
        if (holder.reader == nullptr) {
            EXPECT_FALSE(file.open) << "stream left open";
        }
    }
}

TEST(OpenArchive, MissingFileGivesNoReader) {
    int status = Ok;
    EXPECT_EQ(OpenArchive(TestDataPath("payloads/no-such-file").c_str(), &status), nullptr);
    EXPECT_EQ(status, IoError);
}

TEST(OpenArchive, TheEndRecordNearestTheEndWins) {
    RawArchive second;
    second.entries = {StoredEntry("second.txt", Bytes(10, 'x'))};
    second.prefix = ThreeEntryArchive();
    MemoryFile file;
    file.bytes = BuildRawArchive(second);
    ReaderHolder holder{OpenBytes(&file)};
    ASSERT_NE(holder.reader, nullptr);
    ArchiveInfo info;
    GetArchiveInfo(holder.reader, &info);
    EXPECT_EQ(info.entryCount, 1u);
    EXPECT_EQ(CurrentName(holder.reader), "second.txt");
}

// A signer's certificate table follows the end record: the reader finds the
// record behind up to the search limit's worth of bytes, and LocateEndRecord
// tells how far from the end it lies, within any limit it is given.
TEST(OpenArchive, BytesBehindTheEndRecordWithinTheSearchLimit) {
    ScratchDirectory scratch;
    RawArchive archive;
    archive.entries = {StoredEntry("setup.ini", Bytes(10, 'x'))};
    archive.prefix = Bytes(3000, 'M');
    const Bytes bytes = BuildRawArchive(archive);
    struct Case {
        size_t behind;
        bool opens;
    };
    // The end record's 22 bytes and what follows them must fit the limit.
    const size_t most = static_cast<size_t>(payload_format::kEndRecordSearchLimit) - 22;
    const Case cases[] = {
        {0, true}, {1544, true}, {most, true}, {most + 1, false}, {200000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.behind);
        Bytes signedBytes = bytes;
        signedBytes.insert(signedBytes.end(), c.behind, 0);
        const std::string path = scratch.Join("signed-" + std::to_string(c.behind) + ".exe");
        ASSERT_TRUE(WriteFileBytes(path, signedBytes));
        ArchiveReader* reader = OpenArchive(path.c_str());
        EXPECT_EQ(reader != nullptr, c.opens);
        if (reader != nullptr) {
            EXPECT_EQ(CurrentName(reader), "setup.ini");
            CloseArchive(reader);
        }
        int64_t distance = 0;
        EXPECT_EQ(LocateEndRecord(path.c_str(), payload_format::kEndRecordSearchLimit, &distance),
                  c.opens);
        ASSERT_TRUE(LocateEndRecord(path.c_str(), 1 << 20, &distance));
        EXPECT_EQ(distance, static_cast<int64_t>(22 + c.behind));
    }
}

TEST(OpenArchive, ArchiveWithoutEntriesHasNoCurrentEntry) {
    MemoryFile file;
    RawArchive empty;
    empty.prefix = Bytes(100, 'M');
    file.bytes = BuildRawArchive(empty);
    ReaderHolder holder{OpenBytes(&file)};
    ASSERT_NE(holder.reader, nullptr);
    EXPECT_EQ(GetCurrentEntryIndex(holder.reader), -1);
    EXPECT_EQ(GoToNextEntry(holder.reader), EndOfList);
    EXPECT_EQ(OpenCurrentEntry(holder.reader), ParamError);
}

// --- Walking and entry information -----------------------------------------------

TEST(EntryWalk, NextAtTheLastEntryKeepsItCurrent) {
    MemoryFile file;
    file.bytes = ThreeEntryArchive();
    ReaderHolder holder{OpenBytes(&file)};
    ASSERT_EQ(GoToNextEntry(holder.reader), Ok);
    ASSERT_EQ(GoToNextEntry(holder.reader), Ok);
    EXPECT_EQ(GoToNextEntry(holder.reader), EndOfList);
    EXPECT_EQ(GetCurrentEntryIndex(holder.reader), 2);
    EXPECT_EQ(CurrentName(holder.reader), "c.txt");
    EXPECT_EQ(GoToFirstEntry(holder.reader), Ok);
    EXPECT_EQ(CurrentName(holder.reader), "a.txt");
}

TEST(EntryWalk, DamagedHeaderEndsTheWalkWithNoCurrentEntry) {
    Bytes bytes = ThreeEntryArchive();
    // The second central header's signature.
    const size_t second = bytes.size() - 22 - (46 + 5) * 2;
    ASSERT_EQ(bytes[second], 0x66);
    bytes[second] = 0x50;
    MemoryFile file;
    file.bytes = bytes;
    ReaderHolder holder{OpenBytes(&file)};
    EXPECT_EQ(GoToNextEntry(holder.reader), BadArchive);
    EXPECT_EQ(GetCurrentEntryIndex(holder.reader), -1);
    EXPECT_EQ(GoToNextEntry(holder.reader), EndOfList);
    EXPECT_EQ(GoToFirstEntry(holder.reader), Ok);
}

struct NameBufferCase {
    uint32_t bufferSize;
    const char* expected; // bytes written, terminator included when written
    size_t written;
};

TEST(EntryInfo, NamesAreCutToTheBufferWithoutTerminator) {
    RawArchive archive;
    RawEntry entry = StoredEntry("abcdef", Bytes(3, 'z'));
    entry.extra = "EXTRA";
    entry.comment = "a comment";
    archive.entries = {entry};
    MemoryFile file;
    file.bytes = BuildRawArchive(archive);
    ReaderHolder holder{OpenBytes(&file)};
    const NameBufferCase cases[] = {
        {7, "abcdef\0", 7}, {100, "abcdef\0", 7}, {6, "abcdef", 6}, {3, "abc", 3}, {1, "a", 1},
    };
    for (const NameBufferCase& c : cases) {
        SCOPED_TRACE(c.bufferSize);
        char name[128];
        char comment[128];
        memset(name, '#', sizeof(name));
        memset(comment, '#', sizeof(comment));
        ASSERT_EQ(GetCurrentEntryInfo(holder.reader, nullptr, name, c.bufferSize, nullptr, 0,
                                      comment, c.bufferSize),
                  Ok);
        EXPECT_EQ(std::string(name, c.written), std::string(c.expected, c.written));
        EXPECT_EQ(name[c.written], '#') << "written past the buffer";
        EXPECT_EQ(comment[c.bufferSize < 10 ? c.bufferSize : 10], '#');
    }
}

TEST(EntryInfo, PartsWithoutBufferAreSkipped) {
    RawArchive archive;
    RawEntry first = StoredEntry("first", Bytes(3, 'z'));
    first.extra = "XYZ123";
    first.comment = "first comment";
    archive.entries = {first, StoredEntry("second", Bytes())};
    MemoryFile file;
    file.bytes = BuildRawArchive(archive);
    ReaderHolder holder{OpenBytes(&file)};

    char comment[64];
    ASSERT_EQ(GetCurrentEntryInfo(holder.reader, nullptr, nullptr, 0, nullptr, 0, comment,
                                  sizeof(comment)),
              Ok);
    EXPECT_STREQ(comment, "first comment");
    char extra[4];
    ASSERT_EQ(GetCurrentEntryInfo(holder.reader, nullptr, nullptr, 0, extra, sizeof(extra), comment,
                                  sizeof(comment)),
              Ok);
    EXPECT_EQ(std::string(extra, 4), "XYZ1");
    EXPECT_STREQ(comment, "first comment");
    ASSERT_EQ(GoToNextEntry(holder.reader), Ok);
    EXPECT_EQ(CurrentName(holder.reader), "second");
}

// --- Reading entry data -----------------------------------------------------------

TEST(EntryData, ChunkSizesDoNotChangeTheBytes) {
    const Bytes stored = RandomBytes(50000, 7);
    const Bytes deflated = CompressibleBytes(200001, 8);
    RawArchive archive;
    archive.entries = {StoredEntry("stored", stored), DeflatedEntry("deflated", deflated)};
    MemoryFile file;
    file.bytes = BuildRawArchive(archive);
    ReaderHolder holder{OpenBytes(&file)};
    const uint32_t chunkSizes[] = {1, 7, 4096, 16383, 16384, 16385, 20480, 1u << 20};
    for (uint32_t chunkSize : chunkSizes) {
        SCOPED_TRACE(chunkSize);
        GoToFirstEntry(holder.reader);
        ReadOutcome outcome = ReadCurrent(holder.reader, chunkSize);
        EXPECT_EQ(outcome.data, stored);
        EXPECT_EQ(outcome.closeStatus, Ok);
        GoToNextEntry(holder.reader);
        outcome = ReadCurrent(holder.reader, chunkSize);
        EXPECT_EQ(outcome.data, deflated);
        EXPECT_EQ(outcome.closeStatus, Ok);
    }
}

TEST(EntryData, LongerReadsGiveOnlyTheRestThenZero) {
    RawArchive archive;
    archive.entries = {StoredEntry("ten", Bytes(10, 'q')), StoredEntry("empty", Bytes())};
    MemoryFile file;
    file.bytes = BuildRawArchive(archive);
    ReaderHolder holder{OpenBytes(&file)};
    ASSERT_EQ(OpenCurrentEntry(holder.reader), Ok);
    char buffer[64];
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, 0), 0);
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, 4), 4);
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, sizeof(buffer)), 6);
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(CloseCurrentEntry(holder.reader), Ok);
    EXPECT_EQ(CloseCurrentEntry(holder.reader), ParamError);
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, sizeof(buffer)), ParamError);

    GoToNextEntry(holder.reader);
    ASSERT_EQ(OpenCurrentEntry(holder.reader), Ok);
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(CloseCurrentEntry(holder.reader), Ok);
}

struct DataCase {
    const char* description;
    RawEntry entry;
    int openStatus;
    int readStatus;
    int closeStatus;
};

RawEntry Falsified(RawEntry entry, void (*change)(RawEntry&)) {
    change(entry);
    return entry;
}

// What the reference archives do not already cover.
TEST(EntryData, FalsifiedFieldsGiveTheirStatus) {
    const Bytes data = CompressibleBytes(30000, 9);
    const DataCase cases[] = {
        {"wrong CRC, stored", Falsified(StoredEntry("s", data), [](RawEntry& e) { e.crc ^= 1; }),
         Ok, Ok, CrcError},
        {"deflate stream cut short",
         Falsified(DeflatedEntry("d", data), [](RawEntry& e) { e.data.resize(e.data.size() / 2); }),
         Ok, -5, Ok},
    };
    for (const DataCase& c : cases) {
        SCOPED_TRACE(c.description);
        RawArchive archive;
        archive.entries = {c.entry};
        MemoryFile file;
        file.bytes = BuildRawArchive(archive);
        ReaderHolder holder{OpenBytes(&file)};
        const ReadOutcome outcome = ReadCurrent(holder.reader, 20480);
        EXPECT_EQ(outcome.openStatus, c.openStatus);
        if (c.openStatus == Ok) {
            EXPECT_EQ(outcome.readStatus, c.readStatus);
            EXPECT_EQ(outcome.closeStatus, c.closeStatus);
        }
    }
}

TEST(EntryData, AnEntryClosedEarlyIsNotChecked) {
    RawArchive archive;
    RawEntry entry = StoredEntry("s", Bytes(1000, 'a'));
    entry.crc ^= 0xFFFF;
    archive.entries = {entry};
    MemoryFile file;
    file.bytes = BuildRawArchive(archive);
    ReaderHolder holder{OpenBytes(&file)};
    ASSERT_EQ(OpenCurrentEntry(holder.reader), Ok);
    char buffer[100];
    EXPECT_EQ(ReadCurrentEntry(holder.reader, buffer, sizeof(buffer)), 100);
    EXPECT_EQ(CloseCurrentEntry(holder.reader), Ok);
}

TEST(EntryData, DataCutOffByTheEndOfTheFileIsAnIoError) {
    RawArchive archive;
    RawEntry entry = StoredEntry("s", RandomBytes(40000, 4));
    archive.entries = {entry};
    Bytes bytes = BuildRawArchive(archive);
    // Claim 100,000 bytes in both headers; the data runs into the directory
    // and then off the end of the file.
    const size_t central = bytes.size() - 22 - 47;
    for (size_t offset : {size_t{18}, size_t{22}, central + 20, central + 24}) {
        bytes[offset] = 0xA0;
        bytes[offset + 1] = 0x86;
        bytes[offset + 2] = 0x01;
        bytes[offset + 3] = 0x00;
    }
    MemoryFile file;
    file.bytes = bytes;
    ReaderHolder holder{OpenBytes(&file)};
    const ReadOutcome outcome = ReadCurrent(holder.reader, 20480);
    EXPECT_EQ(outcome.openStatus, Ok);
    EXPECT_EQ(outcome.readStatus, IoError);
}

TEST(EntryData, OpeningAnotherEntryClosesTheOpenOne) {
    MemoryFile file;
    file.bytes = ThreeEntryArchive();
    ReaderHolder holder{OpenBytes(&file)};
    ASSERT_EQ(OpenCurrentEntry(holder.reader), Ok);
    GoToNextEntry(holder.reader);
    ASSERT_EQ(OpenCurrentEntry(holder.reader), Ok);
    EXPECT_EQ(ReadCurrent(holder.reader, 1000).data, CompressibleBytes(70000, 2));
    ASSERT_EQ(OpenCurrentEntry(holder.reader), Ok);
    // CloseArchive (by the holder) releases the entry left open.
}

TEST(EntryData, WithoutReaderEveryOperationIsAParamError) {
    char buffer[4];
    ArchiveInfo info;
    EXPECT_EQ(CloseArchive(nullptr), ParamError);
    EXPECT_EQ(GetArchiveInfo(nullptr, &info), ParamError);
    EXPECT_EQ(GoToFirstEntry(nullptr), ParamError);
    EXPECT_EQ(GoToNextEntry(nullptr), ParamError);
    EXPECT_EQ(GetCurrentEntryInfo(nullptr, nullptr, buffer, 4, nullptr, 0, nullptr, 0), ParamError);
    EXPECT_EQ(OpenCurrentEntry(nullptr), ParamError);
    EXPECT_EQ(ReadCurrentEntry(nullptr, buffer, 4), ParamError);
    EXPECT_EQ(CloseCurrentEntry(nullptr), ParamError);
    EXPECT_EQ(GetCurrentEntryIndex(nullptr), -1);
}

// --- Failing file operations ----------------------------------------------------

// Every read and seek failure point through one open, walk and full read must
// end in a negative status, never in wrong data or a crash.
TEST(FailingFile, EveryFailurePointIsReported) {
    const Bytes bytes = ThreeEntryArchive();
    const Bytes expected = CompressibleBytes(70000, 2);
    MemoryFile probe;
    probe.bytes = bytes;
    {
        ReaderHolder holder{OpenBytes(&probe)};
        GoToNextEntry(holder.reader);
        ASSERT_EQ(ReadCurrent(holder.reader, 20480).data, expected);
    }
    ASSERT_GT(probe.bytesRead, 1000u);
    ASSERT_GT(probe.seeks, 5u);
    int failuresSeen = 0;
    for (int failSeeks = 0; failSeeks <= 1; ++failSeeks) {
        const uint64_t limit = failSeeks ? probe.seeks : probe.bytesRead;
        for (uint64_t after = 0; after < limit; after += failSeeks ? 1 : 97) {
            SCOPED_TRACE((failSeeks ? "seek " : "read ") + std::to_string(after));
            MemoryFile file;
            file.bytes = bytes;
            (failSeeks ? file.failSeeksAfter : file.failReadsAfter) = after;
            ReaderHolder holder{OpenBytes(&file)};
            if (holder.reader == nullptr) {
                continue;
            }
            const int moved = GoToNextEntry(holder.reader);
            if (moved != Ok) {
                EXPECT_LT(moved, 0);
                continue;
            }
            const ReadOutcome outcome = ReadCurrent(holder.reader, 20480);
            const bool failed = outcome.openStatus != Ok || outcome.readStatus != Ok;
            EXPECT_TRUE(failed || outcome.data == expected);
            failuresSeen += failed ? 1 : 0;
            if (outcome.openStatus == Ok && outcome.readStatus != Ok) {
                EXPECT_EQ(outcome.readStatus, IoError);
            }
        }
    }
    EXPECT_GT(failuresSeen, 0);
}

} // namespace

// --- LZMA entries -------------------------------------------------------------

TEST(LzmaReferenceArchives, EveryArchiveAndEntryReadsAsTheManifestSays) {
    const JsonValue manifest = ReadManifest("lzma/manifest.json");
    ASSERT_GE(manifest.members.size(), 6u);
    for (const auto& archive : manifest.members) {
        SCOPED_TRACE(archive.first);
        CheckArchiveAgainstManifest(TestDataPath("lzma/" + archive.first), archive.second);
    }
}

TEST(LzmaEntries, TheWindowIsTheDictionaryHeldToTheEntry) {
    const struct {
        uint32_t dictionary;
        uint32_t entrySize;
        uint32_t window;
    } cases[] = {
        {1u << 23, 1000, 1000},
        {1u << 16, 1u << 20, 1u << 16},
        {1u << 26, 0xFFFFFFFFu, 1u << 26},
        {(1u << 26) + 1, 10, 0},
        {4096, 0, 1},
        // Below 4 KiB the decoder still reaches back 4 KiB.
        {1, 100000, 4096},
        {0, 3000, 3000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lzma_entry::WindowSize(c.dictionary, c.entrySize), c.window)
            << c.dictionary << " " << c.entrySize;
    }
}

void SetDictionary(RawEntry& entry, uint32_t size) {
    for (int i = 0; i < 4; ++i) {
        entry.data[5 + i] = static_cast<unsigned char>(size >> (8 * i));
    }
}

// Every entry of the table is hand-made with one field or part falsified.
TEST(LzmaEntries, FalsifiedEntriesGiveTheirStatus) {
    const Bytes data = CompressibleBytes(70000, 5);
    const DataCase cases[] = {
        {"end marker, flag set", LzmaEntry("m", data, true), Ok, Ok, Ok},
        {"no end marker, flag clear", LzmaEntry("n", data, false), Ok, Ok, Ok},
        {"end marker, flag clear",
         Falsified(LzmaEntry("m", data, true), [](RawEntry& e) { e.flags = 0; }), Ok, Ok, Ok},
        {"no end marker, flag set",
         Falsified(LzmaEntry("n", data, false), [](RawEntry& e) { e.flags = 2; }), Ok, DataError,
         Ok},
        {"wrong CRC", Falsified(LzmaEntry("c", data, false), [](RawEntry& e) { e.crc ^= 4; }), Ok,
         Ok, CrcError},
        {"stream cut in half",
         Falsified(LzmaEntry("h", data, true),
                   [](RawEntry& e) { e.data.resize(e.data.size() / 2); }),
         Ok, DataError, Ok},
        {"stream without its last byte",
         Falsified(LzmaEntry("l", data, false), [](RawEntry& e) { e.data.pop_back(); }), Ok,
         DataError, Ok},
        {"header cut",
         Falsified(LzmaEntry("t", data, false), [](RawEntry& e) { e.data.resize(7); }), Ok,
         DataError, Ok},
        {"a byte behind the stream",
         Falsified(LzmaEntry("b", data, false), [](RawEntry& e) { e.data.push_back(0); }), Ok,
         DataError, Ok},
        {"a byte behind the end marker",
         Falsified(LzmaEntry("b", data, true), [](RawEntry& e) { e.data.push_back(0); }), Ok,
         DataError, Ok},
        {"size one more than the stream gives",
         Falsified(LzmaEntry("p", data, true), [](RawEntry& e) { e.uncompressedSize += 1; }), Ok,
         DataError, Ok},
        // All its bytes were delivered, so the entry is checked too.
        {"size one less than the stream gives, with marker",
         Falsified(LzmaEntry("q", data, true), [](RawEntry& e) { e.uncompressedSize -= 1; }), Ok,
         DataError, CrcError},
        {"size one less than the stream gives, no marker",
         Falsified(LzmaEntry("r", data, false), [](RawEntry& e) { e.uncompressedSize -= 1; }), Ok,
         DataError, CrcError},
        {"properties size 6",
         Falsified(LzmaEntry("s", data, false), [](RawEntry& e) { e.data[2] = 6; }), Ok, DataError,
         Ok},
        {"lc/lp/pb out of range",
         Falsified(LzmaEntry("o", data, false), [](RawEntry& e) { e.data[4] = 9 * 5 * 5; }), Ok,
         DataError, Ok},
        // The stream reaches back further than the 4 KiB the decoder then
        // keeps: refused, never read outside the window.
        {"dictionary of one byte",
         Falsified(LzmaEntry("k", data, false), [](RawEntry& e) { SetDictionary(e, 1); }), Ok,
         DataError, Ok},
        {"dictionary at the bound",
         Falsified(LzmaEntry("d", data, false),
                   [](RawEntry& e) { SetDictionary(e, lzma_entry::kMaxDictionary); }),
         Ok, Ok, Ok},
        {"dictionary beyond the bound",
         Falsified(LzmaEntry("e", data, false),
                   [](RawEntry& e) { SetDictionary(e, lzma_entry::kMaxDictionary + 1); }),
         Ok, DataError, Ok},
        {"empty entry, marker", LzmaEntry("z", Bytes(), true), Ok, Ok, Ok},
        {"empty entry, no marker", LzmaEntry("y", Bytes(), false), Ok, Ok, Ok},
    };
    for (const DataCase& c : cases) {
        SCOPED_TRACE(c.description);
        RawArchive archive;
        archive.entries = {c.entry};
        MemoryFile file;
        file.bytes = BuildRawArchive(archive);
        ReaderHolder holder{OpenBytes(&file)};
        // Chunks smaller than the input buffer and the window both.
        const ReadOutcome outcome = ReadCurrent(holder.reader, 3000);
        EXPECT_EQ(outcome.openStatus, c.openStatus);
        EXPECT_EQ(outcome.readStatus, c.readStatus);
        EXPECT_EQ(outcome.closeStatus, c.closeStatus);
        if (c.readStatus == Ok && c.closeStatus == Ok) {
            EXPECT_EQ(outcome.data.size(), c.entry.uncompressedSize);
        }
    }
}

TEST(LzmaEntries, ChunkSizesDoNotChangeTheBytes) {
    // Larger than the 16 KiB input buffer and mixed: text, then noise.
    Bytes data = CompressibleBytes(150000, 8);
    const Bytes noise = RandomBytes(50000, 8);
    data.insert(data.end(), noise.begin(), noise.end());
    RawArchive archive;
    archive.entries = {LzmaEntry("a", data, true), LzmaEntry("b", data, false)};
    MemoryFile file;
    file.bytes = BuildRawArchive(archive);
    ReaderHolder holder{OpenBytes(&file)};
    for (int entry = 0; entry < 2; ++entry) {
        for (uint32_t chunk : {1u, 4095u, 16384u, 300000u}) {
            SCOPED_TRACE(std::to_string(entry) + "/" + std::to_string(chunk));
            const ReadOutcome outcome = ReadCurrent(holder.reader, chunk);
            EXPECT_EQ(outcome.readStatus, Ok);
            EXPECT_EQ(outcome.closeStatus, Ok);
            EXPECT_TRUE(outcome.data == data);
        }
        GoToNextEntry(holder.reader);
    }
}

// Whatever byte of the stream is damaged, reading ends: in an error, or with
// the entry's bytes intact.
TEST(LzmaEntries, EveryDamagedByteEndsInAnErrorOrTheTrueBytes) {
    const Bytes data = CompressibleBytes(3000, 2);
    for (bool marker : {true, false}) {
        const RawEntry intact = LzmaEntry("x", data, marker);
        for (size_t at = 0; at < intact.data.size(); ++at) {
            for (unsigned char mask : {0x01, 0x80}) {
                RawEntry entry = intact;
                entry.data[at] ^= mask;
                RawArchive archive;
                archive.entries = {entry};
                MemoryFile file;
                file.bytes = BuildRawArchive(archive);
                ReaderHolder holder{OpenBytes(&file)};
                const ReadOutcome outcome = ReadCurrent(holder.reader, 1000);
                const bool failed = outcome.readStatus < 0 || outcome.closeStatus == CrcError;
                EXPECT_TRUE(failed || outcome.data == data) << "byte " << at << " mask " << +mask;
                if (failed) {
                    EXPECT_TRUE(outcome.readStatus == DataError || outcome.closeStatus == CrcError)
                        << outcome.readStatus;
                }
            }
        }
    }
}

TEST(ReaderMethods, TheListIsReadToItsSemicolon) {
    const struct {
        const char* text;
        uint32_t method;
        bool listed;
    } cases[] = {
        {"tolvanex-reader-methods: 0 8 14;", 14, true},
        {"tolvanex-reader-methods: 0 8 14;", 0, true},
        {"tolvanex-reader-methods: 0 8 14;", 1, false},
        {"tolvanex-reader-methods: 0 8 14;", 4, false},
        {"tolvanex-reader-methods: 0 8 14;", 81, false},
        {"tolvanex-reader-methods: 0 8;14;", 14, false},
        {"tolvanex-reader-methods: 0 8 14", 14, false},
        {"tolvanex-reader-methods: 0 x 14;", 14, false},
        {"tolvanex-reader-method: 0 8 14;", 8, false},
        {"tolvanex-reader-methods:;", 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsMethodListed(c.text, strlen(c.text), c.method), c.listed)
            << c.text << " " << c.method;
    }
    // What the reader itself reads.
    for (uint32_t method : {0u, 8u, 14u}) {
        EXPECT_TRUE(IsMethodListed(kReaderMethodsMark, strlen(kReaderMethodsMark), method));
    }
}
