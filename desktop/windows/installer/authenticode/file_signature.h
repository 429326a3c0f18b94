// The Authenticode signature embedded in one file, read through the crypt
// functions its user hands over (CryptFunctions): whether Windows trusts it
// and its signers' certificates, for the installer library's signature
// checks. It uses nothing but the system and the C++ runtime.

#ifndef DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_FILE_SIGNATURE_H_
#define DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_FILE_SIGNATURE_H_

#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/windows/installer/authenticode/crypt_functions.h"

namespace authenticode {

// Where looking up a signer's certificate stopped.
enum class SignerLookup {
  kFound,
  kNoInfoSize,     // the size of the signer information could not be read
  kNoInfo,         // the signer information could not be read
  kNoCertificate,  // the message holds no certificate of that signer
};

// How reading a signer's name went.
enum class SignerName {
  kRead,
  kEmpty,   // the certificate's name is empty
  kFailed,  // the name could not be read
};

class FileSignature {
 public:
  // |crypt| must be complete (CryptFunctions::IsComplete).
  explicit FileSignature(const CryptFunctions& crypt);
  FileSignature(const FileSignature&) = delete;
  FileSignature& operator=(const FileSignature&) = delete;
  // Closes the store and the message, keeping the thread's last error.
  ~FileSignature();

  // WinVerifyTrust's verdict on the file |path|, 0 when Windows trusts its
  // signature: generic verification, no window, no revocation checks. |file|,
  // when not null, is the caller's open handle of that file, which the
  // verification then reads.
  LONG VerifyTrust(const wchar_t* path, HANDLE file) const;

  // Reads the signature embedded in |path| (PKCS #7, binary). False, with the
  // system's error as the last error, when there is none.
  bool Open(const wchar_t* path);

  HCERTSTORE store() const { return store_; }
  HCRYPTMSG message() const { return message_; }

  // The certificate of the signer |index| of |message|, found in |store| by
  // its issuer and serial number, and that signer's information
  // (CMSG_SIGNER_INFO) in |*signer_info|. Null when not found, with the step
  // that failed in |*lookup|. The caller frees the certificate with
  // |crypt.free_certificate|.
  static PCCERT_CONTEXT FindSignerCertificate(const CryptFunctions& crypt, HCERTSTORE store,
                                              HCRYPTMSG message, DWORD index,
                                              std::vector<uint8_t>* signer_info,
                                              SignerLookup* lookup);

  // The simple display name of the certificate |cert| into |*name|, the name
  // a product's expected signer is compared with.
  static SignerName ReadSignerName(const CryptFunctions& crypt, PCCERT_CONTEXT cert,
                                   std::wstring* name);

 private:
  const CryptFunctions crypt_;
  HCERTSTORE store_ = nullptr;
  HCRYPTMSG message_ = nullptr;
};

}  // namespace authenticode

#endif  // DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_FILE_SIGNATURE_H_
