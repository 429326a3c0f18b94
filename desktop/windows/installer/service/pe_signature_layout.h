// Where the parts of a PE image that its Authenticode signature treats
// specially lie: the header checksum, the certificate table's directory entry
// and the certificate table itself. Read from the file with every offset
// checked against the file's length, so that hostile headers (offsets past the
// end, overflowing sums, truncated headers) are refused instead of read.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_PE_SIGNATURE_LAYOUT_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_PE_SIGNATURE_LAYOUT_H_

#include <cstdint>
#include <vector>

#include "base/files/file_path.h"
#include "crypto/secure_hash.h"

namespace base {
class File;
}

namespace installer {

struct PeSignatureLayout {
  int64_t file_length = 0;
  // Offsets in the file of the optional header's CheckSum field (4 bytes) and
  // of the certificate table's data directory entry (8 bytes); the entry
  // offset is 0 when the image has no such entry (too few directories).
  int64_t checksum_offset = 0;
  int64_t certificate_entry_offset = 0;
  // The certificate table as the entry describes it (a file offset, not an
  // address); size 0 when the image is unsigned.
  uint32_t certificate_table_offset = 0;
  uint32_t certificate_table_size = 0;

  // Reads the layout of |file|. False when it is not a PE32 or PE32+ image or
  // a header field it needs lies outside the file.
  bool Read(base::File* file);

  // Whether the certificate table (non-empty) follows the headers and ends
  // inside the file.
  bool HasTableInsideFile() const;
};

// The Authenticode digest of the image at |path| with |algorithm|: every byte
// of the file except the checksum, the certificate entry and the certificate
// table. False when the file cannot be read, is not a signed image, or its
// certificate table does not lie inside the file.
bool ComputeAuthenticodeDigest(const base::FilePath& path,
                               crypto::SecureHash::Algorithm algorithm,
                               std::vector<uint8_t>* digest);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_PE_SIGNATURE_LAYOUT_H_
