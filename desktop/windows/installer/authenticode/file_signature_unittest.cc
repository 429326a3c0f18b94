#include "desktop/windows/installer/authenticode/file_signature.h"

#include <memory>
#include <string>
#include <vector>

#include "desktop/windows/installer/service/signature_verification.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "gtest/gtest.h"

namespace authenticode {
namespace {

const CryptFunctions& Linked() {
  return installer::LinkedCryptFunctions();
}

std::wstring Fixture(const wchar_t* name) {
  return installer::GetSignatureFixture(name).value();
}

class FileSignatureTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(installer::TrustTestRoots()); }

  installer::ScopedRealLocalMachine real_local_machine_;
};

TEST_F(FileSignatureTest, TrustsSignedFilesOnly) {
  FileSignature signature(Linked());
  EXPECT_EQ(0, signature.VerifyTrust(Fixture(L"expected.exe").c_str(), nullptr));
  EXPECT_NE(0, signature.VerifyTrust(Fixture(L"unsigned.exe").c_str(), nullptr));
  EXPECT_NE(0, signature.VerifyTrust(Fixture(L"text.txt").c_str(), nullptr));
}

// The file the caller holds is what is verified.
TEST_F(FileSignatureTest, VerifiesThroughTheCallersHandle) {
  FileSignature signature(Linked());
  for (const wchar_t* name : {L"expected.exe", L"unsigned.exe"}) {
    const std::wstring path = Fixture(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_EQ(name == std::wstring(L"expected.exe"),
              signature.VerifyTrust(path.c_str(), file) == 0) << name;
    CloseHandle(file);
  }
}

TEST_F(FileSignatureTest, OpensOnlyAnEmbeddedSignature) {
  FileSignature signature(Linked());
  EXPECT_FALSE(signature.Open(Fixture(L"unsigned.exe").c_str()));
  EXPECT_EQ(nullptr, signature.message());
  EXPECT_TRUE(signature.Open(Fixture(L"expected.exe").c_str()));
  EXPECT_NE(nullptr, signature.message());
  EXPECT_NE(nullptr, signature.store());
}

TEST_F(FileSignatureTest, FindsTheSignersCertificate) {
  FileSignature signature(Linked());
  ASSERT_TRUE(signature.Open(Fixture(L"expected.exe").c_str()));
  std::vector<uint8_t> info;
  SignerLookup lookup = SignerLookup::kNoInfo;
  PCCERT_CONTEXT cert = FileSignature::FindSignerCertificate(
      Linked(), signature.store(), signature.message(), 0, &info, &lookup);
  ASSERT_NE(nullptr, cert);
  EXPECT_EQ(SignerLookup::kFound, lookup);
  EXPECT_GE(info.size(), sizeof(CMSG_SIGNER_INFO));
  std::wstring name;
  EXPECT_EQ(SignerName::kRead, FileSignature::ReadSignerName(Linked(), cert, &name));
  EXPECT_EQ(L"Velto Software AS", name);
  CertFreeCertificateContext(cert);

  EXPECT_EQ(nullptr, FileSignature::FindSignerCertificate(
                         Linked(), signature.store(), signature.message(), 7, &info, &lookup));
  EXPECT_EQ(SignerLookup::kNoInfoSize, lookup);
}

TEST_F(FileSignatureTest, ClosingKeepsTheLastError) {
  auto signature = std::make_unique<FileSignature>(Linked());
  ASSERT_TRUE(signature->Open(Fixture(L"expected.exe").c_str()));
  SetLastError(ERROR_BAD_FORMAT);
  signature.reset();
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FORMAT), GetLastError());
}

}  // namespace
}  // namespace authenticode
