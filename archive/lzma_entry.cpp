#include "archive/lzma_entry.h"

#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
#include <LzmaDec.h>
}

namespace lzma_entry {

namespace {

void* AllocateBytes(void*, size_t size) {
    return malloc(size);
}

void FreeBytes(void*, void* address) {
    free(address);
}

ISzAlloc gAllocator = {AllocateBytes, FreeBytes};

uint32_t ReadLe16(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8;
}

uint32_t DictionaryOf(const unsigned char* properties) {
    return ReadLe16(properties + 1) | ReadLe16(properties + 3) << 16;
}

} // namespace

struct Decoder {
    CLzmaDec state;
    unsigned char* window;
    uint32_t remaining; // bytes still to be made
    bool endMarker;
    bool finished;
};

uint32_t WindowSize(uint32_t dictionarySize, uint32_t uncompressedSize) {
    if (dictionarySize > kMaxDictionary) {
        return 0;
    }
    // The decoder takes a smaller dictionary for its least, 4 KiB, and
    // checks distances against that: the window must hold it.
    if (dictionarySize < kMinDictionary) {
        dictionarySize = kMinDictionary;
    }
    // The decoder never reaches back further than it has made, so an entry
    // smaller than its dictionary fits a window of its own size.
    const uint32_t size = dictionarySize < uncompressedSize ? dictionarySize : uncompressedSize;
    return size > 0 ? size : 1;
}

int StartDecoder(const unsigned char* header, uint32_t uncompressedSize, bool endMarker,
                 Decoder** decoder) {
    *decoder = nullptr;
    // Bytes 0 and 1 name the version of the writer; any is accepted.
    if (ReadLe16(header + 2) != LZMA_PROPS_SIZE) {
        return kDataError;
    }
    const unsigned char* properties = header + 4;
    CLzmaProps decoded;
    if (LzmaProps_Decode(&decoded, properties, LZMA_PROPS_SIZE) != SZ_OK) {
        return kDataError;
    }
    const uint32_t windowSize = WindowSize(DictionaryOf(properties), uncompressedSize);
    if (windowSize == 0) {
        return kDataError;
    }
    Decoder* made = new (std::nothrow) Decoder{};
    if (made == nullptr) {
        return kMemoryError;
    }
    LzmaDec_Construct(&made->state);
    made->window = static_cast<unsigned char*>(malloc(windowSize));
    if (made->window == nullptr ||
        LzmaDec_AllocateProbs(&made->state, properties, LZMA_PROPS_SIZE, &gAllocator) != SZ_OK) {
        EndDecoder(made);
        return kMemoryError;
    }
    made->state.dic = made->window;
    made->state.dicBufSize = windowSize;
    LzmaDec_Init(&made->state);
    made->remaining = uncompressedSize;
    made->endMarker = endMarker;
    *decoder = made;
    return kOk;
}

namespace {

// Checks the end of the stream once every byte has been made.
int DecodeEnd(Decoder* decoder, const unsigned char* input, uint32_t available, uint32_t* taken,
              bool inputEnds) {
    CLzmaDec& state = decoder->state;
    SizeT length = available - *taken;
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    const SRes result = LzmaDec_DecodeToDic(&state, state.dicPos, input + *taken, &length,
                                            LZMA_FINISH_END, &status);
    *taken += static_cast<uint32_t>(length);
    if (result != SZ_OK) {
        return kDataError;
    }
    const bool allTaken = *taken == available && inputEnds;
    switch (status) {
    case LZMA_STATUS_NEEDS_MORE_INPUT:
        return allTaken ? kDataError : kOk;
    case LZMA_STATUS_FINISHED_WITH_MARK:
        break;
    case LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK:
        if (decoder->endMarker) {
            return kDataError;
        }
        break;
    default:
        return kDataError;
    }
    // Anything behind the end makes the stream longer than its entry.
    if (!allTaken) {
        return kDataError;
    }
    decoder->finished = true;
    return kOk;
}

} // namespace

int Decode(Decoder* decoder, const unsigned char* input, uint32_t* inputLength,
           unsigned char* output, uint32_t* outputLength, bool inputEnds) {
    const uint32_t available = *inputLength;
    uint32_t room = *outputLength < decoder->remaining ? *outputLength : decoder->remaining;
    uint32_t taken = 0;
    uint32_t made = 0;
    int status = kOk;
    CLzmaDec& state = decoder->state;
    while (made < room && status == kOk) {
        // The window wraps only when it is the whole dictionary.
        if (state.dicPos == state.dicBufSize) {
            state.dicPos = 0;
        }
        const SizeT start = state.dicPos;
        SizeT limit = state.dicBufSize;
        if (limit - start > room - made) {
            limit = start + (room - made);
        }
        SizeT length = available - taken;
        ELzmaStatus lzmaStatus = LZMA_STATUS_NOT_SPECIFIED;
        const SRes result = LzmaDec_DecodeToDic(&state, limit, input + taken, &length,
                                                LZMA_FINISH_ANY, &lzmaStatus);
        const uint32_t produced = static_cast<uint32_t>(state.dicPos - start);
        memcpy(output + made, decoder->window + start, produced);
        made += produced;
        taken += static_cast<uint32_t>(length);
        decoder->remaining -= produced;
        if (result != SZ_OK || lzmaStatus == LZMA_STATUS_FINISHED_WITH_MARK) {
            // An end marker before the entry's last byte: the stream is short.
            status = kDataError;
        } else if (produced == 0 && (length == 0 || lzmaStatus == LZMA_STATUS_NEEDS_MORE_INPUT)) {
            if (lzmaStatus != LZMA_STATUS_NEEDS_MORE_INPUT || (inputEnds && taken == available)) {
                status = kDataError;
            }
            break;
        }
    }
    if (status == kOk && decoder->remaining == 0 && !decoder->finished) {
        status = DecodeEnd(decoder, input, available, &taken, inputEnds);
    } else if (status == kOk && decoder->finished && taken < available) {
        status = kDataError;
    }
    *inputLength = taken;
    *outputLength = made;
    return status;
}

bool Finished(const Decoder* decoder) {
    return decoder->finished;
}

void EndDecoder(Decoder* decoder) {
    if (decoder == nullptr) {
        return;
    }
    LzmaDec_FreeProbs(&decoder->state, &gAllocator);
    free(decoder->window);
    delete decoder;
}

} // namespace lzma_entry
