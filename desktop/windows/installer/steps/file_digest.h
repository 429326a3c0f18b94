// The SHA-1 digest of a file, computed with the system's CNG provider
// ("bcrypt", loaded at run time) and, once that has failed in this process,
// with the built-in SHA-1.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_FILE_DIGEST_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_FILE_DIGEST_H_

#include <cstdint>
#include <string_view>

#include "base/files/file_path.h"

namespace installer {

inline constexpr size_t kFileDigestLength = 20;

// True when the file could be opened and hashed.
bool ComputeFileDigest(const base::FilePath& path, uint8_t digest[kFileDigestLength]);

// True when the file's digest, Base64-encoded, equals |expected_base64|.
bool CheckFileDigest(const base::FilePath& path, std::string_view expected_base64);

// Whether the system provider is still tried (cleared by its first failure).
bool IsSystemDigestProviderInUse();
// Stops using the system provider in this process, as its failure does.
void DisableSystemDigestProvider();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_FILE_DIGEST_H_
