#include "archive/archive_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include <zlib.h>

#include "archive/file_system.h"
#include "archive/lzma_entry.h"
#include "archive/payload_format.h"

using namespace ArchiveStatus;

namespace {

using namespace payload_format;

constexpr uint32_t kInputBufferSize = 16384;
constexpr int64_t kEndRecordScanBlock = 1024;

struct EntryReadState {
    unsigned char input[kInputBufferSize];
    z_stream inflater;
    int64_t nextFetchPosition; // relative to the archive start
    bool inflaterInitialised;
    bool lzmaEndMarker;
    lzma_entry::Decoder* lzma; // made at the first read, from the entry's header
    uint32_t runningCrc;
    uint32_t expectedCrc;
    uint32_t compressedRemaining;
    uint32_t uncompressedRemaining;
    ArchiveFileOps ops;
    void* stream;
    uint32_t method;
    int64_t bytesBeforeArchive;
};

} // namespace

struct ArchiveReader {
    ArchiveFileOps ops;
    void* stream;
    uint32_t entryCount;
    uint32_t commentLength;
    int64_t bytesBeforeArchive;
    uint32_t currentIndex;
    int64_t currentCentralPosition; // relative to the archive start
    bool currentEntryValid;
    uint32_t centralDirectoryOffset;
    CentralEntryInfo currentInfo;
    uint32_t currentLocalHeaderOffset;
    EntryReadState* openEntry;
};

