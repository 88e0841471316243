// zlib's crc32 and adler32 for setup.exe, by the small versions: defined
// here, they keep the linker from taking zlib's own from the static library.
#include <zlib.h>

#include "archive/lean_checksums.h"

extern "C" {

uLong ZEXPORT crc32(uLong crc, const Bytef* data, uInt length) {
    return data == Z_NULL ? 0 : LeanCrc32(static_cast<uint32_t>(crc), data, length);
}

uLong ZEXPORT adler32(uLong adler, const Bytef* data, uInt length) {
    return data == Z_NULL ? 1 : LeanAdler32(static_cast<uint32_t>(adler), data, length);
}

} // extern "C"
