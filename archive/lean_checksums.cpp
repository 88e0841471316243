#include "archive/lean_checksums.h"

namespace {

// Built on first use: 1 KiB of zeroed data costs nothing in the file.
uint32_t crcTable[256];
bool crcTableReady = false;

void BuildCrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) {
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        crcTable[n] = c;
    }
    crcTableReady = true;
}

constexpr uint32_t kAdlerBase = 65521;
// The most bytes whose sums cannot overflow 32 bits before the reduction.
constexpr size_t kAdlerRun = 5552;

} // namespace

uint32_t LeanCrc32(uint32_t crc, const unsigned char* data, size_t length) {
    if (!crcTableReady) {
        BuildCrcTable();
    }
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc = crcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

uint32_t LeanAdler32(uint32_t adler, const unsigned char* data, size_t length) {
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    while (length > 0) {
        const size_t run = length < kAdlerRun ? length : kAdlerRun;
        for (size_t i = 0; i < run; ++i) {
            a += data[i];
            b += a;
        }
        a %= kAdlerBase;
        b %= kAdlerBase;
        data += run;
        length -= run;
    }
    return b << 16 | a;
}