namespace {

// Records are decoded byte by byte: the file's layout is little-endian and
// packed whatever the host.
uint32_t ReadLe16(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8;
}

uint32_t ReadLe32(const unsigned char* bytes) {
    return ReadLe16(bytes) | ReadLe16(bytes + 2) << 16;
}

bool ReadExactly(const ArchiveFileOps& ops, void* stream, void* buffer, uint32_t size) {
    if (ops.read(ops.context, stream, buffer, size) != size) {
        return false;
    }
    return ops.error(ops.context, stream) == 0;
}

bool SeekTo(const ArchiveFileOps& ops, void* stream, int64_t position) {
    return position >= 0 && ops.seek(ops.context, stream, position, kArchiveSeekSet) == 0;
}

// --- Default file operations over stdio -----------------------------------

FILE* AsFile(void* stream) {
    return static_cast<FILE*>(stream);
}

void* OpenStdioFile(void*, const char* fileName, int mode) {
    const char* stdioMode = nullptr;
    if ((mode & (kArchiveOpenRead | kArchiveOpenWrite)) == kArchiveOpenRead) {
        stdioMode = "rb";
    } else if (mode & kArchiveOpenExisting) {
        stdioMode = "r+b";
    } else if (mode & kArchiveOpenCreate) {
        stdioMode = "wb";
    }
    if (fileName == nullptr || stdioMode == nullptr) {
        return nullptr;
    }
    return fopen(fileName, stdioMode);
}

uint32_t ReadStdioFile(void*, void* stream, void* buffer, uint32_t size) {
    return static_cast<uint32_t>(fread(buffer, 1, size, AsFile(stream)));
}

uint32_t WriteStdioFile(void*, void* stream, const void* buffer, uint32_t size) {
    return static_cast<uint32_t>(fwrite(buffer, 1, size, AsFile(stream)));
}

int64_t TellStdioFile(void*, void* stream) {
    return archive_fs::TellStream(AsFile(stream));
}

int SeekStdioFile(void*, void* stream, int64_t offset, int origin) {
    int whence = 0;
    switch (origin) {
    case kArchiveSeekSet:
        whence = SEEK_SET;
        break;
    case kArchiveSeekCurrent:
        whence = SEEK_CUR;
        break;
    case kArchiveSeekEnd:
        whence = SEEK_END;
        break;
    default:
        return -1;
    }
    return archive_fs::SeekStream(AsFile(stream), offset, whence);
}

int CloseStdioFile(void*, void* stream) {
    return fclose(AsFile(stream));
}

int StdioFileError(void*, void* stream) {
    return ferror(AsFile(stream));
}

// --- End record -------------------------------------------------------------

// Returns the file offset of the end record nearest the end of the file, or
// 0 when there is none (a record at offset 0 cannot be behind a directory).
int64_t FindEndRecord(const ArchiveFileOps& ops, void* stream,
                      int64_t searchLimit = kEndRecordSearchLimit, int64_t* fileSizeOut = nullptr) {
    if (ops.seek(ops.context, stream, 0, kArchiveSeekEnd) != 0) {
        return 0;
    }
    const int64_t fileSize = ops.tell(ops.context, stream);
    if (fileSize < 0) {
        return 0;
    }
    if (fileSizeOut != nullptr) {
        *fileSizeOut = fileSize;
    }
    const int64_t limit = fileSize < searchLimit ? fileSize : searchLimit;
    // Blocks overlap by four bytes so that no signature straddles two.
    constexpr int64_t kBlockSize = kEndRecordScanBlock + 4;
    unsigned char block[kBlockSize];
    int64_t backDistance = 4;
    while (backDistance < limit) {
        backDistance += kEndRecordScanBlock;
        if (backDistance > limit) {
            backDistance = limit;
        }
        const int64_t blockStart = fileSize - backDistance;
        const int64_t rest = fileSize - blockStart;
        const uint32_t blockLength = static_cast<uint32_t>(rest < kBlockSize ? rest : kBlockSize);
        if (!SeekTo(ops, stream, blockStart) || !ReadExactly(ops, stream, block, blockLength)) {
            return 0;
        }
        for (int64_t i = static_cast<int64_t>(blockLength) - 4; i >= 0; --i) {
            if (ReadLe32(block + i) == kEndRecordSignature) {
                return blockStart + i;
            }
        }
    }
    return 0;
}

int ReadEndRecord(ArchiveReader* reader) {
    const ArchiveFileOps& ops = reader->ops;
    const int64_t recordOffset = FindEndRecord(ops, reader->stream);
    if (recordOffset == 0 || !SeekTo(ops, reader->stream, recordOffset)) {
        return IoError;
    }
    unsigned char record[kEndRecordSize];
    if (!ReadExactly(ops, reader->stream, record, kEndRecordSize)) {
        return IoError;
    }
    const uint32_t thisDisk = ReadLe16(record + 4);
    const uint32_t directoryDisk = ReadLe16(record + 6);
    const uint32_t entriesOnDisk = ReadLe16(record + 8);
    const uint32_t entriesTotal = ReadLe16(record + 10);
    if (entriesOnDisk != entriesTotal || thisDisk != 0 || directoryDisk != 0) {
        return BadArchive;
    }
    const uint32_t directorySize = ReadLe32(record + 12);
    reader->centralDirectoryOffset = ReadLe32(record + 16);
    reader->commentLength = ReadLe16(record + 20);
    const int64_t directoryEnd =
        static_cast<int64_t>(reader->centralDirectoryOffset) + directorySize;
    if (recordOffset < directoryEnd) {
        return BadArchive;
    }
    reader->bytesBeforeArchive = recordOffset - directoryEnd;
    reader->entryCount = entriesOnDisk;
    return Ok;
}

// --- Central headers --------------------------------------------------------

void DecodeCentralHeader(const unsigned char* header, CentralEntryInfo* info,
                         uint32_t* localHeaderOffset) {
    info->versionMadeBy = ReadLe16(header + 4);
    info->versionNeeded = ReadLe16(header + 6);
    info->flags = ReadLe16(header + 8);
    info->method = ReadLe16(header + 10);
    info->dosDateTime = ReadLe32(header + 12);
    info->crc = ReadLe32(header + 16);
    info->compressedSize = ReadLe32(header + 20);
    info->uncompressedSize = ReadLe32(header + 24);
    info->nameLength = ReadLe16(header + 28);
    info->extraLength = ReadLe16(header + 30);
    info->commentLength = ReadLe16(header + 32);
    info->diskNumberStart = ReadLe16(header + 34);
    info->internalAttributes = ReadLe16(header + 36);
    info->externalAttributes = ReadLe32(header + 38);
    *localHeaderOffset = ReadLe32(header + 42);
}

// Walks the variable parts of a central header in file order, copying the
// parts that have a buffer and seeking over the rest lazily, just before the
// next part that is copied.
struct VariablePartCopier {
    const ArchiveFileOps& ops;
    void* stream;
    int64_t pendingSkip;

