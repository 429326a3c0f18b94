#include "desktop/windows/installer/service/signature_verification.h"

#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <iterator>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/files/file.h"
#include "base/logging.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_crypt.h"
#include "desktop/windows/installer/authenticode/file_signature.h"
#include "desktop/windows/installer/authenticode/running_image.h"
#include "desktop/windows/installer/service/pe_signature_layout.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr char kNestedSignatureOid[] = "1.3.6.1.4.1.311.2.4.1";
// Signatures nest one level in practice; a file that nests deeper than this
// is not followed further (each level costs stack).
constexpr int kMaxNestingDepth = 8;

// Where the signer check says what it tried. A disabled log discards
// everything and records no trust chains.
class CheckLog {
 public:
  explicit CheckLog(bool enabled) : enabled_(enabled) {}

  bool records_chains() const { return enabled_; }
  std::string text() const { return text_.str(); }

  template <class T>
  CheckLog& operator<<(const T& value) {
    if (enabled_)
      text_ << value;
    return *this;
  }

 private:
  const bool enabled_;
  std::ostringstream text_;
};

// What one check of a file's signers works with.
struct SignerCheck {
  base::FilePath path;
  std::wstring expected_signer;
  CheckLog* log;
};

// One DER element: its tag and its contents.
struct DerElement {
  uint8_t tag = 0;
  const uint8_t* contents = nullptr;
  size_t size = 0;
};

// Reads the element at |*data| and moves |*data| past it. Only definite
// lengths of up to four bytes are accepted.
bool ReadDerElement(const uint8_t** data, const uint8_t* end, DerElement* element) {
  const uint8_t* p = *data;
  if (end - p < 2)
    return false;
  element->tag = *p++;
  size_t size = *p++;
  if (size & 0x80) {
    const size_t length_bytes = size & 0x7F;
    if (length_bytes == 0 || length_bytes > 4 || static_cast<size_t>(end - p) < length_bytes)
      return false;
    size = 0;
    for (size_t i = 0; i < length_bytes; ++i)
      size = (size << 8) | *p++;
  }
  if (static_cast<size_t>(end - p) < size)
    return false;
  element->contents = p;
  element->size = size;
  *data = p + size;
  return true;
}

// The digest algorithm and the image digest of an Authenticode content
// (SpcIndirectDataContent: SEQUENCE { data, DigestInfo }), given either as the
// whole SEQUENCE or as its contents.
bool ParseIndirectData(const std::vector<uint8_t>& content,
                       crypto::SecureHash::Algorithm* algorithm,
                       std::vector<uint8_t>* digest) {
  static constexpr uint8_t kSha1Oid[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
  static constexpr uint8_t kSha256Oid[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
  constexpr uint8_t kSequence = 0x30, kOid = 0x06, kOctetString = 0x04;

  const uint8_t* p = content.data();
  const uint8_t* end = p + content.size();
  DerElement outer;
  const uint8_t* q = p;
  if (ReadDerElement(&q, end, &outer) && outer.tag == kSequence && q == end) {
    p = outer.contents;
    end = p + outer.size;
  }
  DerElement data, digest_info;
  if (!ReadDerElement(&p, end, &data) || data.tag != kSequence ||
      !ReadDerElement(&p, end, &digest_info) || digest_info.tag != kSequence) {
    return false;
  }
  p = digest_info.contents;
  end = p + digest_info.size;
  DerElement algorithm_id, value;
  if (!ReadDerElement(&p, end, &algorithm_id) || algorithm_id.tag != kSequence ||
      !ReadDerElement(&p, end, &value) || value.tag != kOctetString) {
    return false;
  }
  const uint8_t* a = algorithm_id.contents;
  DerElement oid;
  if (!ReadDerElement(&a, a + algorithm_id.size, &oid) || oid.tag != kOid)
    return false;
  if (oid.size == sizeof(kSha1Oid) && !memcmp(oid.contents, kSha1Oid, oid.size))
    *algorithm = crypto::SecureHash::SHA1;
  else if (oid.size == sizeof(kSha256Oid) && !memcmp(oid.contents, kSha256Oid, oid.size))
    *algorithm = crypto::SecureHash::SHA256;
  else
    return false;
  digest->assign(value.contents, value.contents + value.size);
  return true;
}

// Reads a message parameter of any size.
bool GetMsgParam(HCRYPTMSG message, DWORD type, DWORD index, std::vector<uint8_t>* out) {
  DWORD size = 0;
  if (!CryptMsgGetParam(message, type, index, nullptr, &size))
    return false;
  out->resize(size);
  if (size && !CryptMsgGetParam(message, type, index, out->data(), &size))
    return false;
  out->resize(size);
  return true;
}

// Whether |cert|'s chain satisfies the system's Authenticode policy, as the
// primary signer's does inside WinVerifyTrust.
bool IsChainTrusted(PCCERT_CONTEXT cert, HCERTSTORE store) {
  CERT_CHAIN_PARA para = {};
  para.cbSize = sizeof(para);
  PCCERT_CHAIN_CONTEXT raw_chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, store, &para, 0, nullptr, &raw_chain))
    return false;
  base::win::ScopedCertChain chain(raw_chain);
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof(policy);
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof(status);
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain.Get(), &policy,
                                          &status) &&
         status.dwError == 0;
}

