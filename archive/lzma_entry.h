// Decoding of one LZMA entry (ZIP method 14): a 4-byte header (version, then
// the size of the properties, which must be 5), the 5 property bytes, then
// the raw LZMA stream, with an end marker behind it when the entry's flag
// bit 1 is set. The window is the entry's dictionary, but never more than
// the entry's size, so a small file costs little memory whatever its
// dictionary says.
#pragma once

#include <cstdint>

namespace lzma_entry {

constexpr uint32_t kHeaderSize = 9;
// Dictionaries beyond this are refused: no writer of ours exceeds it, and it
// bounds what a damaged header can make setup.exe allocate.
constexpr uint32_t kMaxDictionary = 64u << 20;
// The smallest dictionary the format knows; the decoder keeps at least this
// much whatever a header says.
constexpr uint32_t kMinDictionary = 1u << 12;
// General-purpose flag bit 1 on an LZMA entry: an end marker follows.
constexpr uint32_t kFlagEndMarker = 0x0002;

// Status codes, the archive reader's: 0, or its data error (-3) and memory
// error (-4).
constexpr int kOk = 0;
constexpr int kDataError = -3;
constexpr int kMemoryError = -4;

// The bytes the window of an entry takes: the dictionary, held to the
// entry's size (at least one byte). 0 when the dictionary is beyond the
// bound.
uint32_t WindowSize(uint32_t dictionarySize, uint32_t uncompressedSize);

struct Decoder;

// Reads the header and prepares a decoder for uncompressedSize bytes.
// kDataError for a header that is not LZMA's or a dictionary beyond the
// bound, kMemoryError when the window cannot be had. *decoder is null on
// failure.
int StartDecoder(const unsigned char* header, uint32_t uncompressedSize, bool endMarker,
                 Decoder** decoder);

// Decodes from input (inputLength bytes; receives how many were taken) into
// output (outputLength bytes at most; receives how many were made).
// inputEnds: no input follows what is given. Once the entry's size has been
// made, the stream must end right there: its end marker when the flag says
// one follows (one is also accepted without the flag), and no input after
// it. kDataError for damaged or cut data, or a stream longer or shorter than
// the size; a call that neither takes nor makes anything without inputEnds
// wants more input.
int Decode(Decoder* decoder, const unsigned char* input, uint32_t* inputLength,
           unsigned char* output, uint32_t* outputLength, bool inputEnds);

// True once the stream has ended where it must and every byte was made.
bool Finished(const Decoder* decoder);

void EndDecoder(Decoder* decoder);

} // namespace lzma_entry
