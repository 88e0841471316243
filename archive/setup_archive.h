// The setup driver's access to the payload archive: entries by index, their
// descriptions, and extraction of one entry into a directory. Results are
// true/false; the reader's status codes stay inside. Paths are 8-bit strings
// of at most 259 characters; "\\" and "/" both separate directories.
#pragma once

#include <cstdint>

struct ArchiveReader;

struct ArchiveEntryInfo {
    char name[261]; // at most 260 characters, every "/" replaced by "\\"
    char comment[256];
    uint32_t versionMadeBy;
    uint32_t versionNeeded;
    uint32_t flags;
    uint32_t method;      // 0 stored, 8 deflated
    uint32_t dosDateTime; // MS-DOS time in the low 16 bits, date in the high 16
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t internalAttributes;
    uint32_t externalAttributes; // not applied to extracted files
    bool isDirectory;            // the name ends with "\\"
};

// Called after every chunk written by ExtractEntry with that chunk's size.
using ExtractProgressCallback = void (*)(int32_t bytesWritten);

// Why the last ExtractEntry returned false.
enum class ExtractFailure {
    None,
    NoArchive,
    NoSuchEntry,      // index out of range, or its header cannot be read
    UnsafeName,       // the name would leave the target directory
    PathTooLong,      // a path over 259 characters, or a name cut short
    DirectoryFailed,  // a directory could not be created
    FileNotCreated,   // in use, read-only, or a directory of that name
    EntryNotReadable, // damaged local header, unknown method, no memory
    DataError,        // the data cannot be read or inflated
    WriteFailed,
    ChecksumMismatch, // the data does not match its stored CRC-32
    SizeMismatch,     // the data ended before the entry's size
};

// True when the name stays inside the directory it is extracted to: not
// empty, no ".." component (nor "..." or ".. ", which Windows trims to ".."),
// no leading separator, no drive or colon.
bool IsSafeEntryName(const char* name);

class SetupArchive {
public:
    SetupArchive();
    // Opens the archive as Open does.
    explicit SetupArchive(const char* archivePath);
    virtual ~SetupArchive();
    SetupArchive(const SetupArchive&) = delete;
    SetupArchive& operator=(const SetupArchive&) = delete;

    // Closes whatever is open, then opens the archive. On success the default
    // extraction directory becomes the path without its extension. True when
    // an archive is open afterwards.
    bool Open(const char* archivePath);

    // True when an open archive was closed without error; false when none
    // was open.
    bool Close();

    // Number of entries; 0 when no archive is open.
    int GetEntryCount();

    // Fills info (zeroed first) with entry index. False when no archive is
    // open, the index is out of range or the header cannot be read.
    bool GetEntryInfo(int index, ArchiveEntryInfo* info);

    // Writes entry index as a file below directory (the default extraction
    // directory when null), creating missing directories and giving the file
    // the entry's date and time. flattenPaths drops the name's directory
    // parts. An existing file is replaced. True when the file was written
    // completely and matches its CRC-32, or when the entry is a directory
    // entry (nothing is created). On failure no file is left behind and
    // GetLastExtractFailure tells why.
    bool ExtractEntry(int index, const char* directory, bool flattenPaths,
                      ExtractProgressCallback callback);

    // Stores path as the default extraction directory and creates it with all
    // missing levels. False, keeping the previous directory, when the path is
    // too long or names an existing file; false, but stored, when it cannot be
    // created. Needs no open archive.
    bool SetExtractDirectory(const char* path);

    ExtractFailure GetLastExtractFailure() const { return lastExtractFailure; }

private:
    bool GoToEntry(int index);
    bool ReadCurrentEntryInfo(ArchiveEntryInfo* info, bool* nameCut);
    ExtractFailure ExtractCurrentEntry(const char* directory, bool flattenPaths,
                                       ExtractProgressCallback callback);
    ExtractFailure CopyCurrentEntry(const char* targetPath, uint32_t expectedSize,
                                    ExtractProgressCallback callback);

    ArchiveReader* reader;
    char extractDirectory[260];
    ExtractFailure lastExtractFailure;
};
