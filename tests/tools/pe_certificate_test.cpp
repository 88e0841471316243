// The certificate table of a stub: found through the security entry of both
// optional-header forms, cut off with what follows it, the entry cleared and
// the checksum renewed; anything else left exactly as it was.
#include "tools/builder/pe_certificate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Image = std::vector<unsigned char>;

constexpr size_t kPeHeader = 0x80;
constexpr size_t kOptionalHeader = kPeHeader + 24;

uint32_t Get32(const Image& image, size_t at) {
    return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
           static_cast<uint32_t>(image[at + 3]) << 24;
}

void Put32(Image* image, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        (*image)[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// A program image of `size` bytes whose security entry (directory 4) says
// `offset` and `length`; `plus` for the 64-bit optional header.
Image Program(size_t size, bool plus, uint32_t offset, uint32_t length, uint32_t directories = 16) {
    Image image(size, 0);
    for (size_t i = 0x200; i < size; ++i) {
        image[i] = static_cast<unsigned char>(i * 7);
    }
    image[0] = 'M';
    image[1] = 'Z';
    Put32(&image, 0x3C, kPeHeader);
    Put32(&image, kPeHeader, 0x00004550);
    image[kOptionalHeader] = 0x0B;
    image[kOptionalHeader + 1] = plus ? 0x02 : 0x01;
    const size_t count = kOptionalHeader + (plus ? 108 : 92);
    Put32(&image, count, directories);
    Put32(&image, count + 4 + 32, offset);
    Put32(&image, count + 4 + 36, length);
    Put32(&image, kOptionalHeader + 64, 0x12345678);
    return image;
}

Image Cut(Image image, size_t size) {
    image.resize(size);
    return image;
}

size_t EntryOffset(bool plus) {
    return kOptionalHeader + (plus ? 108 : 92) + 4 + 32;
}

struct CertificateCase {
    const char* what;
    Image image;
    CertificateTable result;
    size_t removed;
};

TEST(RemoveCertificateTable, CutsTheTableAndLeavesEverythingElse) {
    const CertificateCase kCases[] = {
        {"PE32 with a table", Program(0x1000, false, 0xC00, 0x300), CertificateTable::Removed,
         0x400},
        {"PE32+ with a table", Program(0x1000, true, 0x800, 0x800), CertificateTable::Removed,
         0x800},
        {"no table", Program(0x1000, false, 0, 0), CertificateTable::None, 0},
        {"too few directories", Program(0x1000, false, 0xC00, 0x300, 4), CertificateTable::None, 0},
        {"table beyond the end", Program(0x1000, false, 0xC00, 0x500), CertificateTable::Damaged,
         0},
        {"table inside the headers", Program(0x1000, true, 0x10, 0x20), CertificateTable::Damaged,
         0},
        {"empty table", Program(0x1000, false, 0xC00, 0), CertificateTable::Damaged, 0},
        {"no MZ", Image(0x400, 'x'), CertificateTable::None, 0},
        {"cut headers", Cut(Program(0x1000, false, 0xC00, 0x300), 0x60), CertificateTable::None, 0},
    };
    for (const CertificateCase& c : kCases) {
        SCOPED_TRACE(c.what);
        Image image = c.image;
        size_t removed = 99;
        EXPECT_EQ(RemoveCertificateTable(&image, &removed), c.result);
        EXPECT_EQ(removed, c.removed);
        if (c.result != CertificateTable::Removed) {
            EXPECT_EQ(image, c.image);
            continue;
        }
        const bool plus = c.image[kOptionalHeader + 1] == 0x02;
        ASSERT_EQ(image.size(), c.image.size() - c.removed);
        EXPECT_EQ(Get32(image, EntryOffset(plus)), 0u);
        EXPECT_EQ(Get32(image, EntryOffset(plus) + 4), 0u);
        EXPECT_EQ(Get32(image, kOptionalHeader + 64),
                  ComputePeChecksum(image, kOptionalHeader + 64));
        EXPECT_TRUE(std::equal(image.begin() + 0x200, image.end(), c.image.begin() + 0x200));
    }
}

struct ChecksumCase {
    Image image;
    size_t checksumOffset;
    uint32_t checksum;
};

TEST(ComputePeChecksum, FoldsWordsAndAddsTheLength) {
    const ChecksumCase kCases[] = {
        {{}, 0, 0},
        {{0x01, 0x02}, 8, 0x0201 + 2},
        {{0x01, 0x02, 0x03}, 8, 0x0201 + 0x03 + 3},
        // Carries fold back into the low 16 bits.
        {{0xFF, 0xFF, 0x02, 0x00}, 8, 0x0002 + 4}, // 0xFFFF + 2 = 0x10001 folds to 2
        // The checksum field's own four bytes do not count.
        {{0x01, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x02, 0x00}, 2, 0x0001 + 0x0002 + 8},
    };
    for (const ChecksumCase& c : kCases) {
        EXPECT_EQ(ComputePeChecksum(c.image, c.checksumOffset), c.checksum) << c.image.size();
    }
}

} // namespace
