// Writer of payload archives: copies a stub program and appends stored or
// raw-deflated entries in the payload format (ZIP layout, signatures starting
// with 0x66), with offsets counted from the archive's first byte and names
// with "/" separators.
#pragma once

#include <cstdint>

enum class PayloadError {
    None,
    OutputNotCreated,
    StubNotRead,
    SourceNotRead,
    WriteFailed,
    CompressFailed,
    TooLarge, // over 65,534 entries, 4 GiB of archive, or a 64 KiB name
};

enum class PayloadMethod { Stored, Deflated };

struct PayloadWriter;

// Creates outPath (replacing it) and copies stubPath into it when one is
// given. Null on failure, with error set.
PayloadWriter* CreatePayload(const char* outPath, const char* stubPath, PayloadError* error);

// Appends the file at sourcePath as entryName; its modification time becomes
// the entry's DOS date/time. "\\" in entryName is stored as "/".
PayloadError AddPayloadFile(PayloadWriter* writer, const char* entryName, const char* sourcePath,
                            PayloadMethod method);

// Appends size bytes from memory; a name ending in "/" with no data makes a
// directory entry.
PayloadError AddPayloadData(PayloadWriter* writer, const char* entryName, const void* data,
                            uint32_t size, uint32_t dosDateTime, PayloadMethod method);

// Writes the central directory and the end record, closes the output and
// releases the writer. On failure the output file is removed.
PayloadError FinishPayload(PayloadWriter* writer);

// Closes and removes the output and releases the writer.
void DiscardPayload(PayloadWriter* writer);