    // terminate: zero-terminate when the part fits, as for names and comments.
    bool Copy(uint32_t storedLength, void* buffer, uint32_t bufferSize, bool terminate) {
        if (buffer == nullptr || bufferSize == 0 || storedLength == 0) {
            pendingSkip += storedLength;
            return true;
        }
        if (pendingSkip > 0 &&
            ops.seek(ops.context, stream, pendingSkip, kArchiveSeekCurrent) != 0) {
            return false;
        }
        const uint32_t copied = storedLength < bufferSize ? storedLength : bufferSize;
        if (!ReadExactly(ops, stream, buffer, copied)) {
            return false;
        }
        if (terminate && storedLength < bufferSize) {
            static_cast<char*>(buffer)[storedLength] = '\0';
        }
        pendingSkip = storedLength - copied;
        return true;
    }
};

struct CentralHeaderBuffers {
    char* name;
    uint32_t nameSize;
    void* extra;
    uint32_t extraSize;
    char* comment;
    uint32_t commentSize;
};

int ReadCentralHeader(ArchiveReader* reader, CentralEntryInfo* info, uint32_t* localHeaderOffset,
                      const CentralHeaderBuffers& buffers) {
    const ArchiveFileOps& ops = reader->ops;
    if (!SeekTo(ops, reader->stream, reader->currentCentralPosition + reader->bytesBeforeArchive)) {
        return IoError;
    }
    unsigned char header[kCentralHeaderSize];
    if (!ReadExactly(ops, reader->stream, header, kCentralHeaderSize)) {
        return IoError;
    }
    if (ReadLe32(header) != kCentralHeaderSignature) {
        return BadArchive;
    }
    DecodeCentralHeader(header, info, localHeaderOffset);
    VariablePartCopier copier{ops, reader->stream, 0};
    if (!copier.Copy(info->nameLength, buffers.name, buffers.nameSize, true) ||
        !copier.Copy(info->extraLength, buffers.extra, buffers.extraSize, false) ||
        !copier.Copy(info->commentLength, buffers.comment, buffers.commentSize, true)) {
        return IoError;
    }
    return Ok;
}

int ReadCurrentHeaderIntoReader(ArchiveReader* reader) {
    const int status = ReadCentralHeader(reader, &reader->currentInfo,
                                         &reader->currentLocalHeaderOffset, CentralHeaderBuffers{});
    reader->currentEntryValid = status == Ok;
    return status;
}

// --- Entry data -------------------------------------------------------------

// Checks the local header against the central one and gives the data offset
// (relative to the archive start).
int CheckLocalHeader(ArchiveReader* reader, int64_t* dataOffset) {
    const ArchiveFileOps& ops = reader->ops;
    const CentralEntryInfo& central = reader->currentInfo;
    if (!SeekTo(ops, reader->stream,
                reader->currentLocalHeaderOffset + reader->bytesBeforeArchive)) {
        return IoError;
    }
    unsigned char header[kLocalHeaderSize];
    if (!ReadExactly(ops, reader->stream, header, kLocalHeaderSize)) {
        return IoError;
    }
    const uint32_t flags = ReadLe16(header + 6);
    const bool sizesElsewhere = (flags & kFlagSizesInDescriptor) != 0;
    if (ReadLe32(header) != kLocalHeaderSignature || ReadLe16(header + 8) != central.method ||
        !IsMethodListed(kReaderMethodsMark, strlen(kReaderMethodsMark), central.method)) {
        return BadArchive;
    }
    if (!sizesElsewhere &&
        (ReadLe32(header + 14) != central.crc || ReadLe32(header + 18) != central.compressedSize ||
         ReadLe32(header + 22) != central.uncompressedSize)) {
        return BadArchive;
    }
    const uint32_t nameLength = ReadLe16(header + 26);
    if (nameLength != central.nameLength) {
        return BadArchive;
    }
    *dataOffset = static_cast<int64_t>(reader->currentLocalHeaderOffset) + kLocalHeaderSize +
                  nameLength + ReadLe16(header + 28);
    return Ok;
}

void ReleaseEntry(EntryReadState* entry) {
    if (entry->inflaterInitialised) {
        inflateEnd(&entry->inflater);
    }
    lzma_entry::EndDecoder(entry->lzma);
    delete entry;
}

// Refills the input buffer when it is empty and compressed data remains.
int FetchInput(EntryReadState* entry) {
    z_stream& inflater = entry->inflater;
    if (inflater.avail_in != 0 || entry->compressedRemaining == 0) {
        return Ok;
    }
    const uint32_t chunk = entry->compressedRemaining < kInputBufferSize
                               ? entry->compressedRemaining
                               : kInputBufferSize;
    if (!SeekTo(entry->ops, entry->stream, entry->nextFetchPosition + entry->bytesBeforeArchive) ||
        !ReadExactly(entry->ops, entry->stream, entry->input, chunk)) {
        return IoError;
    }
    entry->nextFetchPosition += chunk;
    entry->compressedRemaining -= chunk;
    inflater.next_in = entry->input;
    inflater.avail_in = chunk;
    return Ok;
}

void AccountOutput(EntryReadState* entry, const Bytef* start, uint32_t length) {
    entry->runningCrc = static_cast<uint32_t>(crc32(entry->runningCrc, start, length));
    entry->uncompressedRemaining -= length;
}

// The LZMA header leads the entry's data, so the first fetch holds it.
int StartLzma(EntryReadState* entry, bool endMarker) {
    z_stream& input = entry->inflater;
    const int fetched = FetchInput(entry);
    if (fetched != Ok) {
        return fetched;
    }
    if (input.avail_in < lzma_entry::kHeaderSize) {
        return DataError;
    }
    const int status = lzma_entry::StartDecoder(input.next_in, entry->uncompressedRemaining,
                                                endMarker, &entry->lzma);
    if (status != Ok) {
        return status;
    }
    input.next_in += lzma_entry::kHeaderSize;
    input.avail_in -= lzma_entry::kHeaderSize;
    return Ok;
}

// One step of LZMA decoding into the output the inflater's fields describe.
int StepLzma(EntryReadState* entry) {
    z_stream& stream = entry->inflater;
    const int fetched = FetchInput(entry);
    if (fetched != Ok) {
        return fetched;
    }
    uint32_t taken = stream.avail_in;
    uint32_t made = stream.avail_out;
    const bool inputEnds = entry->compressedRemaining == 0;
    const int status =
        lzma_entry::Decode(entry->lzma, stream.next_in, &taken, stream.next_out, &made, inputEnds);
    AccountOutput(entry, stream.next_out, made);
    stream.next_in += taken;
    stream.avail_in -= taken;
    stream.next_out += made;
    stream.avail_out -= made;
    if (status != Ok) {
        return status;
    }
    // A decoder that neither takes the input it has nor makes anything would
    // be asked again and again: damaged data.
    if (taken == 0 && made == 0 && stream.avail_in != 0) {
        return DataError;
    }
    return Ok;
}

// Reads the LZMA entry into the output the inflater's fields describe and,
// once its last byte is made, on to the end of its stream.
int ReadLzma(EntryReadState* entry) {
    z_stream& stream = entry->inflater;
    while (stream.avail_out > 0 ||
           (entry->uncompressedRemaining == 0 && !lzma_entry::Finished(entry->lzma))) {
        const int status = StepLzma(entry);
        if (status != Ok) {
            return status;
        }
    }
    return Ok;
}

} // namespace

