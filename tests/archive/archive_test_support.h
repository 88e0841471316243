// Helpers shared by the archive tests and the builder tool's test: the
// reference manifest, SHA-256, scratch directories, hand-made archives and
// in-memory file operations with injected failures.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_reader.h"

using Bytes = std::vector<unsigned char>;

// --- JSON, enough for the manifest -----------------------------------------

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member's value, or a null value when there is none.
    const JsonValue& operator[](const char* key) const;
    int64_t AsInt() const { return static_cast<int64_t>(number); }
    bool IsNull() const { return kind == Kind::Null; }
};

// False on malformed text.
bool ParseJson(const std::string& text, JsonValue* value);

// The reference archives' manifest from the test data.
const JsonValue& ReferenceManifest();
// Another manifest of the test data ("lzma/manifest.json"); null when it
// cannot be read.
JsonValue ReadManifest(const std::string& relative);

// --- Files ------------------------------------------------------------------

// TOLVANEX_TEST_DATA joined with a relative path ("payloads/plain.payload").
std::string TestDataPath(const std::string& relative);

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
bool PathExists(const std::string& path);

// A fresh directory below the system's temporary directory, removed with
// everything in it at the end of its scope. path() has no trailing separator.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }
    // path() + the platform's separator + name.
    std::string Join(const std::string& name) const;

private:
    std::string path_;
};

// The platform's directory separator as a string.
const char* NativeSeparator();

// --- Data -------------------------------------------------------------------

std::string Sha256Hex(const Bytes& data);
uint32_t Crc32Of(const Bytes& data);
// Deterministic bytes: random (incompressible) or text-like (compressible).
Bytes RandomBytes(size_t size, uint32_t seed);
Bytes CompressibleBytes(size_t size, uint32_t seed);
Bytes RawDeflate(const Bytes& data);
// The headers of a Windows program for `machine` (0x14c i386, 0x8664
// AMD64) and nothing more: what tells the builder a program's architecture.
Bytes ProgramHeaderBytes(uint16_t machine);

// --- Hand-made archives -----------------------------------------------------

// One entry of a hand-made payload; the fields default to a consistent
// stored entry and can each be falsified.
struct RawEntry {
    std::string name;
    Bytes data; // as stored (already deflated for method 8)
    uint32_t method = 0;
    uint32_t flags = 0;
    uint32_t crc = 0;
    uint32_t uncompressedSize = 0;
    uint32_t dosDateTime = 0x2E2F74EB; // 2003-01-15 14:39:22
    uint32_t externalAttributes = 0x20;
    std::string extra;
    std::string comment;
    std::string localExtra;
};

RawEntry StoredEntry(const std::string& name, const Bytes& data);
RawEntry DeflatedEntry(const std::string& name, const Bytes& data);
// An LZMA entry (method 14) at level 6; with endMarker the stream ends in
// its marker and flag bit 1 is set.
RawEntry LzmaEntry(const std::string& name, const Bytes& data, bool endMarker);

struct RawArchive {
    std::vector<RawEntry> entries;
    Bytes prefix;        // other data in front of the archive
    std::string comment; // archive comment behind the end record
    bool absoluteOffsets = false;
};

Bytes BuildRawArchive(const RawArchive& archive);

// --- In-memory file operations ----------------------------------------------

// A file held in memory. Reads fail once failReadsAfter bytes have been
// delivered; seeks fail once failSeeksAfter seeks have succeeded.
struct MemoryFile {
    Bytes bytes;
    uint64_t failReadsAfter = UINT64_MAX;
    uint64_t failSeeksAfter = UINT64_MAX;
    // Filled while open.
    int64_t position = 0;
    uint64_t bytesRead = 0;
    uint64_t seeks = 0;
    bool failed = false;
    bool open = false;
};

// Operations whose context is the MemoryFile; open ignores the file name.
ArchiveFileOps MemoryFileOps(MemoryFile* file);
