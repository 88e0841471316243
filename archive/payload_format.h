// The payload format: the ZIP record layout with 0x66 ("f") in place of the
// first byte of each record signature, so that no standard ZIP tool takes a
// setup program for an archive. One disk, 32-bit sizes and offsets, a 16-bit
// entry count, stored, raw-deflated or LZMA entries. The reader and the writer
// both take the records' signatures, sizes and bounds from here; fields are
// little-endian and packed.
#pragma once

#include <cstdint>

namespace payload_format {

constexpr uint32_t kLocalHeaderSignature = 0x04034B66;
constexpr uint32_t kCentralHeaderSignature = 0x02014B66;
constexpr uint32_t kEndRecordSignature = 0x06054B66;

// Record sizes without their variable parts (name, extra field, comment).
constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kCentralHeaderSize = 46;
constexpr uint32_t kEndRecordSize = 22;

constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodDeflated = 8;
// A 4-byte header (version, properties size 5), 5 property bytes, then the
// raw LZMA stream; general-purpose bit 1 says an end marker follows it.
constexpr uint32_t kMethodLzma = 14;

// General-purpose flag bit 3: sizes and CRC follow the data.
constexpr uint32_t kFlagSizesInDescriptor = 0x0008;

// Version made by and needed: 2.0 (deflate), made by MS-DOS.
constexpr uint32_t kWriterVersion = 20;
// MS-DOS file attributes of the entries the writer makes.
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeDirectory = 0x10;

// An end record count of 0xFFFF has no bound: readers walk until a header
// fails to read. Writers therefore stop one entry short of it.
constexpr uint32_t kOpenEndedCount = 0xFFFF;
constexpr uint32_t kMaxEntries = 0xFFFE;

// The end record starts within the last 64 KiB of the file: 22 bytes plus a
// comment of at most 65,513 bytes. Whatever follows the archive (a
// signature, say) must fit in that distance too.
constexpr int64_t kEndRecordSearchLimit = 0xFFFF;

} // namespace payload_format
