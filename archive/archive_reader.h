// Reader of the payload archive: a ZIP-layout archive whose three record
// signatures start with 0x66 instead of 0x50, appended behind the program's
// own image. Stored, raw-deflated and LZMA entries, one disk, 32-bit sizes and
// offsets, no encryption. Every stored offset counts from the archive's first
// byte; the reader works out how many bytes precede the archive.
#pragma once

#include <cstddef>
#include <cstdint>

// Status codes: 0 success, negative failure. OpenCurrentEntry and
// ReadCurrentEntry also pass zlib's negative codes through unchanged
// (-2 stream, -3 data, -4 memory, -5 buffer, -6 version error).
namespace ArchiveStatus {
constexpr int Ok = 0;
constexpr int IoError = -1;
constexpr int EndOfList = -100;
constexpr int ParamError = -102;
constexpr int BadArchive = -103;
constexpr int InternalError = -104;
// zlib's data and memory codes, also given for LZMA entries.
constexpr int DataError = -3;
constexpr int MemoryError = -4;
constexpr int CrcError = -105;
} // namespace ArchiveStatus

// Mode bits for ArchiveFileOps::open.
constexpr int kArchiveOpenRead = 1;
constexpr int kArchiveOpenWrite = 2;
constexpr int kArchiveOpenExisting = 4;
constexpr int kArchiveOpenCreate = 8;

// Seek origins for ArchiveFileOps::seek.
constexpr int kArchiveSeekSet = 0;
constexpr int kArchiveSeekCurrent = 1;
constexpr int kArchiveSeekEnd = 2;

// The only way the reader reaches its file. The default table works on the
// standard library's buffered file streams; tests and the fuzzer supply their
// own (memory, injected failures).
struct ArchiveFileOps {
    // Returns a stream, or null. mode: (mode & 3) == 1 reads an existing file;
    // otherwise kArchiveOpenExisting updates one, kArchiveOpenCreate creates one.
    void* (*open)(void* context, const char* fileName, int mode);
    // Return the number of bytes transferred.
    uint32_t (*read)(void* context, void* stream, void* buffer, uint32_t size);
    uint32_t (*write)(void* context, void* stream, const void* buffer, uint32_t size);
    // Returns the current position, or -1.
    int64_t (*tell)(void* context, void* stream);
    // Returns 0 on success, nonzero on failure (-1 for an unknown origin).
    int (*seek)(void* context, void* stream, int64_t offset, int origin);
    int (*close)(void* context, void* stream);
    // Returns nonzero when the stream's error indicator is set.
    int (*error)(void* context, void* stream);
    void* context;
};

// The table over the standard library's file streams.
ArchiveFileOps DefaultArchiveFileOps();

// Decoded central directory header of one entry.
struct CentralEntryInfo {
    uint32_t versionMadeBy;
    uint32_t versionNeeded;
    uint32_t flags;
    uint32_t method;
    uint32_t dosDateTime; // MS-DOS time in the low 16 bits, date in the high 16
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t nameLength;
    uint32_t extraLength;
    uint32_t commentLength;
    uint32_t diskNumberStart;
    uint32_t internalAttributes;
    uint32_t externalAttributes;
};

struct ArchiveInfo {
    uint32_t entryCount; // 0xFFFF: the walk ends only at a header that fails to read
    uint32_t commentLength;
    int64_t bytesBeforeArchive;
};

struct ArchiveReader;

// Opens the archive at the end of fileName through the default table (or
// through ops) with the first entry current. Returns null on any failure;
// status, when given, receives the reason (IoError when no end record is
// found or the file cannot be read, BadArchive when the end record is
// inconsistent, InternalError when out of memory).
ArchiveReader* OpenArchive(const char* fileName, int* status = nullptr);
ArchiveReader* OpenArchiveWithOps(const char* fileName, const ArchiveFileOps& ops,
                                  int* status = nullptr);

// Closes any open entry (its verdict is discarded), the stream and the reader.
// Ok; ParamError without a reader.
int CloseArchive(ArchiveReader* reader);

int GetArchiveInfo(const ArchiveReader* reader, ArchiveInfo* info);

// Make the first / the next entry current. GoToNextEntry returns EndOfList at
// the last entry (nothing changes) or without a valid current entry; IoError
// or BadArchive when the header cannot be read, leaving no valid current entry.
int GoToFirstEntry(ArchiveReader* reader);
int GoToNextEntry(ArchiveReader* reader);

// Index of the valid current entry, or -1 when there is none.
int GetCurrentEntryIndex(const ArchiveReader* reader);

// Re-reads the current entry's central header. Every output is optional. The
// name and comment are zero-terminated when shorter than their buffer, else
// cut to exactly the buffer's size without terminator; the extra field is
// copied up to the buffer's size.
int GetCurrentEntryInfo(ArchiveReader* reader, CentralEntryInfo* info, char* name,
                        uint32_t nameSize, void* extra, uint32_t extraSize, char* comment,
                        uint32_t commentSize);

// Opens the current entry for reading, closing one still open. ParamError
// without a valid current entry; BadArchive when the method is not 0, 8 or 14 or
// the local header disagrees with the central one; InternalError when out of
// memory; a zlib code when the inflater cannot start.
int OpenCurrentEntry(ArchiveReader* reader);

// Places up to length bytes of the open entry's data into buffer. Returns the
// count (> 0), 0 once the entry's uncompressed size has been delivered, or a
// negative status: IoError when the data cannot be fetched, a zlib code for
// bad deflate data; for LZMA data DataError when it is damaged, cut short,
// longer than the entry, or has a dictionary beyond 64 MiB, MemoryError when
// its window (the dictionary, at most the entry's size) cannot be had. After
// an LZMA entry's last byte the reader checks that its stream ends there.
// The entry stays open after a failure.
int ReadCurrentEntry(ArchiveReader* reader, void* buffer, uint32_t length);

// Closes the open entry. CrcError when all its data was delivered and its
// CRC-32 differs from the stored one; Ok otherwise (an entry closed early is
// not checked); ParamError when no entry is open.
int CloseCurrentEntry(ArchiveReader* reader);

// Finds the end record as OpenArchive does, but searching the last
// searchLimit bytes (OpenArchive searches kEndRecordSearchLimit of
// payload_format.h): distanceFromEnd receives how many bytes from the end of
// the file it starts, so a signer's certificate table behind it can be
// weighed against the reader's reach. False when none is found.
bool LocateEndRecord(const char* fileName, int64_t searchLimit, int64_t* distanceFromEnd);

// The methods this reader reads, as a text every program with the reader
// carries in its image: kReaderMethodsPrefix, the method numbers, then ';'.
// `check` looks for it in an installer's setup.exe; the reader takes its own
// methods from it too, so the two never differ.
extern const char kReaderMethodsMark[];
constexpr char kReaderMethodsPrefix[] = "tolvanex-reader-methods:";

// True when text (length bytes starting with kReaderMethodsPrefix) lists
// method before its ';'. False for a text that does not start with the
// prefix or ends before its ';'.
bool IsMethodListed(const char* text, size_t length, uint32_t method);
