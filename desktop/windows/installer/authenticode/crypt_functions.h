// The crypt32 and wintrust functions that the Authenticode checks call, as a
// table that their user fills: the installer library with the functions it
// links (installer::LinkedCryptFunctions).

#ifndef DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_CRYPT_FUNCTIONS_H_
#define DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_CRYPT_FUNCTIONS_H_

#include <windows.h>

#include <wincrypt.h>
#include <wintrust.h>

namespace authenticode {

struct CryptFunctions {
  decltype(&::WinVerifyTrust) verify_trust = nullptr;
  decltype(&::CryptQueryObject) query_object = nullptr;
  decltype(&::CryptMsgGetParam) message_get_param = nullptr;
  decltype(&::CryptMsgClose) message_close = nullptr;
  decltype(&::CertFindCertificateInStore) find_certificate = nullptr;
  decltype(&::CertFreeCertificateContext) free_certificate = nullptr;
  decltype(&::CertCloseStore) close_store = nullptr;
  decltype(&::CertGetNameStringW) get_name = nullptr;

  bool IsComplete() const {
    return verify_trust && query_object && message_get_param && message_close &&
           find_certificate && free_certificate && close_store && get_name;
  }
};

}  // namespace authenticode

#endif  // DESKTOP_WINDOWS_INSTALLER_AUTHENTICODE_CRYPT_FUNCTIONS_H_
