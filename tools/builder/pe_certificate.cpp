#include "tools/builder/pe_certificate.h"

namespace {

constexpr size_t kNewHeaderPointer = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr uint32_t kPe32Magic = 0x10B;
constexpr uint32_t kPe32PlusMagic = 0x20B;
// Within the optional header.
constexpr size_t kChecksumField = 64;
constexpr uint32_t kSecurityDirectory = 4;

uint32_t Le16(const std::vector<unsigned char>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8;
}

uint32_t Le32(const std::vector<unsigned char>& bytes, size_t at) {
    return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

void PutLe32(std::vector<unsigned char>* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        (*bytes)[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

struct PeLayout {
    size_t checksumOffset;
    size_t securityEntryOffset; // the directory entry: file offset, then size
};

// False when the image is no PE program or has no security entry.
bool FindLayout(const std::vector<unsigned char>& image, PeLayout* layout) {
    if (image.size() < kNewHeaderPointer + 4 || image[0] != 'M' || image[1] != 'Z') {
        return false;
    }
    const size_t peHeader = Le32(image, kNewHeaderPointer);
    const size_t optionalHeader = peHeader + 4 + kFileHeaderSize;
    if (peHeader > image.size() || image.size() - peHeader < 4 + kFileHeaderSize + 2 ||
        Le32(image, peHeader) != 0x00004550) { // "PE\0\0"
        return false;
    }
    const uint32_t magic = Le16(image, optionalHeader);
    const size_t countField = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
    if (countField == 0 || image.size() < optionalHeader + countField + 4) {
        return false;
    }
    const uint32_t directoryCount = Le32(image, optionalHeader + countField);
    const size_t entry = optionalHeader + countField + 4 + 8 * kSecurityDirectory;
    if (directoryCount <= kSecurityDirectory || image.size() < entry + 8) {
        return false;
    }
    layout->checksumOffset = optionalHeader + kChecksumField;
    layout->securityEntryOffset = entry;
    return true;
}

} // namespace

uint32_t ComputePeChecksum(const std::vector<unsigned char>& image, size_t checksumOffset) {
    uint64_t sum = 0;
    for (size_t at = 0; at < image.size(); at += 2) {
        if (at == checksumOffset || at == checksumOffset + 2) {
            continue;
        }
        const uint32_t word = at + 1 < image.size() ? Le16(image, at) : image[at];
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}

CertificateTable RemoveCertificateTable(std::vector<unsigned char>* image, size_t* removed) {
    *removed = 0;
    PeLayout layout;
    if (!FindLayout(*image, &layout)) {
        return CertificateTable::None;
    }
    // The security entry alone holds a file offset, not an address.
    const uint32_t offset = Le32(*image, layout.securityEntryOffset);
    const uint32_t size = Le32(*image, layout.securityEntryOffset + 4);
    if (offset == 0 && size == 0) {
        return CertificateTable::None;
    }
    if (offset < layout.securityEntryOffset + 8 || offset > image->size() ||
        size > image->size() - offset || size == 0) {
        return CertificateTable::Damaged;
    }
    // Whatever follows the table (the signer's padding) goes with it.
    *removed = image->size() - offset;
    image->resize(offset);
    PutLe32(image, layout.securityEntryOffset, 0);
    PutLe32(image, layout.securityEntryOffset + 4, 0);
    PutLe32(image, layout.checksumOffset, ComputePeChecksum(*image, layout.checksumOffset));
    return CertificateTable::Removed;
}
