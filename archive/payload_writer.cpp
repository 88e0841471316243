#include "archive/payload_writer.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/archive_reader.h"
#include "archive/file_system.h"
#include "archive/lzma_encoder.h"
#include "archive/payload_format.h"

namespace {

using namespace payload_format;

constexpr uint32_t kChunkSize = 65536;
constexpr uint32_t kEarliestDosDateTime = (1 << 5 | 1) << 16; // 1980-01-01 00:00:00
constexpr uint32_t kLatestDosDateTime = 0xFF9FBF7D;           // 2107-12-31 23:59:58

struct CentralRecord {
    std::string name;
    uint32_t method;
    uint32_t dosDateTime;
    uint32_t crc;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t externalAttributes;
    uint32_t localHeaderOffset;
};

// Where an entry's data comes from: an open file or a block of memory.
struct EntrySource {
    FILE* file;
    const unsigned char* data;
    uint32_t remaining;
};

} // namespace

struct PayloadWriter {
    ArchiveFileOps ops;
    void* stream;
    std::string outPath;
    int64_t archiveStart;
    std::vector<CentralRecord> entries;
    unsigned char input[kChunkSize];
    unsigned char output[kChunkSize];
};

namespace {

void PutLe16(std::vector<unsigned char>& bytes, uint32_t value) {
    bytes.push_back(static_cast<unsigned char>(value));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void PutLe32(std::vector<unsigned char>& bytes, uint32_t value) {
    PutLe16(bytes, value & 0xFFFF);
    PutLe16(bytes, value >> 16);
}

bool WriteBytes(PayloadWriter* writer, const void* data, size_t size) {
    const unsigned char* next = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const uint32_t chunk = size < kChunkSize ? static_cast<uint32_t>(size) : kChunkSize;
        if (writer->ops.write(writer->ops.context, writer->stream, next, chunk) != chunk) {
            return false;
        }
        next += chunk;
        size -= chunk;
    }
    return true;
}

int64_t ArchivePosition(PayloadWriter* writer) {
    return writer->ops.tell(writer->ops.context, writer->stream) - writer->archiveStart;
}

bool SeekOutput(PayloadWriter* writer, int64_t archivePosition, int origin) {
    const int64_t offset =
        origin == kArchiveSeekSet ? archivePosition + writer->archiveStart : archivePosition;
    return writer->ops.seek(writer->ops.context, writer->stream, offset, origin) == 0;
}

std::vector<unsigned char> LocalHeader(const CentralRecord& entry) {
    std::vector<unsigned char> header;
    PutLe32(header, kLocalHeaderSignature);
    PutLe16(header, kWriterVersion);
    PutLe16(header, 0); // flags
    PutLe16(header, entry.method);
    PutLe32(header, entry.dosDateTime);
    PutLe32(header, entry.crc);
    PutLe32(header, entry.compressedSize);
    PutLe32(header, entry.uncompressedSize);
    PutLe16(header, static_cast<uint32_t>(entry.name.size()));
    PutLe16(header, 0); // extra field length
    header.insert(header.end(), entry.name.begin(), entry.name.end());
    return header;
}

void AppendCentralHeader(std::vector<unsigned char>& directory, const CentralRecord& entry) {
    PutLe32(directory, kCentralHeaderSignature);
    PutLe16(directory, kWriterVersion);
    PutLe16(directory, kWriterVersion);
    PutLe16(directory, 0); // flags
    PutLe16(directory, entry.method);
    PutLe32(directory, entry.dosDateTime);
    PutLe32(directory, entry.crc);
    PutLe32(directory, entry.compressedSize);
    PutLe32(directory, entry.uncompressedSize);
    PutLe16(directory, static_cast<uint32_t>(entry.name.size()));
    PutLe16(directory, 0); // extra field length
    PutLe16(directory, 0); // comment length
    PutLe16(directory, 0); // disk number start
    PutLe16(directory, 0); // internal attributes
    PutLe32(directory, entry.externalAttributes);
    PutLe32(directory, entry.localHeaderOffset);
    directory.insert(directory.end(), entry.name.begin(), entry.name.end());
}

uint32_t ReadSource(EntrySource& source, unsigned char* buffer, uint32_t size) {
    if (source.file != nullptr) {
        return static_cast<uint32_t>(fread(buffer, 1, size, source.file));
    }
    const uint32_t count = size < source.remaining ? size : source.remaining;
    if (count == 0) {
        return 0;
    }
    memcpy(buffer, source.data, count);
    source.data += count;
    source.remaining -= count;
    return count;
}

bool SourceFailed(const EntrySource& source) {
    return source.file != nullptr && ferror(source.file) != 0;
}

// Adds a chunk's size to a 32-bit field, refusing to wrap.
bool AddSize(uint32_t* total, size_t amount) {
    if (amount > 0xFFFFFFFFu - *total) {
        return false;
    }
    *total += static_cast<uint32_t>(amount);
    return true;
}

PayloadError StoreData(PayloadWriter* writer, EntrySource& source, CentralRecord* entry) {
    for (;;) {
        const uint32_t count = ReadSource(source, writer->input, kChunkSize);
        if (SourceFailed(source)) {
            return PayloadError::SourceNotRead;
        }
        if (count == 0) {
            return PayloadError::None;
        }
        entry->crc = static_cast<uint32_t>(crc32(entry->crc, writer->input, count));
        if (!AddSize(&entry->uncompressedSize, count)) {
            return PayloadError::TooLarge;
        }
        entry->compressedSize = entry->uncompressedSize;
        if (!WriteBytes(writer, writer->input, count)) {
            return PayloadError::WriteFailed;
        }
    }
}

// Runs the deflater over everything the source holds; the caller ends it.
PayloadError DeflateData(PayloadWriter* writer, EntrySource& source, z_stream* deflater,
                         CentralRecord* entry) {
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        const uint32_t count = ReadSource(source, writer->input, kChunkSize);
        if (SourceFailed(source)) {
            return PayloadError::SourceNotRead;
        }
        entry->crc = static_cast<uint32_t>(crc32(entry->crc, writer->input, count));
        if (!AddSize(&entry->uncompressedSize, count)) {
            return PayloadError::TooLarge;
        }
        flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
        deflater->next_in = writer->input;
        deflater->avail_in = count;
        do {
            deflater->next_out = writer->output;
            deflater->avail_out = kChunkSize;
            if (deflate(deflater, flush) == Z_STREAM_ERROR) {
                return PayloadError::CompressFailed;
            }
            const uint32_t produced = kChunkSize - deflater->avail_out;
            if (!AddSize(&entry->compressedSize, produced)) {
                return PayloadError::TooLarge;
            }
            if (!WriteBytes(writer, writer->output, produced)) {
                return PayloadError::WriteFailed;
            }
        } while (deflater->avail_out == 0);
    }
    return PayloadError::None;
}