ArchiveFileOps DefaultArchiveFileOps() {
    return ArchiveFileOps{OpenStdioFile, ReadStdioFile,  WriteStdioFile, TellStdioFile,
                          SeekStdioFile, CloseStdioFile, StdioFileError, nullptr};
}

ArchiveReader* OpenArchive(const char* fileName, int* status) {
    return OpenArchiveWithOps(fileName, DefaultArchiveFileOps(), status);
}

ArchiveReader* OpenArchiveWithOps(const char* fileName, const ArchiveFileOps& ops, int* status) {
    int ignored = Ok;
    int& result = status != nullptr ? *status : ignored;
    void* stream = ops.open(ops.context, fileName, kArchiveOpenRead | kArchiveOpenExisting);
    if (stream == nullptr) {
        result = IoError;
        return nullptr;
    }
    ArchiveReader* reader = new (std::nothrow) ArchiveReader{};
    if (reader == nullptr) {
        ops.close(ops.context, stream);
        result = InternalError;
        return nullptr;
    }
    reader->ops = ops;
    reader->stream = stream;
    result = ReadEndRecord(reader);
    if (result != Ok) {
        ops.close(ops.context, stream);
        delete reader;
        return nullptr;
    }
    // An archive whose first header cannot be read (one without entries, for
    // instance) still opens, with no valid current entry.
    GoToFirstEntry(reader);
    return reader;
}

