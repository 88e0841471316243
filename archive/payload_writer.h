// Writer of payload archives: copies a stub program and appends stored,
// raw-deflated or LZMA entries in the payload format (ZIP layout, signatures starting
// with 0x66), with offsets counted from the archive's first byte and names
// with "/" separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class PayloadError {
    None,
    OutputNotCreated,
    StubNotRead,
    SourceNotRead,
    WriteFailed,
    CompressFailed,
    TooLarge, // over 65,534 entries, 4 GiB of archive, or a 64 KiB name
};

// Lzma: ZIP method 14 without end marker, the whole entry encoded at once.
enum class PayloadMethod { Stored, Deflated, Lzma };

struct PayloadWriter;

// Creates outPath (replacing it) and copies stubPath into it when one is
// given. Null on failure, with error set.
PayloadWriter* CreatePayload(const char* outPath, const char* stubPath, PayloadError* error);

// Appends the file at sourcePath as entryName; its modification time becomes
// the entry's DOS date/time. "\\" in entryName is stored as "/".
PayloadError AddPayloadFile(PayloadWriter* writer, const char* entryName, const char* sourcePath,
                            PayloadMethod method);

// Appends size bytes from memory; a name ending in "/" with no data makes a
// directory entry.
PayloadError AddPayloadData(PayloadWriter* writer, const char* entryName, const void* data,
                            uint32_t size, uint32_t dosDateTime, PayloadMethod method);

// An entry's data made ready for the archive. Encoding touches no writer, so
// entries can be encoded on several threads and added in order.
struct EncodedEntry {
    uint32_t method = 0; // payload_format::kMethodStored, kMethodDeflated or kMethodLzma
    uint32_t crc = 0;
    uint32_t uncompressedSize = 0;
    std::vector<unsigned char> data; // the bytes that go into the archive
};

// Compression levels: 0 stores, 1 to 9 as zlib's deflate or the LZMA SDK's
// presets.
constexpr int kMinPayloadLevel = 0;
constexpr int kMaxPayloadLevel = 9;
// The level AddPayloadFile and AddPayloadData encode LZMA entries at.
constexpr int kDefaultLzmaLevel = 6;

// Raw-deflates size bytes at level into encoded; data that deflate cannot
// shrink, and every entry at level 0, is stored as it is. The same input and
// level always give the same bytes.
PayloadError EncodeEntryData(const void* data, size_t size, int level, EncodedEntry* encoded);
// The same with LZMA (lzma_encoder.h) or deflate as method; Stored stores.
// LZMA too stores what it cannot shrink.
PayloadError EncodeEntryData(const void* data, size_t size, PayloadMethod method, int level,
                             EncodedEntry* encoded);

// Appends an encoded entry as entryName ("\\" stored as "/").
PayloadError AddEncodedEntry(PayloadWriter* writer, const char* entryName,
                             const EncodedEntry& encoded, uint32_t dosDateTime);

// The MS-DOS date/time of a moment in UTC given in seconds since 1970, held
// to the range the format can express (1980 to 2107). Entry times taken this
// way are the same on every build machine, whatever its time zone.
uint32_t DosDateTimeFromUtc(int64_t seconds);

// Creates outPath (replacing it) and writes size bytes of stub program into
// it. Null on failure, with error set.
PayloadWriter* CreatePayloadWithStub(const char* outPath, const void* stub, size_t size,
                                     PayloadError* error);

// Writes the central directory and the end record, closes the output and
// releases the writer. On failure the output file is removed.
PayloadError FinishPayload(PayloadWriter* writer);

// Closes and removes the output and releases the writer.
void DiscardPayload(PayloadWriter* writer);