// A nested signature is not checked by WinVerifyTrust, which looks at the
// primary one only: it counts when its signer's certificate is trusted, its
// signature over its content holds and that content names this file's image
// digest.
bool IsNestedSignatureValid(HCERTSTORE store, HCRYPTMSG message, DWORD signer_index,
                            PCCERT_CONTEXT cert, const SignerCheck& check) {
  if (!IsChainTrusted(cert, store)) {
    *check.log << "Nested signer is not trusted\n";
    return false;
  }
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA para = {};
  para.cbSize = sizeof(para);
  para.dwSignerIndex = signer_index;
  para.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  para.pvSigner = const_cast<CERT_CONTEXT*>(cert);
  if (!CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &para)) {
    *check.log << "Nested signature does not verify\n";
    return false;
  }
  std::vector<uint8_t> content;
  crypto::SecureHash::Algorithm algorithm;
  std::vector<uint8_t> signed_digest;
  std::vector<uint8_t> file_digest;
  if (!GetMsgParam(message, CMSG_CONTENT_PARAM, 0, &content) ||
      !ParseIndirectData(content, &algorithm, &signed_digest)) {
    *check.log << "Cannot read nested signature content\n";
    return false;
  }
  if (!ComputeAuthenticodeDigest(check.path, algorithm, &file_digest) ||
      file_digest != signed_digest) {
    *check.log << "Nested signature does not cover this file\n";
    return false;
  }
  return true;
}

void LogTrustChain(PCCERT_CONTEXT cert, HCERTSTORE store, CheckLog* log) {
  CERT_CHAIN_PARA para = {};
  para.cbSize = sizeof(para);
  PCCERT_CHAIN_CONTEXT raw_chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, store, &para, 0, nullptr, &raw_chain)) {
    *log << "Cannot get trust chain\n";
    return;
  }
  base::win::ScopedCertChain chain(raw_chain);
  *log << "Chain trust status: " << chain.Get()->TrustStatus.dwErrorStatus << "\n";
  for (DWORD i = 0; i < chain.Get()->cChain; ++i) {
    const CERT_SIMPLE_CHAIN* simple = chain.Get()->rgpChain[i];
    for (DWORD j = 0; j < simple->cElement; ++j) {
      PCCERT_CONTEXT element = simple->rgpElement[j]->pCertContext;
      wchar_t name[256] = {};
      CertGetNameStringW(element, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
      BYTE hash[20] = {};
      DWORD hash_size = sizeof(hash);
      if (!CertGetCertificateContextProperty(element, CERT_SHA1_HASH_PROP_ID, hash, &hash_size))
        hash_size = 0;
      *log << "Chain " << i << " element: " << j << " " << base::WideToUTF8(name) << " "
           << base::HexEncode(hash, hash_size) << "\n";
    }
  }
}

bool CheckSigners(HCERTSTORE store, HCRYPTMSG message, int depth, const SignerCheck& check);

// Checks the nested signatures among |signer|'s unauthenticated attributes.
bool CheckNestedSignatures(const CMSG_SIGNER_INFO& signer, int depth,
                           const SignerCheck& check) {
  if (depth >= kMaxNestingDepth)
    return false;
  for (DWORD i = 0; i < signer.UnauthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.UnauthAttrs.rgAttr[i];
    if (!attribute.pszObjId || strcmp(attribute.pszObjId, kNestedSignatureOid) != 0 ||
        attribute.cValue == 0) {
      continue;
    }
    base::win::ScopedCryptMsg nested(
        CryptMsgOpenToDecode(kEncoding, 0, 0, 0, nullptr, nullptr));
    if (!nested.IsValid() ||
        !CryptMsgUpdate(nested.Get(), attribute.rgValue[0].pbData, attribute.rgValue[0].cbData,
                        TRUE)) {
      continue;
    }
    base::win::ScopedCertStore nested_store(
        CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, nested.Get()));
    if (!nested_store.IsValid())
      continue;
    if (CheckSigners(nested_store.Get(), nested.Get(), depth + 1, check))
      return true;
  }
  return false;
}

