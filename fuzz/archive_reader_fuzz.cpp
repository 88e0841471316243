// Feeds arbitrary bytes to the archive reader through its real entry points:
// open from memory, walk every entry, read each one's data, close.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/archive_reader.h"

namespace {

struct MemoryStream {
    const uint8_t* data;
    int64_t size;
    int64_t position;
};

MemoryStream* AsStream(void* stream) {
    return static_cast<MemoryStream*>(stream);
}

void* OpenMemory(void* context, const char*, int mode) {
    return (mode & (kArchiveOpenRead | kArchiveOpenWrite)) == kArchiveOpenRead ? context : nullptr;
}

uint32_t ReadMemory(void*, void* stream, void* buffer, uint32_t size) {
    MemoryStream* memory = AsStream(stream);
    if (memory->position >= memory->size) {
        return 0;
    }
    const int64_t available = memory->size - memory->position;
    const uint32_t count = available < size ? static_cast<uint32_t>(available) : size;
    memcpy(buffer, memory->data + memory->position, count);
    memory->position += count;
    return count;
}

uint32_t WriteMemory(void*, void*, const void*, uint32_t) {
    return 0;
}

int64_t TellMemory(void*, void* stream) {
    return AsStream(stream)->position;
}

int SeekMemory(void*, void* stream, int64_t offset, int origin) {
    MemoryStream* memory = AsStream(stream);
    const int64_t base = origin == kArchiveSeekSet       ? 0
                         : origin == kArchiveSeekCurrent ? memory->position
                         : origin == kArchiveSeekEnd     ? memory->size
                                                         : -1;
    if (base < 0 || base + offset < 0) {
        return -1;
    }
    memory->position = base + offset;
    return 0;
}

int CloseMemory(void*, void*) {
    return 0;
}

int MemoryError(void*, void*) {
    return 0;
}

// Entries may share their data, so a small input can describe a great deal
// of output; stop once this much has been read.
constexpr uint64_t kOutputBudget = 64u << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryStream stream{data, static_cast<int64_t>(size), 0};
    const ArchiveFileOps ops{OpenMemory, ReadMemory,  WriteMemory, TellMemory,
                             SeekMemory, CloseMemory, MemoryError, &stream};
    ArchiveReader* reader = OpenArchiveWithOps("fuzz", ops);
    if (reader == nullptr) {
        return 0;
    }
    ArchiveInfo info;
    GetArchiveInfo(reader, &info);
    static unsigned char buffer[20480];
    uint64_t budget = kOutputBudget;
    int status = GoToFirstEntry(reader);
    while (status == ArchiveStatus::Ok && budget > 0) {
        CentralEntryInfo entry;
        char name[261];
        char comment[256];
        unsigned char extra[64];
        GetCurrentEntryInfo(reader, &entry, name, sizeof(name) - 1, extra, sizeof(extra), comment,
                            sizeof(comment) - 1);
        if (OpenCurrentEntry(reader) == ArchiveStatus::Ok) {
            int count = 0;
            while (budget > 0 && (count = ReadCurrentEntry(reader, buffer, sizeof(buffer))) > 0) {
                budget -= count < static_cast<int64_t>(budget) ? count : budget;
            }
            // Leave every other entry open for the next OpenCurrentEntry or
            // CloseArchive to close.
            if (GetCurrentEntryIndex(reader) % 2 == 0) {
                CloseCurrentEntry(reader);
            }
        }
        status = GoToNextEntry(reader);
    }
    CloseArchive(reader);
    return 0;
}