int CloseArchive(ArchiveReader* reader) {
    if (reader == nullptr) {
        return ParamError;
    }
    if (reader->openEntry != nullptr) {
        CloseCurrentEntry(reader);
    }
    reader->ops.close(reader->ops.context, reader->stream);
    delete reader;
    return Ok;
}

int GetArchiveInfo(const ArchiveReader* reader, ArchiveInfo* info) {
    if (reader == nullptr || info == nullptr) {
        return ParamError;
    }
    info->entryCount = reader->entryCount;
    info->commentLength = reader->commentLength;
    info->bytesBeforeArchive = reader->bytesBeforeArchive;
    return Ok;
}

int GoToFirstEntry(ArchiveReader* reader) {
    if (reader == nullptr) {
        return ParamError;
    }
    reader->currentCentralPosition = reader->centralDirectoryOffset;
    reader->currentIndex = 0;
    return ReadCurrentHeaderIntoReader(reader);
}

int GoToNextEntry(ArchiveReader* reader) {
    if (reader == nullptr) {
        return ParamError;
    }
    if (!reader->currentEntryValid) {
        return EndOfList;
    }
    if (reader->entryCount != kOpenEndedCount && reader->currentIndex + 1 == reader->entryCount) {
        return EndOfList;
    }
    const CentralEntryInfo& current = reader->currentInfo;
    reader->currentCentralPosition +=
        kCentralHeaderSize + current.nameLength + current.extraLength + current.commentLength;
    reader->currentIndex += 1;
    return ReadCurrentHeaderIntoReader(reader);
}

int GetCurrentEntryIndex(const ArchiveReader* reader) {
    if (reader == nullptr || !reader->currentEntryValid) {
        return -1;
    }
    return static_cast<int>(reader->currentIndex);
}

int GetCurrentEntryInfo(ArchiveReader* reader, CentralEntryInfo* info, char* name,
                        uint32_t nameSize, void* extra, uint32_t extraSize, char* comment,
                        uint32_t commentSize) {
    if (reader == nullptr) {
        return ParamError;
    }
    CentralEntryInfo decoded{};
    uint32_t localHeaderOffset = 0;
    const int status = ReadCentralHeader(
        reader, &decoded, &localHeaderOffset,
        CentralHeaderBuffers{name, nameSize, extra, extraSize, comment, commentSize});
    if (status == Ok && info != nullptr) {
        *info = decoded;
    }
    return status;
}

