// Encoding of one LZMA entry (ZIP method 14) with the LZMA SDK's encoder:
// the 4-byte header, the 5 property bytes and the raw stream. The same
// input, level and marker choice give the same bytes on every builder.
#pragma once

#include <cstddef>
#include <vector>

// Encodes size bytes at level (1 to 9, the SDK's presets) into out. The
// dictionary is that of xz's preset of the level (1 MiB at 1, 8 MiB at 6,
// 64 MiB at 9), held to the entry's size, so that the reader's window never
// exceeds what the entry needs. endMarker:
// write the end marker (the entry then needs flag bit 1). False when the
// level is out of range, the entry is 4 GiB or larger, or the encoder fails
// (out of memory).
bool EncodeLzmaEntry(const unsigned char* data, size_t size, int level, bool endMarker,
                     std::vector<unsigned char>* out);

// The dictionary EncodeLzmaEntry chooses for an entry of size bytes.
unsigned LzmaEntryDictionary(size_t size, int level);
