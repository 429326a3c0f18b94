// The walk to a PE image's file header: "MZ" at offset 0, the offset of the
// PE signature in the 32-bit value at 0x3C, there the signature "PE\0\0"
// followed by the COFF file header, whose first field is the machine. The
// bytes come through a reader so that a file and a mapped view share the
// walk; the reader fails for bytes the image does not hold.

#ifndef BASE_WIN_PE_HEADER_H_
#define BASE_WIN_PE_HEADER_H_

#include <cstddef>
#include <cstdint>
#include <functional>

namespace base::win {

struct PeHeader {
  // The file offset of the PE signature.
  uint32_t signature_offset = 0;
  // IMAGE_FILE_MACHINE_*: 0x014C for i386.
  uint16_t machine = 0;
};

// Reads exactly |size| bytes at |offset| into |out|; false when it cannot.
using PeByteReader = std::function<bool(uint64_t offset, void* out, size_t size)>;

// False when the image has no DOS or PE signature, or does not hold the whole
// COFF file header.
bool ReadPeHeader(const PeByteReader& read, PeHeader* header);

}  // namespace base::win

#endif  // BASE_WIN_PE_HEADER_H_