PayloadError CompressData(PayloadWriter* writer, EntrySource& source, CentralRecord* entry) {
    z_stream deflater{};
    // Raw deflate: no zlib header or trailer.
    if (deflateInit2(&deflater, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        return PayloadError::CompressFailed;
    }
    const PayloadError error = DeflateData(writer, source, &deflater, entry);
    deflateEnd(&deflater);
    return error;
}

// Writes the local header with placeholders, the data, then the header again
// with the sizes and CRC-32 now known.
PayloadError AddEntry(PayloadWriter* writer, const char* entryName, EntrySource& source,
                      uint32_t dosDateTime, PayloadMethod method) {
    CentralRecord entry{};
    entry.name = entryName;
    for (char& c : entry.name) {
        if (c == '\\') {
            c = '/';
        }
    }
    const bool directory = !entry.name.empty() && entry.name.back() == '/';
    entry.method =
        method == PayloadMethod::Deflated && !directory ? kMethodDeflated : kMethodStored;
    entry.dosDateTime = dosDateTime;
    entry.externalAttributes = directory ? kAttributeDirectory : kAttributeArchive;
    const int64_t headerOffset = ArchivePosition(writer);
    if (writer->entries.size() >= kMaxEntries || entry.name.size() > 0xFFFF || headerOffset < 0 ||
        headerOffset > 0xFFFFFFFF) {
        return PayloadError::TooLarge;
    }
    entry.localHeaderOffset = static_cast<uint32_t>(headerOffset);
    const std::vector<unsigned char> placeholder = LocalHeader(entry);
    if (!WriteBytes(writer, placeholder.data(), placeholder.size())) {
        return PayloadError::WriteFailed;
    }
    const PayloadError error = entry.method == kMethodDeflated
                                   ? CompressData(writer, source, &entry)
                                   : StoreData(writer, source, &entry);
    if (error != PayloadError::None) {
        return error;
    }
    const std::vector<unsigned char> header = LocalHeader(entry);
    if (!SeekOutput(writer, entry.localHeaderOffset, kArchiveSeekSet) ||
        !WriteBytes(writer, header.data(), header.size()) ||
        !SeekOutput(writer, 0, kArchiveSeekEnd)) {
        return PayloadError::WriteFailed;
    }
    writer->entries.push_back(entry);
    return PayloadError::None;
}

bool CopyStub(PayloadWriter* writer, const char* stubPath) {
    FILE* stub = fopen(stubPath, "rb");
    if (stub == nullptr) {
        return false;
    }
    bool copied = true;
    for (;;) {
        const size_t count = fread(writer->input, 1, kChunkSize, stub);
        if (count == 0) {
            copied = ferror(stub) == 0;
            break;
        }
        if (!WriteBytes(writer, writer->input, count)) {
            copied = false;
            break;
        }
    }
    fclose(stub);
    return copied;
}

// The source file's modification time as a local MS-DOS date/time.
uint32_t FileDosDateTime(const char* path) {
    struct tm local;
    if (!archive_fs::GetLocalModificationTime(path, &local) || local.tm_year < 80) {
        return kEarliestDosDateTime;
    }
    if (local.tm_year > 207) {
        return kLatestDosDateTime;
    }
    const uint32_t date =
        static_cast<uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const int seconds = local.tm_sec < 59 ? local.tm_sec : 59; // a leap second
    const uint32_t time =
        static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | seconds / 2);
    return date << 16 | time;
}

