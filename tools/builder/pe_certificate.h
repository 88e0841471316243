// The certificate table of a PE program (the signature a signing tool
// appends): found through the security entry of the optional header's data
// directory. A payload appended behind a signed stub would break its
// signature, so the builder cuts the table off before packing; the finished
// installer is signed as a whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class CertificateTable {
    None,    // not a PE program, or one without a table
    Removed, // the table was cut off, the entry cleared, the checksum renewed
    Damaged, // the entry points outside the file; nothing was changed
};

// Removes the certificate table from the program image in place; removed
// receives the number of bytes cut off.
CertificateTable RemoveCertificateTable(std::vector<unsigned char>* image, size_t* removed);

// The PE checksum of the image, the optional header's checksum field taken
// as zero: 16-bit words summed with their carries folded in, plus the length.
uint32_t ComputePeChecksum(const std::vector<unsigned char>& image, size_t checksumOffset);
