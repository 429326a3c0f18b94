#include "desktop/windows/installer/authenticode/running_image.h"

namespace authenticode {

namespace {

// The mapped headers of an image lie within its first page; more than that
// is not a header that any loader maps.
constexpr DWORD kMaxHeadersSize = 64 * 1024;

const BYTE* ImageBase(HMODULE module) {
  return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) &
                                       ~static_cast<ULONG_PTR>(3));
}

}  // namespace

RunningImage::RunningImage() : RunningImage(::GetModuleHandleW(nullptr)) {}

RunningImage::RunningImage(HMODULE module) : base_(ImageBase(module)) {}

bool RunningImage::ReadHeaders(WORD* magic, DWORD* headers_size) const {
  if (!base_)
    return false;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base_);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 ||
      static_cast<DWORD>(dos->e_lfanew) > kMaxHeadersSize) {
    return false;
  }
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base_ + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE)
    return false;
  *magic = nt->OptionalHeader.Magic;
  if (*magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    *headers_size = reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.SizeOfHeaders;
  } else if (*magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    *headers_size = reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt)->OptionalHeader.SizeOfHeaders;
  } else {
    return false;
  }
  return *headers_size > static_cast<DWORD>(dos->e_lfanew) && *headers_size <= kMaxHeadersSize;
}

bool RunningImage::IsUnsigned() const {
  WORD magic = 0;
  DWORD headers_size = 0;
  if (!ReadHeaders(&magic, &headers_size))
    return false;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base_);
  const IMAGE_DATA_DIRECTORY* entry = nullptr;
  DWORD directories = 0;
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base_ + dos->e_lfanew);
    entry = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    directories = nt->OptionalHeader.NumberOfRvaAndSizes;
  } else {
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base_ + dos->e_lfanew);
    entry = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    directories = nt->OptionalHeader.NumberOfRvaAndSizes;
  }
  // An image without the entry (too few directories) has no table either.
  if (directories <= IMAGE_DIRECTORY_ENTRY_SECURITY)
    return true;
  if (reinterpret_cast<const BYTE*>(entry + 1) > base_ + headers_size)
    return false;
  return entry->Size == 0;
}

}  // namespace authenticode
