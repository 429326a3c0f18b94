#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

#include <algorithm>
#include <memory>

#include "base/files/file_util.h"
#include "base/files/memory_mapped_file.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "crypto/secure_hash.h"
#include "crypto/sha2.h"

namespace installer {

namespace {

// How many bytes of each end of a mismatching file the details show.
constexpr size_t kEdgeLength = 50;

}  // namespace

std::string Sha256HexDigest(const void* bytes, size_t length) {
  std::unique_ptr<crypto::SecureHash> hash = crypto::SecureHash::Create(crypto::SecureHash::SHA256);
  unsigned char digest[crypto::kSHA256Length];
  if (!hash || (length != 0 && !hash->Update(bytes, length)) ||
      !hash->Finish(digest, sizeof(digest))) {
    return std::string();
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * sizeof(digest));
  for (unsigned char byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

bool ChecksumChecker::Check(const base::FilePath& path, const std::string& expected,
                            base::Value::Dict* details) {
  base::MemoryMappedFile file;
  int64_t size = -1;
  // Windows cannot map an empty file, which still has a checksum.
  const bool empty = base::GetFileSize(path, &size) && size == 0;
  if (!empty && !file.Initialize(path)) {
    if (details) {
      *details = base::Value::Dict();
      details->Set(kDetail, kUnableToRead);
    }
    LOG(ERROR) << "Unable to read " << path;
    return false;
  }
  const std::string actual = Sha256HexDigest(file.data(), file.length());
  if (!actual.empty() && actual == expected)
    return true;
  if (details) {
    const size_t edge = std::min(kEdgeLength, file.length());
    *details = base::Value::Dict();
    details->Set(kDetail, kMismatch);
    details->Set(kExpectedChecksum, expected);
    details->Set(kActualChecksum, actual);
    details->Set(kFileLength, static_cast<int>(file.length()));
    details->Set(kFileStart, base::HexEncode(file.data(), edge));
    details->Set(kFileEnd, base::HexEncode(file.data() + file.length() - edge, edge));
  }
  return false;
}

}  // namespace installer
