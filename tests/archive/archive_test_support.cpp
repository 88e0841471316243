#include "tests/archive/archive_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <zlib.h>

#include "archive/lzma_encoder.h"

namespace fs = std::filesystem;

// --- JSON -------------------------------------------------------------------

namespace {

struct JsonParser {
    const std::string& text;
    size_t at;

    void SkipSpace() {
        while (at < text.size() && strchr(" \t\r\n", text[at]) != nullptr) {
            ++at;
        }
    }

    bool Literal(const char* word) {
        const size_t length = strlen(word);
        if (text.compare(at, length, word) != 0) {
            return false;
        }
        at += length;
        return true;
    }

    bool String(std::string* out) {
        if (at >= text.size() || text[at] != '"') {
            return false;
        }
        ++at;
        while (at < text.size() && text[at] != '"') {
            char c = text[at++];
            if (c == '\\') {
                if (at >= text.size()) {
                    return false;
                }
                c = text[at++];
                if (c == 'n') {
                    c = '\n';
                } else if (c == 't') {
                    c = '\t';
                } else if (c == 'u') {
                    // The manifest is ASCII; keep the code as one byte.
                    if (at + 4 > text.size()) {
                        return false;
                    }
                    c = static_cast<char>(strtol(text.substr(at, 4).c_str(), nullptr, 16));
                    at += 4;
                }
            }
            out->push_back(c);
        }
        if (at >= text.size()) {
            return false;
        }
        ++at;
        return true;
    }

    bool Value(JsonValue* value) {
        SkipSpace();
        if (at >= text.size()) {
            return false;
        }
        const char c = text[at];
        if (c == '{') {
            return Object(value);
        }
        if (c == '[') {
            return Array(value);
        }
        if (c == '"') {
            value->kind = JsonValue::Kind::String;
            return String(&value->text);
        }
        if (Literal("true") || Literal("false")) {
            value->kind = JsonValue::Kind::Bool;
            value->boolean = text[at - 1] == 'e' && text.compare(at - 4, 4, "true") == 0;
            return true;
        }
        if (Literal("null")) {
            value->kind = JsonValue::Kind::Null;
            return true;
        }
        char* end = nullptr;
        value->number = strtod(text.c_str() + at, &end);
        if (end == text.c_str() + at) {
            return false;
        }
        value->kind = JsonValue::Kind::Number;
        at = static_cast<size_t>(end - text.c_str());
        return true;
    }

    bool Array(JsonValue* value) {
        value->kind = JsonValue::Kind::Array;
        ++at;
        SkipSpace();
        if (at < text.size() && text[at] == ']') {
            ++at;
            return true;
        }
        for (;;) {
            value->items.emplace_back();
            if (!Value(&value->items.back())) {
                return false;
            }
            SkipSpace();
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            return at < text.size() && text[at++] == ']';
        }
    }

    bool Object(JsonValue* value) {
        value->kind = JsonValue::Kind::Object;
        ++at;
        SkipSpace();
        if (at < text.size() && text[at] == '}') {
            ++at;
            return true;
        }
        for (;;) {
            SkipSpace();
            value->members.emplace_back();
            if (!String(&value->members.back().first)) {
                return false;
            }
            SkipSpace();
            if (at >= text.size() || text[at++] != ':' || !Value(&value->members.back().second)) {
                return false;
            }
            SkipSpace();
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            return at < text.size() && text[at++] == '}';
        }
    }
};

} // namespace

const JsonValue& JsonValue::operator[](const char* key) const {
    static const JsonValue null;
    for (const auto& member : members) {
        if (member.first == key) {
            return member.second;
        }
    }
    return null;
}

bool ParseJson(const std::string& text, JsonValue* value) {
    JsonParser parser{text, 0};
    if (!parser.Value(value)) {
        return false;
    }
    parser.SkipSpace();
    return parser.at == text.size();
}

const JsonValue& ReferenceManifest() {
    static const JsonValue manifest = ReadManifest("payloads/manifest.json");
    return manifest;
}

JsonValue ReadManifest(const std::string& relative) {
    const Bytes bytes = ReadFileBytes(TestDataPath(relative));
    JsonValue parsed;
    if (!ParseJson(std::string(bytes.begin(), bytes.end()), &parsed)) {
        parsed = JsonValue{};
    }
    return parsed;
}

// --- Files ------------------------------------------------------------------

const char* NativeSeparator() {
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

std::string TestDataPath(const std::string& relative) {
    std::string path = std::string(TOLVANEX_TEST_DATA) + NativeSeparator() + relative;
#ifdef _WIN32
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return path;
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::path(path), error);
}