int OpenCurrentEntry(ArchiveReader* reader) {
    if (reader == nullptr || !reader->currentEntryValid) {
        return ParamError;
    }
    if (reader->openEntry != nullptr) {
        CloseCurrentEntry(reader);
    }
    int64_t dataOffset = 0;
    if (CheckLocalHeader(reader, &dataOffset) != Ok) {
        return BadArchive;
    }
    EntryReadState* entry = new (std::nothrow) EntryReadState{};
    if (entry == nullptr) {
        return InternalError;
    }
    const CentralEntryInfo& central = reader->currentInfo;
    entry->expectedCrc = central.crc;
    entry->method = central.method;
    entry->lzmaEndMarker = (central.flags & lzma_entry::kFlagEndMarker) != 0;
    entry->ops = reader->ops;
    entry->stream = reader->stream;
    entry->bytesBeforeArchive = reader->bytesBeforeArchive;
    if (central.method == kMethodDeflated) {
        // Raw deflate: a 32 KiB window and no zlib header or trailer.
        const int status = inflateInit2(&entry->inflater, -MAX_WBITS);
        if (status != Z_OK) {
            delete entry;
            return status;
        }
        entry->inflaterInitialised = true;
    }
    entry->compressedRemaining = central.compressedSize;
    entry->uncompressedRemaining = central.uncompressedSize;
    entry->nextFetchPosition = dataOffset;
    reader->openEntry = entry;
    return Ok;
}

int ReadCurrentEntry(ArchiveReader* reader, void* buffer, uint32_t length) {
    if (reader == nullptr || reader->openEntry == nullptr) {
        return ParamError;
    }
    EntryReadState* entry = reader->openEntry;
    z_stream& inflater = entry->inflater;
    // The count is returned as an int.
    uint32_t room = length < 0x7FFFFFFF ? length : 0x7FFFFFFF;
    if (room > entry->uncompressedRemaining) {
        room = entry->uncompressedRemaining;
    }
    inflater.next_out = static_cast<Bytef*>(buffer);
    inflater.avail_out = room;
    if (entry->method == kMethodLzma) {
        int status = Ok;
        if (entry->lzma == nullptr) {
            status = StartLzma(entry, entry->lzmaEndMarker);
        }
        if (status == Ok) {
            status = ReadLzma(entry);
        }
        const uint32_t count = room - inflater.avail_out;
        return status != Ok ? status : static_cast<int>(count);
    }
    uint32_t count = 0;
    while (inflater.avail_out > 0) {
        const int fetched = FetchInput(entry);
        if (fetched != Ok) {
            return fetched;
        }
        Bytef* const outputStart = inflater.next_out;
        if (entry->method == kMethodStored) {
            if (inflater.avail_in == 0) {
                return static_cast<int>(count);
            }
            const uint32_t copied =
                inflater.avail_out < inflater.avail_in ? inflater.avail_out : inflater.avail_in;
            memcpy(outputStart, inflater.next_in, copied);
            inflater.next_in += copied;
            inflater.avail_in -= copied;
            inflater.next_out += copied;
            inflater.avail_out -= copied;
            AccountOutput(entry, outputStart, copied);
            count += copied;
            continue;
        }
        int status = inflate(&inflater, Z_SYNC_FLUSH);
        if (status >= 0 && inflater.msg != nullptr) {
            status = Z_DATA_ERROR;
        }
        const uint32_t produced = static_cast<uint32_t>(inflater.next_out - outputStart);
        AccountOutput(entry, outputStart, produced);
        count += produced;
        if (status == Z_STREAM_END) {
            return static_cast<int>(count);
        }
        if (status != Z_OK) {
            return status;
        }
    }
    return static_cast<int>(count);
}

int CloseCurrentEntry(ArchiveReader* reader) {
    if (reader == nullptr || reader->openEntry == nullptr) {
        return ParamError;
    }
    EntryReadState* entry = reader->openEntry;
    const bool crcMismatch =
        entry->uncompressedRemaining == 0 && entry->runningCrc != entry->expectedCrc;
    ReleaseEntry(entry);
    reader->openEntry = nullptr;
    return crcMismatch ? CrcError : Ok;
}

bool LocateEndRecord(const char* fileName, int64_t searchLimit, int64_t* distanceFromEnd) {
    const ArchiveFileOps ops = DefaultArchiveFileOps();
    void* stream = ops.open(ops.context, fileName, kArchiveOpenRead | kArchiveOpenExisting);
    if (stream == nullptr) {
        return false;
    }
    int64_t fileSize = 0;
    const int64_t offset = FindEndRecord(ops, stream, searchLimit, &fileSize);
    ops.close(ops.context, stream);
    if (offset == 0) {
        return false;
    }
    *distanceFromEnd = fileSize - offset;
    return true;
}