PayloadError WriteDirectory(PayloadWriter* writer) {
    const int64_t directoryOffset = ArchivePosition(writer);
    std::vector<unsigned char> directory;
    for (const CentralRecord& entry : writer->entries) {
        AppendCentralHeader(directory, entry);
    }
    if (directoryOffset < 0 || directoryOffset + directory.size() > 0xFFFFFFFF) {
        return PayloadError::TooLarge;
    }
    std::vector<unsigned char> end;
    PutLe32(end, kEndRecordSignature);
    PutLe16(end, 0); // this disk
    PutLe16(end, 0); // disk of the central directory
    PutLe16(end, static_cast<uint32_t>(writer->entries.size()));
    PutLe16(end, static_cast<uint32_t>(writer->entries.size()));
    PutLe32(end, static_cast<uint32_t>(directory.size()));
    PutLe32(end, static_cast<uint32_t>(directoryOffset));
    PutLe16(end, 0); // comment length
    if (!WriteBytes(writer, directory.data(), directory.size()) ||
        !WriteBytes(writer, end.data(), end.size())) {
        return PayloadError::WriteFailed;
    }
    return PayloadError::None;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int* year, int* month, int* day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

} // namespace

uint32_t DosDateTimeFromUtc(int64_t seconds) {
    constexpr int64_t kSecondsPerDay = 86400;
    int64_t days = seconds / kSecondsPerDay;
    int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, &year, &month, &day);
    if (year < 1980) {
        return kEarliestDosDateTime;
    }
    if (year > 2107) {
        return kLatestDosDateTime;
    }
    const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
    const uint32_t time =
        static_cast<uint32_t>(rest / 3600 << 11 | (rest / 60 % 60) << 5 | (rest % 60) / 2);
    return date << 16 | time;
}

