#include "desktop/windows/installer/service/pe_signature_layout.h"

#include <windows.h>

#include <algorithm>

#include "base/files/file.h"
#include "base/win/pe_header.h"

namespace installer {

namespace {

constexpr int64_t kOptionalHeaderFromNtHeader = 4 + sizeof(IMAGE_FILE_HEADER);
constexpr int64_t kSizeOfOptionalHeaderField = 4 + 16;
constexpr int64_t kChecksumField = 64;
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
// Offsets of NumberOfRvaAndSizes and of the data directories in the optional
// header of each kind of image.
constexpr int64_t kPe32DirectoryCountField = 92;
constexpr int64_t kPe32Directories = 96;
constexpr int64_t kPe32PlusDirectoryCountField = 108;
constexpr int64_t kPe32PlusDirectories = 112;
constexpr int64_t kDirectoryEntrySize = 8;

// Reads |size| bytes at |offset|, which must lie wholly inside the file.
bool ReadAt(base::File* file, int64_t length, int64_t offset, void* data, int size) {
  if (offset < 0 || offset > length - size)
    return false;
  return file->Read(offset, static_cast<char*>(data), size) == size;
}

}  // namespace

bool PeSignatureLayout::Read(base::File* file) {
  *this = PeSignatureLayout();
  const int64_t length = file->GetLength();
  if (length <= 0)
    return false;
  file_length = length;

  base::win::PeHeader header;
  const auto read = [file, length](uint64_t offset, void* out, size_t size) {
    return offset <= static_cast<uint64_t>(length) &&
           ReadAt(file, length, static_cast<int64_t>(offset), out, static_cast<int>(size));
  };
  if (!base::win::ReadPeHeader(read, &header))
    return false;
  const uint32_t nt_offset = header.signature_offset;
  uint16_t optional_size = 0;
  uint16_t magic = 0;
  const int64_t optional = int64_t{nt_offset} + kOptionalHeaderFromNtHeader;
  if (!ReadAt(file, length, int64_t{nt_offset} + kSizeOfOptionalHeaderField, &optional_size,
              sizeof(optional_size)) ||
      !ReadAt(file, length, optional, &magic, sizeof(magic))) {
    return false;
  }
  int64_t count_field;
  int64_t directories;
  if (magic == kPe32Magic) {
    count_field = kPe32DirectoryCountField;
    directories = kPe32Directories;
  } else if (magic == kPe32PlusMagic) {
    count_field = kPe32PlusDirectoryCountField;
    directories = kPe32PlusDirectories;
  } else {
    return false;
  }
  uint32_t checksum = 0;
  uint32_t directory_count = 0;
  if (!ReadAt(file, length, optional + kChecksumField, &checksum, sizeof(checksum)) ||
      !ReadAt(file, length, optional + count_field, &directory_count,
              sizeof(directory_count))) {
    return false;
  }
  checksum_offset = optional + kChecksumField;

  // An image with too few directories has no certificate table at all.
  const int64_t entry =
      directories + IMAGE_DIRECTORY_ENTRY_SECURITY * kDirectoryEntrySize;
  if (directory_count <= IMAGE_DIRECTORY_ENTRY_SECURITY ||
      optional_size < entry + kDirectoryEntrySize) {
    return true;
  }
  uint32_t table[2];
  if (!ReadAt(file, length, optional + entry, table, sizeof(table)))
    return false;
  certificate_entry_offset = optional + entry;
  certificate_table_offset = table[0];
  certificate_table_size = table[1];
  return true;
}

bool PeSignatureLayout::HasTableInsideFile() const {
  const int64_t table_end = int64_t{certificate_table_offset} + certificate_table_size;
  return certificate_table_size != 0 &&
         certificate_table_offset >= certificate_entry_offset + kDirectoryEntrySize &&
         table_end <= file_length;
}

bool ComputeAuthenticodeDigest(const base::FilePath& path,
                               crypto::SecureHash::Algorithm algorithm,
                               std::vector<uint8_t>* digest) {
  base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!file.IsValid())
    return false;
  PeSignatureLayout layout;
  if (!layout.Read(&file) || !layout.HasTableInsideFile())
    return false;
  const int64_t table_begin = layout.certificate_table_offset;
  const int64_t table_end = table_begin + layout.certificate_table_size;
  std::unique_ptr<crypto::SecureHash> hash = crypto::SecureHash::Create(algorithm);
  if (!hash)
    return false;
  const struct {
    int64_t begin;
    int64_t end;
  } ranges[] = {
      {0, layout.checksum_offset},
      {layout.checksum_offset + 4, layout.certificate_entry_offset},
      {layout.certificate_entry_offset + kDirectoryEntrySize, table_begin},
      {table_end, layout.file_length},
  };
  std::vector<char> buffer(64 * 1024);
  for (const auto& range : ranges) {
    for (int64_t offset = range.begin; offset < range.end;) {
      const int chunk =
          static_cast<int>(std::min<int64_t>(range.end - offset, buffer.size()));
      if (file.Read(offset, buffer.data(), chunk) != chunk || !hash->Update(buffer.data(), chunk))
        return false;
      offset += chunk;
    }
  }
  digest->assign(hash->GetHashLength(), 0);
  return hash->Finish(digest->data(), digest->size());
}

}  // namespace installer
