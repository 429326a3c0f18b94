// Authenticode checks of files the installer did not build itself (downloaded
// packages, component installers). A file passes VerifyFileSignature when
// Windows accepts its signature and one of its signers carries the product's
// expected signer name (ProductConfig::GetExpectedSigner), either directly or
// through a nested signature. A nested signature counts only when it is
// itself valid: its signer signed it, and it covers this very file's image
// digest (a signature copied over from another file does not count).
// IsFileSigned is the cheap test of whether a file carries a signature at all.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_SIGNATURE_VERIFICATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_SIGNATURE_VERIFICATION_H_

#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/authenticode/crypt_functions.h"

namespace installer {

// True when the test could be made: |path| is a PE image whose headers lie
// inside the file. |*is_signed| (required) then says whether its certificate
// table is non-empty. Works for 32-bit and 64-bit images alike.
bool IsFileSigned(const base::FilePath& path, bool* is_signed);

// True when |path| is trusted (WinVerifyTrust) and signed by the expected
// signer. When |error| is given, the reasons for a false result and the
// signers that were tried, with their trust chains, are appended to it.
bool VerifyFileSignature(const base::FilePath& path, std::string* error);

// Whether the running executable carries no signature, as its image was
// mapped when the process started: a development build, which accepts
// unsigned packages and installers as well. A signed installer demands the
// expected signer of everything it trusts.
bool IsRunningExecutableUnsigned();

// The crypt32 and wintrust functions this library links, for its signature
// reading (authenticode::FileSignature).
const authenticode::CryptFunctions& LinkedCryptFunctions();

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_SIGNATURE_VERIFICATION_H_
