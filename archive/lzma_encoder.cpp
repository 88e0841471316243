#include "archive/lzma_encoder.h"

#include <cstdlib>

#include "archive/lzma_entry.h"

extern "C" {
#include <LzmaEnc.h>
}

namespace {

void* AllocateBytes(void*, size_t size) {
    return malloc(size);
}

void FreeBytes(void*, void* address) {
    free(address);
}

ISzAlloc gAllocator = {AllocateBytes, FreeBytes};

} // namespace

unsigned LzmaEntryDictionary(size_t size, int level) {
    // The dictionaries of xz's presets (8 MiB at 6): the SDK's own grow to
    // 32 MiB at 6, which costs a quarter more time on a large program for
    // less than half a percent of its size.
    static const size_t kDictionaryMiB[] = {1, 1, 2, 4, 4, 8, 8, 16, 32, 64};
    const int index = level < 0 ? 0 : level > 9 ? 9 : level;
    size_t dictionary = kDictionaryMiB[index] << 20;
    if (dictionary > lzma_entry::kMaxDictionary) {
        dictionary = lzma_entry::kMaxDictionary;
    }
    const size_t needed = size > lzma_entry::kMinDictionary ? size : lzma_entry::kMinDictionary;
    return static_cast<unsigned>(dictionary < needed ? dictionary : needed);
}

bool EncodeLzmaEntry(const unsigned char* data, size_t size, int level, bool endMarker,
                     std::vector<unsigned char>* out) {
    if (level < 1 || level > 9 || size > 0xFFFFFFFFu) {
        return false;
    }
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.level = level;
    props.dictSize = LzmaEntryDictionary(size, level);
    props.writeEndMark = endMarker ? 1 : 0;
    // Entries run side by side; one thread each keeps the bytes independent
    // of the machine.
    props.numThreads = 1;
    // LZMA can grow incompressible data by a little over 1/64th.
    size_t capacity = size + size / 32 + 1024;
    out->assign(lzma_entry::kHeaderSize + capacity, 0);
    SizeT streamLength = capacity;
    SizeT propsLength = LZMA_PROPS_SIZE;
    unsigned char* header = out->data();
    const SRes result =
        LzmaEncode(header + lzma_entry::kHeaderSize, &streamLength, data, size, &props, header + 4,
                   &propsLength, props.writeEndMark, nullptr, &gAllocator, &gAllocator);
    if (result != SZ_OK || propsLength != LZMA_PROPS_SIZE) {
        out->clear();
        return false;
    }
    // Version of the SDK the stream is written for, then the properties'
    // size, as the ZIP format's LZMA header has them.
    header[0] = 9;
    header[1] = 22;
    header[2] = LZMA_PROPS_SIZE;
    header[3] = 0;
    out->resize(lzma_entry::kHeaderSize + streamLength);
    return true;
}
