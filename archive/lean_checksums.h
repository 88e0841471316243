// The two checksums zlib's inflater and the archive reader use, small: zlib's
// own CRC-32 carries about 8 KiB of precomputed tables, a tenth of setup.exe.
// zlib_checksums.cpp puts them in place of zlib's crc32 and adler32 in
// setup.exe.
#pragma once

#include <cstddef>
#include <cstdint>

// The ZIP CRC-32 (reflected polynomial 0xEDB88320) of data, continued from
// crc (0 to start), as zlib's crc32 computes it.
uint32_t LeanCrc32(uint32_t crc, const unsigned char* data, size_t length);

// Adler-32 continued from adler (1 to start), as zlib's adler32 computes it.
uint32_t LeanAdler32(uint32_t adler, const unsigned char* data, size_t length);