ScratchDirectory::ScratchDirectory() {
    static std::atomic<unsigned> counter{0};
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (;;) {
        std::ostringstream name;
        name << "tolvanex-test-" << rand() << "-" << counter++;
        const fs::path candidate = base / name.str();
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code error;
    // Read-only files made by a test must not survive it.
    for (auto it = fs::recursive_directory_iterator(path_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
    }
    fs::remove_all(path_, error);
}

std::string ScratchDirectory::Join(const std::string& name) const {
    return path_ + NativeSeparator() + name;
}

// --- Data -------------------------------------------------------------------

namespace {

uint32_t RotateRight(uint32_t value, int bits) {
    return value >> bits | value << (32 - bits);
}

void Sha256Block(uint32_t (&state)[8], const unsigned char* block) {
    static const uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = static_cast<uint32_t>(block[4 * i]) << 24 | block[4 * i + 1] << 16 |
               block[4 * i + 2] << 8 | block[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ w[i - 15] >> 3;
        const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ w[i - 2] >> 10;
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t v[8];
    memcpy(v, state, sizeof(v));
    for (int i = 0; i < 64; ++i) {
        const uint32_t s1 = RotateRight(v[4], 6) ^ RotateRight(v[4], 11) ^ RotateRight(v[4], 25);
        const uint32_t choose = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const uint32_t t1 = v[7] + s1 + choose + k[i] + w[i];
        const uint32_t s0 = RotateRight(v[0], 2) ^ RotateRight(v[0], 13) ^ RotateRight(v[0], 22);
        const uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        memmove(v + 1, v, 7 * sizeof(uint32_t));
        v[4] += t1;
        v[0] = t1 + s0 + majority;
    }
    for (int i = 0; i < 8; ++i) {
        state[i] += v[i];
    }
}

} // namespace

std::string Sha256Hex(const Bytes& data) {
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Bytes padded = data;
    padded.push_back(0x80);
    while (padded.size() % 64 != 56) {
        padded.push_back(0);
    }
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int shift = 56; shift >= 0; shift -= 8) {
        padded.push_back(static_cast<unsigned char>(bits >> shift));
    }
    for (size_t offset = 0; offset < padded.size(); offset += 64) {
        Sha256Block(state, padded.data() + offset);
    }
    char hex[65];
    for (int i = 0; i < 8; ++i) {
        snprintf(hex + 8 * i, 9, "%08x", static_cast<unsigned>(state[i]));
    }
    return hex;
}

uint32_t Crc32Of(const Bytes& data) {
    return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

namespace {

uint32_t NextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state ^ state >> 16;
}

} // namespace

Bytes ProgramHeaderBytes(uint16_t machine) {
    Bytes bytes(0x200, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = 0x80; // where the PE header starts
    bytes[0x80] = 'P';
    bytes[0x81] = 'E';
    bytes[0x84] = static_cast<unsigned char>(machine);
    bytes[0x85] = static_cast<unsigned char>(machine >> 8);
    return bytes;
}

Bytes RandomBytes(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t state = seed;
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(NextRandom(state) >> 8);
    }
    return bytes;
}

Bytes CompressibleBytes(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"setup ",     "archive ",   "entry ",        "payload ",
                                         "file_1\r\n", "[main]\r\n", "Installieren ", "Größe "};
    Bytes bytes;
    bytes.reserve(size);
    uint32_t state = seed;
    while (bytes.size() < size) {
        const char* word = kWords[NextRandom(state) % 8];
        for (const char* c = word; *c != '\0' && bytes.size() < size; ++c) {
            bytes.push_back(static_cast<unsigned char>(*c));
        }
    }
    return bytes;
}

Bytes RawDeflate(const Bytes& data) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// --- Hand-made archives -----------------------------------------------------

RawEntry StoredEntry(const std::string& name, const Bytes& data) {
    RawEntry entry;
    entry.name = name;
    entry.data = data;
    entry.crc = Crc32Of(data);
    entry.uncompressedSize = static_cast<uint32_t>(data.size());
    return entry;
}

RawEntry DeflatedEntry(const std::string& name, const Bytes& data) {
    RawEntry entry = StoredEntry(name, data);
    entry.method = 8;
    entry.data = RawDeflate(data);
    return entry;
}

RawEntry LzmaEntry(const std::string& name, const Bytes& data, bool endMarker) {
    RawEntry entry = StoredEntry(name, data);
    entry.method = 14;
    entry.flags = endMarker ? 2 : 0;
    EncodeLzmaEntry(data.data(), data.size(), 6, endMarker, &entry.data);
    return entry;
}

namespace {

void Put16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(Bytes& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutText(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

Bytes BuildRawArchive(const RawArchive& archive) {
    Bytes out = archive.prefix;
    const uint32_t base =
        archive.absoluteOffsets ? 0 : static_cast<uint32_t>(archive.prefix.size());
    std::vector<uint32_t> offsets;
    for (const RawEntry& entry : archive.entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()) - base);
        Put32(out, 0x04034B66);
        Put16(out, 20);
        Put16(out, entry.flags);
        Put16(out, entry.method);
        Put32(out, entry.dosDateTime);
        Put32(out, entry.crc);
        Put32(out, static_cast<uint32_t>(entry.data.size()));
        Put32(out, entry.uncompressedSize);
        Put16(out, static_cast<uint32_t>(entry.name.size()));
        Put16(out, static_cast<uint32_t>(entry.localExtra.size()));
        PutText(out, entry.name);
        PutText(out, entry.localExtra);
        out.insert(out.end(), entry.data.begin(), entry.data.end());
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(out.size()) - base;
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const RawEntry& entry = archive.entries[i];
        Put32(out, 0x02014B66);
        Put16(out, 20);
        Put16(out, 20);
        Put16(out, entry.flags);
        Put16(out, entry.method);
        Put32(out, entry.dosDateTime);
        Put32(out, entry.crc);
        Put32(out, static_cast<uint32_t>(entry.data.size()));
        Put32(out, entry.uncompressedSize);
        Put16(out, static_cast<uint32_t>(entry.name.size()));
        Put16(out, static_cast<uint32_t>(entry.extra.size()));
        Put16(out, static_cast<uint32_t>(entry.comment.size()));
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, entry.externalAttributes);
        Put32(out, offsets[i]);
        PutText(out, entry.name);
        PutText(out, entry.extra);
        PutText(out, entry.comment);
    }
    const uint32_t directorySize = static_cast<uint32_t>(out.size()) - base - directoryOffset;
    Put32(out, 0x06054B66);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(archive.entries.size()));
    Put16(out, static_cast<uint32_t>(archive.entries.size()));
    Put32(out, directorySize);
    Put32(out, directoryOffset);
    Put16(out, static_cast<uint32_t>(archive.comment.size()));
    PutText(out, archive.comment);
    return out;
}

