// The package server names a SHA-256 checksum for every item it offers. Before
// the fetcher uses a downloaded item it compares the item's digest with that
// checksum; on a mismatch the details go into the fetch statistics.
//
// The checksum text is 64 lower-case hexadecimal characters, high nibble first,
// and is compared as an exact, case-sensitive string.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_CHECKSUM_CHECKER_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_CHECKSUM_CHECKER_H_

#include <cstddef>
#include <string>

#include "base/files/file_path.h"
#include "base/values.h"

namespace installer {

// The checksum text of |length| bytes at |bytes| (|bytes| may be null when
// |length| is 0). Empty only when the system's hash provider is unavailable.
std::string Sha256HexDigest(const void* bytes, size_t length);

class ChecksumChecker {
 public:
  // Details keys of a failed check.
  static constexpr char kDetail[] = "detail";
  static constexpr char kExpectedChecksum[] = "expected_checksum";
  static constexpr char kActualChecksum[] = "actual_checksum";
  static constexpr char kFileLength[] = "file_length";
  static constexpr char kFileStart[] = "file_start";
  static constexpr char kFileEnd[] = "file_end";
  static constexpr char kUnableToRead[] = "Unable to read the file";
  static constexpr char kMismatch[] = "Checksum mismatch";

  // True when the file at |path| has the checksum |expected|. On failure,
  // |details| (when given) is replaced by a record of why: "detail" always,
  // and for a mismatch both checksums, the length and the first and last
  // (up to) 50 bytes in upper-case hexadecimal. An empty file has the digest of
  // no bytes.
  static bool Check(const base::FilePath& path, const std::string& expected,
                    base::Value::Dict* details);
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_CHECKSUM_CHECKER_H_
