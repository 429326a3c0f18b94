#include "desktop/windows/installer/package_fetcher/payload_reader.h"

#include <algorithm>
#include <cstring>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/win/pe_header.h"

namespace installer {

namespace {

constexpr char kPayloadMagic[] = {'V', 'L', 'O'};
constexpr uint64_t kMagicSize = sizeof(kPayloadMagic);
constexpr uint64_t kLengthFieldSize = 4;
// The alignment of the certificate table that signing tools keep.
constexpr uint64_t kTableAlignment = 8;
constexpr char kSevenZipSignature[] = {'7', 'z', '\xBC', '\xAF', '\x27', '\x1C'};

// The security data directory entry (offset, size) lies at a distance from
// the PE signature that depends on the optional header's layout.
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint64_t kSecurityEntryPe32 = 152;
constexpr uint64_t kSecurityEntryPe32Plus = 168;

}  // namespace

std::string PayloadTypeToString(PayloadType type) {
  switch (type) {
    case PayloadType::none:
      return "none";
    case PayloadType::tracking_data:
      return "tracking_data";
    case PayloadType::external_tracking_data:
      return "external_tracking_data";
    case PayloadType::full_package:
      return "full_package";
    case PayloadType::corrupted:
      return "corrupted";
  }
  return std::string();
}

bool IsSevenZipSignature(std::string_view bytes) {
  std::string_view signature(kSevenZipSignature, sizeof(kSevenZipSignature));
  return bytes.substr(0, signature.size()) == signature;
}

PayloadReader::PayloadReader(const base::FilePath& path) : path_(path) {
  type_ = ReadPayload();
}

PayloadReader::~PayloadReader() = default;

std::string PayloadReader::GetPayloadData() const {
  switch (type_) {
    case PayloadType::external_tracking_data:
      return external_tracking_data_;
    case PayloadType::tracking_data:
    case PayloadType::full_package: {
      std::string_view bytes;
      if (!GetBytes(payload_offset_, payload_length_, &bytes))
        return std::string();
      return std::string(bytes);
    }
    default:
      return std::string();
  }
}

void PayloadReader::SetExternalTrackingData(const std::string& data) {
  external_tracking_data_ = data;
  type_ = PayloadType::external_tracking_data;
}

bool PayloadReader::WriteToFile(const base::FilePath& path) const {
  if (type_ == PayloadType::none || type_ == PayloadType::corrupted)
    return false;
  LOG(INFO) << "Writing payload to file" << path;
  if (type_ == PayloadType::full_package) {
    // Straight from the mapping: a whole package is not copied into memory.
    std::string_view bytes;
    if (!GetBytes(payload_offset_, payload_length_, &bytes))
      return false;
    return base::WriteFile(path, bytes);
  }
  return base::WriteFile(path, GetPayloadData());
}

PayloadType PayloadReader::ReadPayload() {
  LOG(INFO) << "Reading Payload";
  if (!file_.Initialize(path_)) {
    LOG(ERROR) << "Could not initialize memory mapped file";
    return PayloadType::none;
  }

  base::win::PeHeader header;
  if (!base::win::ReadPeHeader(
          [this](uint64_t offset, void* out, size_t size) {
            std::string_view bytes;
            if (!GetBytes(offset, size, &bytes))
              return false;
            memcpy(out, bytes.data(), size);
            return true;
          },
          &header)) {
    return PayloadType::corrupted;
  }

  const uint64_t entry =
      uint64_t{header.signature_offset} +
      (header.machine == kMachineI386 ? kSecurityEntryPe32 : kSecurityEntryPe32Plus);
  uint32_t certificate_entry_offset = 0;
  uint32_t certificate_size = 0;
  if (!ReadUInt32(entry, &certificate_entry_offset) ||
      !ReadUInt32(entry + 4, &certificate_size)) {
    return PayloadType::corrupted;
  }
  const bool is_signed = certificate_size != 0;
  const uint64_t certificate_offset = is_signed ? certificate_entry_offset : 0;

  const uint64_t file_length = file_.length();
  if (certificate_offset > file_length) {
    LOG(ERROR) << "Security directory is located past the image file length";
    return PayloadType::corrupted;
  }

  // The file end is tried first, so a block appended after the signature
  // wins over one inside it.
  const bool found_at_end = file_length >= kLengthFieldSize &&
                            FindPayloadEndingAt(file_length - kLengthFieldSize);
  if (!found_at_end && !(is_signed && FindPayloadBeforeTable(certificate_offset))) {
    LOG(WARNING) << "No valid payload found";
    return PayloadType::none;
  }

  std::string_view head;
  GetBytes(payload_offset_, std::min<uint64_t>(payload_length_, sizeof(kSevenZipSignature)),
           &head);
  if (!IsSevenZipSignature(head))
    return PayloadType::tracking_data;

  if (found_at_end && is_signed) {
    LOG(ERROR) << "Found full package that is not covered by the signature";
    return PayloadType::none;
  }
  return PayloadType::full_package;
}

bool PayloadReader::FindPayloadBeforeTable(uint64_t table_offset) {
  // Signing tools align the table to 8 bytes with zeros, so a block appended
  // before signing may end up to 7 zero bytes before it.
  for (uint64_t padding = 0; padding < kTableAlignment && padding + kLengthFieldSize <= table_offset;
       ++padding) {
    if (padding > 0) {
      std::string_view pad;
      if (!GetBytes(table_offset - padding, 1, &pad) || pad[0] != '\0')
        return false;
    }
    if (FindPayloadEndingAt(table_offset - padding - kLengthFieldSize))
      return true;
  }
  return false;
}

bool PayloadReader::FindPayloadEndingAt(uint64_t length_position) {
  payload_length_ = 0;
  payload_offset_ = 0;
  uint32_t length = 0;
  if (!ReadUInt32(length_position, &length))
    return false;
  if (length_position < kMagicSize || length > length_position - kMagicSize) {
    VLOG(1) << "Could not find a valid starting position";
    return false;
  }
  const uint64_t start = length_position - length;
  std::string_view magic;
  if (!GetBytes(start - kMagicSize, kMagicSize, &magic) ||
      magic != std::string_view(kPayloadMagic, kMagicSize)) {
    VLOG(1) << "Payload data invalid";
    return false;
  }
  payload_length_ = length;
  payload_offset_ = start;
  return true;
}

bool PayloadReader::ReadUInt32(uint64_t offset, uint32_t* value) const {
  std::string_view bytes;
  if (!GetBytes(offset, 4, &bytes))
    return false;
  *value = 0;
  for (int i = 3; i >= 0; --i)
    *value = *value << 8 | static_cast<uint8_t>(bytes[i]);
  return true;
}

bool PayloadReader::GetBytes(uint64_t offset, uint64_t length, std::string_view* bytes) const {
  *bytes = std::string_view();
  const uint64_t mapped = file_.length();
  if (offset > mapped || length > mapped - offset)
    return false;
  if (length != 0)
    *bytes = std::string_view(reinterpret_cast<const char*>(file_.data()) + offset, length);
  return true;
}

}  // namespace installer
