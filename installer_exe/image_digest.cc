#include "installer_exe/image_digest.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "installer_exe/system_library.h"

namespace {

constexpr DWORD kChunkSize = 64 * 1024;
// The optional header's fields, by their offset in it.
constexpr size_t kSizeOfHeadersOffset = 60;
constexpr size_t kCheckSumOffset = 64;
constexpr size_t kDirectoriesOffset32 = 96;
constexpr size_t kDirectoriesOffset64 = 112;

// SHA-256 through bcrypt.dll from the system folder: installer.exe links
// nothing but kernel32 and the C runtime.
class Sha256 {
 public:
  Sha256()
      : create_(Function<decltype(&::BCryptCreateHash)>("BCryptCreateHash")),
        hash_data_(Function<decltype(&::BCryptHashData)>("BCryptHashData")),
        finish_(Function<decltype(&::BCryptFinishHash)>("BCryptFinishHash")),
        destroy_(Function<decltype(&::BCryptDestroyHash)>("BCryptDestroyHash")),
        close_(Function<decltype(&::BCryptCloseAlgorithmProvider)>(
            "BCryptCloseAlgorithmProvider")) {
    auto open = Function<decltype(&::BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider");
    if (!open || !create_ || !hash_data_ || !finish_ || !destroy_ || !close_) {
      ::SetLastError(ERROR_PROC_NOT_FOUND);
      return;
    }
    if (!Succeeded(open(&provider_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      provider_ = nullptr;
      return;
    }
    // The system keeps the hash object itself (Windows 7 and later).
    if (!Succeeded(create_(provider_, &hash_, nullptr, 0, nullptr, 0, 0)))
      hash_ = nullptr;
  }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256() {
    const DWORD error = ::GetLastError();
    if (hash_)
      destroy_(hash_);
    if (provider_)
      close_(provider_, 0);
    ::SetLastError(error);
  }

  bool Update(const unsigned char* data, DWORD size) {
    return hash_ && Succeeded(hash_data_(hash_, const_cast<PUCHAR>(data), size, 0));
  }

  bool Finish(ImageDigest::Value* digest) {
    return hash_ && Succeeded(finish_(hash_, digest->data(), digest->size(), 0));
  }

 private:
  template <typename F>
  static F Function(const char* name) {
    return GetSystemFunction<F>(L"bcrypt.dll", name);
  }

  static bool Succeeded(NTSTATUS status) {
    if (status >= 0)
      return true;
    ::SetLastError(static_cast<DWORD>(status));
    return false;
  }

  const decltype(&::BCryptCreateHash) create_;
  const decltype(&::BCryptHashData) hash_data_;
  const decltype(&::BCryptFinishHash) finish_;
  const decltype(&::BCryptDestroyHash) destroy_;
  const decltype(&::BCryptCloseAlgorithmProvider) close_;
  BCRYPT_ALG_HANDLE provider_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

bool BadFormat() {
  ::SetLastError(ERROR_BAD_EXE_FORMAT);
  return false;
}

// Reads |size| bytes at |offset| of |file|; a file that ends before them is
// not the image its headers describe.
bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!::ReadFile(file, bytes, size, &read, &at))
      return ::GetLastError() == ERROR_HANDLE_EOF ? BadFormat() : false;
    if (read == 0)
      return BadFormat();
    bytes += read;
    offset += read;
    size -= read;
  }
  return true;
}

template <typename T>
T FieldAt(const std::vector<unsigned char>& bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(value));
  return value;
}

// Where the digest leaves bytes out: the CheckSum field, the certificate
// table's entry and everything from |end| on (the table).
struct Layout {
  uint64_t checksum = 0;
  uint64_t security_entry = 0;
  uint64_t end = 0;
};

bool ReadLayout(HANDLE file, uint64_t file_size, Layout* layout) {
  IMAGE_DOS_HEADER dos;
  if (file_size < sizeof(dos) || !ReadAt(file, 0, &dos, sizeof(dos)))
    return file_size < sizeof(dos) ? BadFormat() : false;
  if (dos.e_magic != IMAGE_DOS_SIGNATURE)
    return BadFormat();
  const uint64_t nt = static_cast<DWORD>(dos.e_lfanew);
  DWORD signature = 0;
  IMAGE_FILE_HEADER header;
  if (!ReadAt(file, nt, &signature, sizeof(signature)) ||
      !ReadAt(file, nt + sizeof(signature), &header, sizeof(header))) {
    return false;
  }
  if (signature != IMAGE_NT_SIGNATURE || header.SizeOfOptionalHeader < sizeof(WORD))
    return BadFormat();
  const uint64_t optional = nt + sizeof(signature) + sizeof(header);
  std::vector<unsigned char> fields(header.SizeOfOptionalHeader);
  if (!ReadAt(file, optional, fields.data(), static_cast<DWORD>(fields.size())))
    return false;
  const WORD magic = FieldAt<WORD>(fields, 0);
  if (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
    return BadFormat();
  const size_t directories =
      magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? kDirectoriesOffset32 : kDirectoriesOffset64;
  const size_t security = directories + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
  if (fields.size() < security + sizeof(IMAGE_DATA_DIRECTORY) ||
      FieldAt<DWORD>(fields, directories - sizeof(DWORD)) <= IMAGE_DIRECTORY_ENTRY_SECURITY) {
    return BadFormat();
  }

  // The end of what the loader maps: the headers and every section's data.
  uint64_t mapped_end = FieldAt<DWORD>(fields, kSizeOfHeadersOffset);
  std::vector<IMAGE_SECTION_HEADER> sections(header.NumberOfSections);
  if (!sections.empty() &&
      !ReadAt(file, optional + fields.size(), sections.data(),
              static_cast<DWORD>(sections.size() * sizeof(IMAGE_SECTION_HEADER)))) {
    return false;
  }
  for (const IMAGE_SECTION_HEADER& section : sections) {
    if (section.SizeOfRawData != 0) {
      mapped_end = std::max<uint64_t>(
          mapped_end, uint64_t{section.PointerToRawData} + section.SizeOfRawData);
    }
  }

  const auto table = FieldAt<IMAGE_DATA_DIRECTORY>(fields, security);
  layout->checksum = optional + kCheckSumOffset;
  layout->security_entry = optional + security;
  layout->end = file_size;
  if (table.Size != 0) {
    if (table.VirtualAddress < mapped_end ||
        uint64_t{table.VirtualAddress} + table.Size != file_size) {
      return BadFormat();
    }
    layout->end = table.VirtualAddress;
  }
  return layout->end >= layout->security_entry + sizeof(IMAGE_DATA_DIRECTORY) || BadFormat();
}

// Hashes the bytes [begin, end) of |file|.
bool HashRange(HANDLE file, uint64_t begin, uint64_t end, Sha256* sha) {
  std::vector<unsigned char> buffer(kChunkSize);
  while (begin < end) {
    const DWORD size = static_cast<DWORD>(std::min<uint64_t>(end - begin, kChunkSize));
    if (!ReadAt(file, begin, buffer.data(), size) || !sha->Update(buffer.data(), size))
      return false;
    begin += size;
  }
  return true;
}

}  // namespace

bool ImageDigest::Compute(HANDLE file, Value* digest) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file, &size))
    return false;
  Layout layout;
  if (!ReadLayout(file, static_cast<uint64_t>(size.QuadPart), &layout))
    return false;
  Sha256 sha;
  const unsigned char padding[8] = {};
  return HashRange(file, 0, layout.checksum, &sha) &&
         HashRange(file, layout.checksum + sizeof(DWORD), layout.security_entry, &sha) &&
         HashRange(file, layout.security_entry + sizeof(IMAGE_DATA_DIRECTORY), layout.end,
                   &sha) &&
         sha.Update(padding, static_cast<DWORD>((8 - layout.end % 8) % 8)) && sha.Finish(digest);
}
