// PayloadReader finds the block of bytes an installer executable may carry in
// addition to its code: tracking data (a small JSON text the download service
// put in for this download) or a full package (a 7z archive of the browser).
//
// The block sits at the end of the file or just before the Authenticode
// certificate table, and ends at an end position E (the file length, or the
// file offset of the certificate table):
//   E - 7 - L  3 bytes  "VLO"
//   E - 4 - L  L bytes  payload
//   E - 4      4 bytes  L, unsigned 32-bit little-endian
// Signing tools align the certificate table to 8 bytes with zero padding; a
// block followed by at most 7 zero bytes before the table is found as well, so
// a block may be appended and the file signed afterwards.
//
// Contract: the constructor maps the whole file read-only and classifies it
// once; the type can then be read at once. The mapping lives as long as the
// reader and the payload bytes are copied only when asked for. Every read of
// the mapping is checked against the mapped length, so a file that is short,
// truncated or names offsets and lengths it does not hold is classified as
// corrupted (bad headers) or as having no payload, never read out of bounds.
// The file is opened without write sharing and a mapped file cannot be cut
// short, so the mapped bytes cannot shrink while the reader holds them.
// A full package is accepted only where the signature (if any) covers it.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PAYLOAD_READER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PAYLOAD_READER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/files/file_path.h"
#include "base/files/memory_mapped_file.h"

namespace installer {

// The kind of payload a reader found. The values are recorded in statistics.
enum class PayloadType : int32_t {
  none = 0,
  tracking_data = 1,
  external_tracking_data = 2,
  full_package = 3,
  corrupted = 4,
};

// The statistics name of |type| ("none", "tracking_data", ...); empty for
// values outside the enumeration.
std::string PayloadTypeToString(PayloadType type);

// True when |bytes| starts with the 7z archive signature 37 7A BC AF 27 1C.
bool IsSevenZipSignature(std::string_view bytes);

class PayloadReader {
 public:
  // Maps and classifies the file at |path|.
  explicit PayloadReader(const base::FilePath& path);
  PayloadReader(const PayloadReader&) = delete;
  PayloadReader& operator=(const PayloadReader&) = delete;
  ~PayloadReader();

  PayloadType type() const { return type_; }
  const base::FilePath& path() const { return path_; }
  // Length and file offset of the payload bytes; meaningful for
  // tracking_data and full_package.
  uint64_t payload_length() const { return payload_length_; }
  uint64_t payload_offset() const { return payload_offset_; }

  // The payload: empty for none and corrupted, the external tracking data for
  // external_tracking_data, else a copy of the payload bytes.
  std::string GetPayloadData() const;

  // Tracking data given from outside (the command line) when the file carries
  // none. The type becomes external_tracking_data, whatever it was.
  void SetExternalTrackingData(const std::string& data);

  // Writes the payload to |path| (created or truncated). False when there is
  // no payload or not every byte could be written.
  bool WriteToFile(const base::FilePath& path) const;

 private:
  // Classifies the mapped file; the result becomes the type.
  PayloadType ReadPayload();
  // Looks for a block ending at the certificate table at |table_offset|,
  // also behind the zero padding a signing tool puts before the table.
  bool FindPayloadBeforeTable(uint64_t table_offset);
  // Looks for a block whose length field starts at |length_position|; on
  // success stores the payload length and offset.
  bool FindPayloadEndingAt(uint64_t length_position);

  // A bounds-checked little-endian read of the mapping.
  bool ReadUInt32(uint64_t offset, uint32_t* value) const;
  // The mapped bytes [offset, offset + length), or an empty view (and false)
  // when they do not all lie inside the mapping.
  bool GetBytes(uint64_t offset, uint64_t length, std::string_view* bytes) const;

  const base::FilePath path_;
  base::MemoryMappedFile file_;
  std::string external_tracking_data_;
  uint64_t payload_length_ = 0;
  uint64_t payload_offset_ = 0;
  PayloadType type_ = PayloadType::none;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PAYLOAD_READER_H_
