// The payload writer, read back through the reader: sizes around the reader's
// buffer boundaries, both methods, incompressible and compressible data,
// nested names, the stub in front, and the failures a build can run into.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <utime.h>

#include "archive/archive_reader.h"
#include "archive/payload_writer.h"
#include "tests/archive/archive_test_support.h"

using namespace ArchiveStatus;

namespace {

struct ReaderHolder {
    ArchiveReader* reader;
    ~ReaderHolder() {
        if (reader != nullptr) {
            CloseArchive(reader);
        }
    }
};

Bytes ReadCurrentData(ArchiveReader* reader, int* closeStatus) {
    Bytes data;
    if (OpenCurrentEntry(reader) != Ok) {
        *closeStatus = BadArchive;
        return data;
    }
    Bytes chunk(20480);
    int count = 0;
    while ((count = ReadCurrentEntry(reader, chunk.data(), 20480)) > 0) {
        data.insert(data.end(), chunk.begin(), chunk.begin() + count);
    }
    *closeStatus = count < 0 ? count : CloseCurrentEntry(reader);
    return data;
}

struct RoundTripEntry {
    std::string name;
    Bytes data;
    PayloadMethod method;
};

std::vector<RoundTripEntry> RoundTripEntries() {
    const size_t sizes[] = {0, 1, 16383, 16384, 16385, 20480, 40960, 61440, 50000, 333333};
    std::vector<RoundTripEntry> entries;
    uint32_t seed = 1;
    for (size_t size : sizes) {
        for (PayloadMethod method :
             {PayloadMethod::Stored, PayloadMethod::Deflated, PayloadMethod::Lzma}) {
            for (bool random : {true, false}) {
                RoundTripEntry entry;
                entry.name = std::string(random ? "random/" : "text/") +
                             (method == PayloadMethod::Stored     ? "stored/"
                              : method == PayloadMethod::Deflated ? "deflated/"
                                                                  : "lzma/") +
                             "size_" + std::to_string(size);
                entry.data = random ? RandomBytes(size, seed) : CompressibleBytes(size, seed);
                entry.method = method;
                entries.push_back(entry);
                ++seed;
            }
        }
    }
    return entries;
}

TEST(RoundTrip, EveryEntryReadsBackExactly) {
    ScratchDirectory scratch;
    const std::string out = scratch.Join("payload.bin");
    const std::vector<RoundTripEntry> entries = RoundTripEntries();
    PayloadError error = PayloadError::OutputNotCreated;
    PayloadWriter* writer = CreatePayload(out.c_str(), nullptr, &error);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(error, PayloadError::None);
    for (const RoundTripEntry& entry : entries) {
        ASSERT_EQ(AddPayloadData(writer, entry.name.c_str(), entry.data.data(),
                                 static_cast<uint32_t>(entry.data.size()), 0x52CE6A3C,
                                 entry.method),
                  PayloadError::None);
    }
    ASSERT_EQ(FinishPayload(writer), PayloadError::None);

    ReaderHolder holder{OpenArchive(out.c_str())};
    ASSERT_NE(holder.reader, nullptr);
    ArchiveInfo info;
    GetArchiveInfo(holder.reader, &info);
    EXPECT_EQ(info.entryCount, entries.size());
    EXPECT_EQ(info.bytesBeforeArchive, 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        const RoundTripEntry& expected = entries[i];
        SCOPED_TRACE(expected.name);
        ASSERT_EQ(GetCurrentEntryIndex(holder.reader), static_cast<int>(i));
        CentralEntryInfo central;
        char name[64];
        ASSERT_EQ(GetCurrentEntryInfo(holder.reader, &central, name, sizeof(name), nullptr, 0,
                                      nullptr, 0),
                  Ok);
        EXPECT_EQ(name, expected.name);
        if (expected.method == PayloadMethod::Lzma) {
            // LZMA stores what it cannot shrink.
            EXPECT_EQ(central.method, central.compressedSize < expected.data.size() ? 14u : 0u);
        } else {
            EXPECT_EQ(central.method, expected.method == PayloadMethod::Stored ? 0u : 8u);
        }
        EXPECT_EQ(central.flags, 0u);
        EXPECT_EQ(central.dosDateTime, 0x52CE6A3Cu);
        EXPECT_EQ(central.crc, Crc32Of(expected.data));
        EXPECT_EQ(central.uncompressedSize, expected.data.size());
        if (expected.method == PayloadMethod::Stored) {
            EXPECT_EQ(central.compressedSize, expected.data.size());
        } else if (expected.name.rfind("text/", 0) == 0 && expected.data.size() > 1000) {
            EXPECT_LT(central.compressedSize, expected.data.size() / 3);
        }
        int closeStatus = Ok;
        EXPECT_EQ(ReadCurrentData(holder.reader, &closeStatus), expected.data);
        EXPECT_EQ(closeStatus, Ok);
        GoToNextEntry(holder.reader);
    }
}

// The dictionary in an LZMA entry's header: the level's, but for a smaller
// entry no more than the format's next step above the entry's size, so that
// the reader's window is the entry's.
TEST(LzmaEncoding, TheDictionaryFollowsTheLevelAndTheEntry) {
    const struct {
        size_t size;
        int level;
        uint32_t dictionary; // in the header
    } cases[] = {
        {100, 6, 4096},          {5000, 6, 6144},
        {70000, 6, 98304},       {70000, 1, 98304},
        {9u << 20, 6, 8u << 20}, {9u << 20, 1, 1u << 20},
        {3u << 20, 9, 3u << 20}, {(3u << 20) + 1, 9, 4u << 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " at " + std::to_string(c.level));
        const Bytes data(c.size, 'a');
        EncodedEntry encoded;
        ASSERT_EQ(EncodeEntryData(data.data(), data.size(), PayloadMethod::Lzma, c.level, &encoded),
                  PayloadError::None);
        ASSERT_EQ(encoded.method, 14u);
        ASSERT_GT(encoded.data.size(), 9u);
        const uint32_t dictionary = encoded.data[5] | encoded.data[6] << 8 | encoded.data[7] << 16 |
                                    static_cast<uint32_t>(encoded.data[8]) << 24;
        EXPECT_EQ(dictionary, c.dictionary);
        EXPECT_EQ(encoded.data[2], 5); // the properties' size
    }
}

TEST(Format, SignaturesStartWith0x66AndOffsetsFollowTheStub) {
    ScratchDirectory scratch;
    const std::string stub = scratch.Join("stub.exe");
    const Bytes stubBytes = RandomBytes(4321, 5);
    ASSERT_TRUE(WriteFileBytes(stub, stubBytes));
    const std::string out = scratch.Join("setup.exe");
    PayloadWriter* writer = CreatePayload(out.c_str(), stub.c_str(), nullptr);
    ASSERT_NE(writer, nullptr);
    const Bytes data = CompressibleBytes(1000, 6);
    ASSERT_EQ(AddPayloadData(writer, "sub\\dir\\file_1", data.data(), 1000, 0x2C218000,
                             PayloadMethod::Deflated),
              PayloadError::None);
    ASSERT_EQ(AddPayloadData(writer, "docs/", nullptr, 0, 0x2C218000, PayloadMethod::Deflated),
              PayloadError::None);
    ASSERT_EQ(FinishPayload(writer), PayloadError::None);

    const Bytes bytes = ReadFileBytes(out);
    ASSERT_GT(bytes.size(), stubBytes.size() + 22);
    EXPECT_TRUE(std::equal(stubBytes.begin(), stubBytes.end(), bytes.begin()));
    const unsigned char local[] = {0x66, 0x4B, 0x03, 0x04};
    const unsigned char end[] = {0x66, 0x4B, 0x05, 0x06};
    EXPECT_EQ(memcmp(bytes.data() + stubBytes.size(), local, 4), 0);
    EXPECT_EQ(memcmp(bytes.data() + bytes.size() - 22, end, 4), 0);

    ReaderHolder holder{OpenArchive(out.c_str())};
    ASSERT_NE(holder.reader, nullptr);
    ArchiveInfo info;
    GetArchiveInfo(holder.reader, &info);
    EXPECT_EQ(info.bytesBeforeArchive, static_cast<int64_t>(stubBytes.size()));
    EXPECT_EQ(info.commentLength, 0u);
    char name[64];
    GetCurrentEntryInfo(holder.reader, nullptr, name, sizeof(name), nullptr, 0, nullptr, 0);
    EXPECT_STREQ(name, "sub/dir/file_1");
    ASSERT_EQ(GoToNextEntry(holder.reader), Ok);
    CentralEntryInfo directory;
    GetCurrentEntryInfo(holder.reader, &directory, name, sizeof(name), nullptr, 0, nullptr, 0);
    EXPECT_STREQ(name, "docs/");
    EXPECT_EQ(directory.method, 0u);
    EXPECT_EQ(directory.compressedSize, 0u);
}

// The entry's date and time are the source file's modification time, read as
// local time.
TEST(SourceFiles, TheModificationTimeBecomesTheEntryTime) {
    ScratchDirectory scratch;
    const std::string source = scratch.Join("source.txt");
    ASSERT_TRUE(WriteFileBytes(source, CompressibleBytes(777, 14)));
    struct tm local {};
    local.tm_year = 2021 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 14;
    local.tm_hour = 13;
    local.tm_min = 17;
    local.tm_sec = 57; // DOS keeps even seconds
    local.tm_isdst = -1;
    struct utimbuf times;
    times.actime = mktime(&local);
    times.modtime = times.actime;
    ASSERT_EQ(utime(source.c_str(), &times), 0);

    const std::string out = scratch.Join("payload.bin");
    PayloadWriter* writer = CreatePayload(out.c_str(), nullptr, nullptr);
    ASSERT_EQ(AddPayloadFile(writer, "file_1", source.c_str(), PayloadMethod::Deflated),
              PayloadError::None);
    ASSERT_EQ(FinishPayload(writer), PayloadError::None);
    ReaderHolder holder{OpenArchive(out.c_str())};
    ASSERT_NE(holder.reader, nullptr);
    CentralEntryInfo info;
    GetCurrentEntryInfo(holder.reader, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    EXPECT_EQ(info.dosDateTime, 0x52CE6A3Cu);
    int closeStatus = Ok;
    EXPECT_EQ(ReadCurrentData(holder.reader, &closeStatus), CompressibleBytes(777, 14));
}

TEST(Failures, MissingInputsAreNamedAndLeaveNoOutput) {
    ScratchDirectory scratch;
    const std::string out = scratch.Join("out.exe");
    PayloadError error = PayloadError::None;
    EXPECT_EQ(CreatePayload(out.c_str(), scratch.Join("no-stub").c_str(), &error), nullptr);
    EXPECT_EQ(error, PayloadError::StubNotRead);
    EXPECT_FALSE(PathExists(out));

    EXPECT_EQ(CreatePayload((scratch.Join("missing") + NativeSeparator() + "out.exe").c_str(),
                            nullptr, &error),
              nullptr);
    EXPECT_EQ(error, PayloadError::OutputNotCreated);

    PayloadWriter* writer = CreatePayload(out.c_str(), nullptr, &error);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(
        AddPayloadFile(writer, "file_1", scratch.Join("no-source").c_str(), PayloadMethod::Stored),
        PayloadError::SourceNotRead);
    DiscardPayload(writer);
    EXPECT_FALSE(PathExists(out));
}

TEST(Failures, TheEntryCountStaysBelowTheOpenEndedMark) {
    ScratchDirectory scratch;
    const std::string out = scratch.Join("many.bin");
    PayloadWriter* writer = CreatePayload(out.c_str(), nullptr, nullptr);
    ASSERT_NE(writer, nullptr);
    for (int i = 0; i < 0xFFFE; ++i) {
        ASSERT_EQ(AddPayloadData(writer, "e", nullptr, 0, 0, PayloadMethod::Stored),
                  PayloadError::None);
    }
    EXPECT_EQ(AddPayloadData(writer, "e", nullptr, 0, 0, PayloadMethod::Stored),
              PayloadError::TooLarge);
    ASSERT_EQ(FinishPayload(writer), PayloadError::None);
    ReaderHolder holder{OpenArchive(out.c_str())};
    ASSERT_NE(holder.reader, nullptr);
    ArchiveInfo info;
    GetArchiveInfo(holder.reader, &info);
    EXPECT_EQ(info.entryCount, 0xFFFEu);
}

} // namespace