PayloadError EncodeEntryData(const void* data, size_t size, int level, EncodedEntry* encoded) {
    return EncodeEntryData(data, size, PayloadMethod::Deflated, level, encoded);
}

PayloadError EncodeEntryData(const void* data, size_t size, PayloadMethod method, int level,
                             EncodedEntry* encoded) {
    if (size > 0xFFFFFFFFu) {
        return PayloadError::TooLarge;
    }
    if (level < kMinPayloadLevel || level > kMaxPayloadLevel) {
        return PayloadError::CompressFailed;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const uInt length = static_cast<uInt>(size);
    encoded->uncompressedSize = length;
    encoded->crc = static_cast<uint32_t>(crc32(0, bytes, length));
    encoded->method = kMethodStored;
    if (method == PayloadMethod::Lzma && level > 0 && size > 0) {
        // The sizes in the headers mark the stream's end: no end marker.
        if (!EncodeLzmaEntry(bytes, size, level, false, &encoded->data)) {
            return PayloadError::CompressFailed;
        }
        if (encoded->data.size() < size) {
            encoded->method = kMethodLzma;
            return PayloadError::None;
        }
    } else if (method == PayloadMethod::Deflated && level > 0 && size > 0) {
        z_stream deflater{};
        // Raw deflate: no zlib header or trailer.
        if (deflateInit2(&deflater, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            return PayloadError::CompressFailed;
        }
        // Room for one call to finish: deflate's bound for this size.
        encoded->data.resize(deflateBound(&deflater, length));
        deflater.next_in = const_cast<unsigned char*>(bytes);
        deflater.avail_in = length;
        deflater.next_out = encoded->data.data();
        deflater.avail_out = static_cast<uInt>(encoded->data.size());
        const int result = deflate(&deflater, Z_FINISH);
        const uLong produced = deflater.total_out;
        deflateEnd(&deflater);
        if (result != Z_STREAM_END) {
            encoded->data.clear();
            return PayloadError::CompressFailed;
        }
        if (produced < size) {
            encoded->data.resize(produced);
            encoded->method = kMethodDeflated;
            return PayloadError::None;
        }
    }
    encoded->data.assign(bytes, bytes + size);
    return PayloadError::None;
}

PayloadError AddEncodedEntry(PayloadWriter* writer, const char* entryName,
                             const EncodedEntry& encoded, uint32_t dosDateTime) {
    CentralRecord entry{};
    entry.name = entryName;
    for (char& c : entry.name) {
        if (c == '\\') {
            c = '/';
        }
    }
    entry.method = encoded.method;
    entry.dosDateTime = dosDateTime;
    entry.crc = encoded.crc;
    entry.uncompressedSize = encoded.uncompressedSize;
    entry.externalAttributes = kAttributeArchive;
    const int64_t headerOffset = ArchivePosition(writer);
    if (writer->entries.size() >= kMaxEntries || entry.name.size() > 0xFFFF || headerOffset < 0 ||
        headerOffset > 0xFFFFFFFF || encoded.data.size() > 0xFFFFFFFFu) {
        return PayloadError::TooLarge;
    }
    entry.compressedSize = static_cast<uint32_t>(encoded.data.size());
    entry.localHeaderOffset = static_cast<uint32_t>(headerOffset);
    const std::vector<unsigned char> header = LocalHeader(entry);
    if (!WriteBytes(writer, header.data(), header.size()) ||
        !WriteBytes(writer, encoded.data.data(), encoded.data.size())) {
        return PayloadError::WriteFailed;
    }
    writer->entries.push_back(entry);
    return PayloadError::None;
}

PayloadWriter* CreatePayloadWithStub(const char* outPath, const void* stub, size_t size,
                                     PayloadError* error) {
    PayloadError ignored = PayloadError::None;
    PayloadError& result = error != nullptr ? *error : ignored;
    PayloadWriter* writer = CreatePayload(outPath, nullptr, &result);
    if (writer == nullptr) {
        return nullptr;
    }
    if (!WriteBytes(writer, stub, size)) {
        DiscardPayload(writer);
        result = PayloadError::WriteFailed;
        return nullptr;
    }
    writer->archiveStart = writer->ops.tell(writer->ops.context, writer->stream);
    return writer;
}

PayloadWriter* CreatePayload(const char* outPath, const char* stubPath, PayloadError* error) {
    PayloadError ignored = PayloadError::None;
    PayloadError& result = error != nullptr ? *error : ignored;
    PayloadWriter* writer = new (std::nothrow) PayloadWriter{};
    if (writer == nullptr) {
        result = PayloadError::OutputNotCreated;
        return nullptr;
    }
    writer->ops = DefaultArchiveFileOps();
    writer->outPath = outPath;
    writer->stream =
        writer->ops.open(writer->ops.context, outPath, kArchiveOpenWrite | kArchiveOpenCreate);
    if (writer->stream == nullptr) {
        delete writer;
        result = PayloadError::OutputNotCreated;
        return nullptr;
    }
    if (stubPath != nullptr && !CopyStub(writer, stubPath)) {
        DiscardPayload(writer);
        result = PayloadError::StubNotRead;
        return nullptr;
    }
    writer->archiveStart = writer->ops.tell(writer->ops.context, writer->stream);
    result = PayloadError::None;
    return writer;
}

PayloadError AddPayloadFile(PayloadWriter* writer, const char* entryName, const char* sourcePath,
                            PayloadMethod method) {
    FILE* file = fopen(sourcePath, "rb");
    if (file == nullptr) {
        return PayloadError::SourceNotRead;
    }
    if (method == PayloadMethod::Lzma) {
        std::vector<unsigned char> bytes;
        unsigned char chunk[65536];
        size_t count = 0;
        while ((count = fread(chunk, 1, sizeof(chunk), file)) > 0) {
            bytes.insert(bytes.end(), chunk, chunk + count);
        }
        const bool read = ferror(file) == 0;
        fclose(file);
        if (!read) {
            return PayloadError::SourceNotRead;
        }
        if (bytes.size() > 0xFFFFFFFFu) {
            return PayloadError::TooLarge;
        }
        return AddPayloadData(writer, entryName, bytes.data(), static_cast<uint32_t>(bytes.size()),
                              FileDosDateTime(sourcePath), method);
    }
    EntrySource source{file, nullptr, 0};
    const PayloadError error =
        AddEntry(writer, entryName, source, FileDosDateTime(sourcePath), method);
    fclose(file);
    return error;
}

PayloadError AddPayloadData(PayloadWriter* writer, const char* entryName, const void* data,
                            uint32_t size, uint32_t dosDateTime, PayloadMethod method) {
    const size_t nameLength = strlen(entryName);
    const bool directory = nameLength > 0 && entryName[nameLength - 1] == '/';
    if (method == PayloadMethod::Lzma && !directory) {
        // The LZMA encoder works on the whole entry at once.
        EncodedEntry encoded;
        const PayloadError error = EncodeEntryData(data, size, method, kDefaultLzmaLevel, &encoded);
        return error != PayloadError::None
                   ? error
                   : AddEncodedEntry(writer, entryName, encoded, dosDateTime);
    }
    EntrySource source{nullptr, static_cast<const unsigned char*>(data), size};
    return AddEntry(writer, entryName, source, dosDateTime, method);
}

PayloadError FinishPayload(PayloadWriter* writer) {
    PayloadError error = WriteDirectory(writer);
    const bool closed = writer->ops.close(writer->ops.context, writer->stream) == 0;
    writer->stream = nullptr;
    if (error == PayloadError::None && !closed) {
        error = PayloadError::WriteFailed;
    }
    if (error != PayloadError::None) {
        remove(writer->outPath.c_str());
    }
    delete writer;
    return error;
}

void DiscardPayload(PayloadWriter* writer) {
    writer->ops.close(writer->ops.context, writer->stream);
    remove(writer->outPath.c_str());
    delete writer;
}
