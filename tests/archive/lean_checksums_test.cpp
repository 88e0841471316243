// The small checksums setup.exe uses in place of zlib's agree with zlib's on
// any data, in one piece or continued chunk by chunk.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include <zlib.h>

#include "archive/lean_checksums.h"

namespace {

std::vector<unsigned char> RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(size);
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    return bytes;
}

struct Case {
    size_t size;
    size_t chunk; // continued in pieces of this size
};

TEST(LeanChecksums, AgreeWithZlib) {
    // Adler-32 reduces every 5,552 bytes: sizes around and far beyond that,
    // and all 0xFF bytes, where its sums grow fastest.
    const Case cases[] = {{0, 1},      {1, 1},         {9, 4},     {5552, 5552},
                          {5553, 100}, {70000, 65536}, {200000, 7}};
    for (const Case& c : cases) {
        for (bool allOnes : {false, true}) {
            std::vector<unsigned char> data = RandomBytes(c.size, static_cast<unsigned>(c.size));
            if (allOnes) {
                data.assign(c.size, 0xFF);
            }
            uint32_t crc = 0;
            uint32_t adler = 1;
            for (size_t at = 0; at < data.size(); at += c.chunk) {
                const size_t length = std::min(c.chunk, data.size() - at);
                crc = LeanCrc32(crc, data.data() + at, length);
                adler = LeanAdler32(adler, data.data() + at, length);
            }
            const uInt size = static_cast<uInt>(data.size());
            EXPECT_EQ(crc, crc32(0, data.data(), size)) << c.size << " " << allOnes;
            EXPECT_EQ(adler, adler32(1, data.data(), size)) << c.size << " " << allOnes;
        }
    }
}

TEST(LeanChecksums, StandardCheckValue) {
    const unsigned char text[] = "123456789";
    EXPECT_EQ(LeanCrc32(0, text, 9), 0xCBF43926u);
}

} // namespace
