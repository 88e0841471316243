// Feeds arbitrary bytes to the builder's certificate handling as the image of
// a stub: a removed table leaves exactly the bytes before it, and nothing
// else changes the image's length; the checksum reads only within it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tools/builder/pe_certificate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<unsigned char> original(data, data + size);
    std::vector<unsigned char> image = original;
    size_t removed = 0;
    const CertificateTable result = RemoveCertificateTable(&image, &removed);
    if (result == CertificateTable::Removed) {
        if (removed > original.size() || image.size() != original.size() - removed) {
            std::abort();
        }
    } else if (image != original) {
        std::abort();
    }
    for (size_t offset : {size_t{0}, size / 2, size}) {
        ComputePeChecksum(original, offset);
    }
    return 0;
}