// --- In-memory file operations ----------------------------------------------

namespace {

MemoryFile* AsMemory(void* context) {
    return static_cast<MemoryFile*>(context);
}

void* OpenMemory(void* context, const char*, int mode) {
    MemoryFile* file = AsMemory(context);
    if (mode != (kArchiveOpenRead | kArchiveOpenExisting) || file->open) {
        return nullptr;
    }
    file->open = true;
    file->position = 0;
    return file;
}

uint32_t ReadMemory(void* context, void*, void* buffer, uint32_t size) {
    MemoryFile* file = AsMemory(context);
    if (file->position >= static_cast<int64_t>(file->bytes.size())) {
        return 0;
    }
    uint64_t count = std::min<uint64_t>(size, file->bytes.size() - file->position);
    if (file->bytesRead + count > file->failReadsAfter) {
        count = file->failReadsAfter - file->bytesRead;
        file->failed = true;
    }
    memcpy(buffer, file->bytes.data() + file->position, count);
    file->position += static_cast<int64_t>(count);
    file->bytesRead += count;
    return static_cast<uint32_t>(count);
}

uint32_t WriteMemory(void*, void*, const void*, uint32_t) {
    return 0;
}

int64_t TellMemory(void* context, void*) {
    return AsMemory(context)->position;
}

int SeekMemory(void* context, void*, int64_t offset, int origin) {
    MemoryFile* file = AsMemory(context);
    if (file->seeks >= file->failSeeksAfter) {
        return -1;
    }
    int64_t base = 0;
    if (origin == kArchiveSeekCurrent) {
        base = file->position;
    } else if (origin == kArchiveSeekEnd) {
        base = static_cast<int64_t>(file->bytes.size());
    } else if (origin != kArchiveSeekSet) {
        return -1;
    }
    if (base + offset < 0) {
        return -1;
    }
    file->position = base + offset;
    ++file->seeks;
    return 0;
}

int CloseMemory(void* context, void*) {
    AsMemory(context)->open = false;
    return 0;
}

int MemoryError(void* context, void*) {
    return AsMemory(context)->failed ? 1 : 0;
}

} // namespace

ArchiveFileOps MemoryFileOps(MemoryFile* file) {
    return ArchiveFileOps{OpenMemory, ReadMemory,  WriteMemory, TellMemory,
                          SeekMemory, CloseMemory, MemoryError, file};
}