bool CheckSigners(HCERTSTORE store, HCRYPTMSG message, int depth, const SignerCheck& check) {
  CheckLog& log = *check.log;
  DWORD count = 0;
  DWORD count_size = sizeof(count);
  if (!CryptMsgGetParam(message, CMSG_SIGNER_COUNT_PARAM, 0, &count, &count_size)) {
    log << "Cannot get signer count\n";
    return false;
  }
  for (DWORD index = 0; index < count; ++index) {
    std::vector<uint8_t> buffer;
    authenticode::SignerLookup lookup;
    base::win::ScopedCertContext cert(authenticode::FileSignature::FindSignerCertificate(
        LinkedCryptFunctions(), store, message, index, &buffer, &lookup));
    if (lookup == authenticode::SignerLookup::kNoInfoSize) {
      log << "Cannot get signer size\n";
      continue;
    }
    if (lookup == authenticode::SignerLookup::kNoInfo) {
      log << "Cannot get signer info\n";
      continue;
    }
    if (!cert.IsValid()) {
      log << "Cannot find certificate info in store\n";
      continue;
    }
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    if (log.records_chains()) {
      log << "Trust chain:\n";
      LogTrustChain(cert.Get(), store, &log);
    }
    std::wstring name;
    switch (authenticode::FileSignature::ReadSignerName(LinkedCryptFunctions(), cert.Get(),
                                                        &name)) {
      case authenticode::SignerName::kEmpty:
        log << "Cert signer name has 0 size\n";
        break;
      case authenticode::SignerName::kFailed:
        log << "Cannot get signer name\n";
        break;
      case authenticode::SignerName::kRead:
        break;
    }
    if (!name.empty() && name == check.expected_signer &&
        (depth == 0 || IsNestedSignatureValid(store, message, index, cert.Get(), check))) {
      return true;
    }
    log << "Level " << depth << ": " << "Tried signer " << base::WideToUTF8(name) << "\n";
    if (CheckNestedSignatures(*signer, depth, check))
      return true;
  }
  log << "Cannot find any viable signers\n";
  return false;
}

}  // namespace

bool IsFileSigned(const base::FilePath& path, bool* is_signed) {
  CHECK(is_signed);
  base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
  if (!file.IsValid())
    return false;
  PeSignatureLayout layout;
  if (!layout.Read(&file))
    return false;
  *is_signed = layout.certificate_table_size != 0;
  return true;
}

bool VerifyFileSignature(const base::FilePath& path, std::string* error) {
  // A certificate table that claims to reach past the end of the file is
  // refused before the system's parsers see it.
  {
    base::File file(path, base::File::FLAG_OPEN | base::File::FLAG_READ);
    PeSignatureLayout layout;
    if (file.IsValid() && layout.Read(&file) && layout.certificate_table_size != 0 &&
        !layout.HasTableInsideFile()) {
      if (error)
        *error += "Certificate table lies outside the file\n";
      return false;
    }
  }
  authenticode::FileSignature signature(LinkedCryptFunctions());
  const LONG status = signature.VerifyTrust(path.value().c_str(), nullptr);
  if (status != 0 && error) {
    char line[64];
    snprintf(line, sizeof(line), "Cannot WinVerifyTrust: %ld, ", status);
    *error += line + logging::SystemErrorCodeToString(static_cast<DWORD>(status)) + "\n";
  }

  if (!signature.Open(path.value().c_str())) {
    if (error) {
      *error += "Cannot CryptQueryObject:" +
                logging::SystemErrorCodeToString(GetLastError()) + "\n";
    }
    return false;
  }

  CheckLog log(error != nullptr);
  const SignerCheck check = {path, base::UTF8ToWide(ProductConfig::GetExpectedSigner()), &log};
  const bool signer_found = CheckSigners(signature.store(), signature.message(), 0, check);
  if (error)
    *error += log.text();
  // The store and the message close with |signature|, the last error kept.
  return status == 0 && signer_found;
}

const authenticode::CryptFunctions& LinkedCryptFunctions() {
  static const authenticode::CryptFunctions functions = {
      &::WinVerifyTrust,   &::CryptQueryObject,           &::CryptMsgGetParam,
      &::CryptMsgClose,    &::CertFindCertificateInStore, &::CertFreeCertificateContext,
      &::CertCloseStore,   &::CertGetNameStringW};
  return functions;
}

bool IsRunningExecutableUnsigned() {
  // The image as it was mapped, not the file at its path now: a file put
  // there since the process started cannot make it count as unsigned.
  return authenticode::RunningImage().IsUnsigned();
}

}  // namespace installer
