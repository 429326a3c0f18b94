// Owners of CryptoAPI objects that release them when they go out of scope:
// certificate stores, cryptographic messages, certificate contexts and
// certificate chains. Move-only, like every GenericScopedHandle.

#ifndef BASE_WIN_SCOPED_CRYPT_H_
#define BASE_WIN_SCOPED_CRYPT_H_

#include <windows.h>

#include <wincrypt.h>

#include "base/win/scoped_handle.h"

namespace base::win {

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static bool CloseHandle(Handle handle) { return CertCloseStore(handle, 0) != FALSE; }
  static bool IsHandleValid(Handle handle) { return handle != nullptr; }
  static Handle NullHandle() { return nullptr; }
};
using ScopedCertStore = GenericScopedHandle<CertStoreTraits>;

struct CryptMsgTraits {
  using Handle = HCRYPTMSG;
  static bool CloseHandle(Handle handle) { return CryptMsgClose(handle) != FALSE; }
  static bool IsHandleValid(Handle handle) { return handle != nullptr; }
  static Handle NullHandle() { return nullptr; }
};
using ScopedCryptMsg = GenericScopedHandle<CryptMsgTraits>;

struct CertContextTraits {
  using Handle = PCCERT_CONTEXT;
  static bool CloseHandle(Handle handle) { return CertFreeCertificateContext(handle) != FALSE; }
  static bool IsHandleValid(Handle handle) { return handle != nullptr; }
  static Handle NullHandle() { return nullptr; }
};
using ScopedCertContext = GenericScopedHandle<CertContextTraits>;

struct CertChainTraits {
  using Handle = PCCERT_CHAIN_CONTEXT;
  static bool CloseHandle(Handle handle) {
    CertFreeCertificateChain(handle);
    return true;
  }
  static bool IsHandleValid(Handle handle) { return handle != nullptr; }
  static Handle NullHandle() { return nullptr; }
};
using ScopedCertChain = GenericScopedHandle<CertChainTraits>;

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_CRYPT_H_
