// The signed executables that tests/fixtures/signatures makes at build time
// (see make_signature_fixtures.py there for what each one is), and the
// trusted roots signature checks need.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_SIGNATURE_FIXTURES_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_SIGNATURE_FIXTURES_H_

#include <windows.h>

#include <wincrypt.h>

#include <string>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/files/file_path.h"
#include "base/path_service.h"
#include "desktop/windows/installer/service/test/scoped_real_local_machine.h"
#include "gtest/gtest.h"

namespace installer {

inline base::FilePath GetSignatureFixture(const std::wstring& name) {
  base::FilePath exe_dir;
  base::PathService::Get(base::DIR_EXE, &exe_dir);
  return exe_dir.DirName().Append(L"fixtures").Append(L"signatures").Append(name);
}

// Makes the test signing certificates trusted roots of the current user.
// The user's root store lives in HKEY_CURRENT_USER, which is the test
// process's scratch hive: nothing outside the test sees them. The chain engine
// reads the store when it is first used, so call this before any check.
inline bool TrustTestRoots();

// Trusts the test roots when a test process starts, before any test can build
// a certificate chain, and builds one at once: Wine's default chain engine
// reads the trusted roots once, when it is first used, and keeps that copy for
// the process's life, so whatever test builds the first chain (a download
// over HTTPS, say) would otherwise decide what every later signature check in
// the process trusts. Every test executable that includes this header gets it.
class TestRootsEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    // The engine is made here, and with the cryptographic providers it finds
    // only under the real HKEY_LOCAL_MACHINE, as the checks themselves run.
    ScopedRealLocalMachine real_local_machine;
    ASSERT_TRUE(TrustTestRoots());
    std::string der;
    ASSERT_TRUE(base::ReadFileToString(GetSignatureFixture(L"expected.cer"), &der));
    PCCERT_CONTEXT cert = CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()));
    ASSERT_TRUE(cert);
    CERT_CHAIN_PARA para = {sizeof(para)};
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const bool built =
        CertGetCertificateChain(nullptr, cert, nullptr, nullptr, &para, 0, nullptr, &chain);
    CertFreeCertificateContext(cert);
    ASSERT_TRUE(built);
    const DWORD status = chain->TrustStatus.dwErrorStatus;
    CertFreeCertificateChain(chain);
    EXPECT_EQ(0u, status & CERT_TRUST_IS_UNTRUSTED_ROOT);
  }
};

inline testing::Environment* const kTestRootsEnvironment =
    testing::AddGlobalTestEnvironment(new TestRootsEnvironment());

inline bool TrustTestRoots() {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                   CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  if (!store)
    return false;
  bool added = true;
  for (const wchar_t* name : {L"expected.cer", L"other.cer"}) {
    std::string der;
    added = added && base::ReadFileToString(GetSignatureFixture(name), &der) &&
            CertAddEncodedCertificateToStore(
                store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  }
  CertCloseStore(store, 0);
  return added;
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_SIGNATURE_FIXTURES_H_
