#include "base/win/pe_header.h"

#include <windows.h>

namespace base::win {

bool ReadPeHeader(const PeByteReader& read, PeHeader* header) {
  IMAGE_DOS_HEADER dos_header;
  if (!read(0, &dos_header, sizeof(dos_header)) || dos_header.e_magic != IMAGE_DOS_SIGNATURE)
    return false;
  const uint32_t signature_offset = static_cast<uint32_t>(dos_header.e_lfanew);
  struct {
    DWORD signature;
    IMAGE_FILE_HEADER file_header;
  } pe_header;
  if (!read(signature_offset, &pe_header, sizeof(pe_header)) ||
      pe_header.signature != IMAGE_NT_SIGNATURE) {
    return false;
  }
  header->signature_offset = signature_offset;
  header->machine = pe_header.file_header.Machine;
  return true;
}

}  // namespace base::win
