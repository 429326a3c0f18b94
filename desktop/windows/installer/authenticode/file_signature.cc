#include "desktop/windows/installer/authenticode/file_signature.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstring>

namespace authenticode {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

}  // namespace

FileSignature::FileSignature(const CryptFunctions& crypt) : crypt_(crypt) {}

FileSignature::~FileSignature() {
  const DWORD last_error = ::GetLastError();
  if (message_)
    crypt_.message_close(message_);
  if (store_)
    crypt_.close_store(store_, 0);
  ::SetLastError(last_error);
}

LONG FileSignature::VerifyTrust(const wchar_t* path, HANDLE file) const {
  WINTRUST_FILE_INFO file_info = {};
  file_info.cbStruct = sizeof(file_info);
  file_info.pcwszFilePath = path;
  file_info.hFile = file;
  WINTRUST_DATA trust_data = {};
  trust_data.cbStruct = sizeof(trust_data);
  trust_data.dwUIChoice = WTD_UI_NONE;
  trust_data.fdwRevocationChecks = WTD_REVOKE_NONE;
  trust_data.dwUnionChoice = WTD_CHOICE_FILE;
  trust_data.pFile = &file_info;
  trust_data.dwStateAction = WTD_STATEACTION_IGNORE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return crypt_.verify_trust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust_data);
}

bool FileSignature::Open(const wchar_t* path) {
  if (message_)
    crypt_.message_close(message_);
  if (store_)
    crypt_.close_store(store_, 0);
  message_ = nullptr;
  store_ = nullptr;
  DWORD encoding = 0;
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (!crypt_.query_object(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                           CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, nullptr, nullptr, &store,
                           &message, nullptr)) {
    return false;
  }
  store_ = store;
  message_ = message;
  return true;
}

// static
PCCERT_CONTEXT FileSignature::FindSignerCertificate(const CryptFunctions& crypt,
                                                    HCERTSTORE store, HCRYPTMSG message,
                                                    DWORD index,
                                                    std::vector<uint8_t>* signer_info,
                                                    SignerLookup* lookup) {
  DWORD size = 0;
  if (!crypt.message_get_param(message, CMSG_SIGNER_INFO_PARAM, index, nullptr, &size)) {
    *lookup = SignerLookup::kNoInfoSize;
    return nullptr;
  }
  signer_info->assign(size, 0);
  if (size < sizeof(CMSG_SIGNER_INFO) ||
      !crypt.message_get_param(message, CMSG_SIGNER_INFO_PARAM, index, signer_info->data(),
                               &size)) {
    *lookup = SignerLookup::kNoInfo;
    return nullptr;
  }
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_info->data());
  CERT_INFO cert_info = {};
  cert_info.Issuer = signer->Issuer;
  cert_info.SerialNumber = signer->SerialNumber;
  PCCERT_CONTEXT cert = crypt.find_certificate(store, kEncoding, 0, CERT_FIND_SUBJECT_CERT,
                                               &cert_info, nullptr);
  *lookup = cert ? SignerLookup::kFound : SignerLookup::kNoCertificate;
  return cert;
}

// static
SignerName FileSignature::ReadSignerName(const CryptFunctions& crypt, PCCERT_CONTEXT cert,
                                         std::wstring* name) {
  name->clear();
  const DWORD size =
      crypt.get_name(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (size <= 1)
    return SignerName::kEmpty;
  name->resize(size);
  if (crypt.get_name(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name->data(), size) !=
      size) {
    name->clear();
    return SignerName::kFailed;
  }
  name->resize(size - 1);
  return SignerName::kRead;
}

}  // namespace authenticode
