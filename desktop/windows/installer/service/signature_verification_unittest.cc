#include "desktop/windows/installer/service/signature_verification.h"

#include <cstring>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Offsets in the minimal images the tests build: NT headers at 64, the
// optional header at 88.
constexpr size_t kNtHeaders = 64;
constexpr size_t kOptionalHeader = kNtHeaders + 24;

void Put32(std::string* image, size_t offset, uint32_t value) {
  memcpy(&(*image)[offset], &value, sizeof(value));
}

void Put16(std::string* image, size_t offset, uint16_t value) {
  memcpy(&(*image)[offset], &value, sizeof(value));
}

// A header-only image of either kind with sixteen data directories, whose
// certificate table entry has |table_size|.
std::string MakeImage(bool pe32_plus, uint32_t table_size) {
  const size_t directories = pe32_plus ? 112 : 96;
  std::string image(kOptionalHeader + directories + 16 * 8, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(&image, 60, kNtHeaders);
  memcpy(&image[kNtHeaders], "PE\0\0", 4);
  Put16(&image, kNtHeaders + 20, static_cast<uint16_t>(directories + 16 * 8));
  Put16(&image, kOptionalHeader, pe32_plus ? 0x20b : 0x10b);
  Put32(&image, kOptionalHeader + directories - 4, 16);
  Put32(&image, kOptionalHeader + directories + 4 * 8, 0x400);
  Put32(&image, kOptionalHeader + directories + 4 * 8 + 4, table_size);
  return image;
}

class SignatureVerificationTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(TrustTestRoots());
  }

  base::FilePath Write(const std::string& contents) {
    base::FilePath path = temp_.GetPath().Append(L"file" + std::to_wstring(++count_) + L".exe");
    EXPECT_TRUE(base::WriteFile(path, contents));
    return path;
  }

  // IsFileSigned as one value: -1 test failed, 0 unsigned, 1 signed.
  int SignedState(const base::FilePath& path) {
    bool is_signed = false;
    if (!IsFileSigned(path, &is_signed))
      return -1;
    return is_signed ? 1 : 0;
  }

  ScopedRealLocalMachine real_local_machine_;
  base::ScopedTempDir temp_;
  int count_ = 0;
};

TEST_F(SignatureVerificationTest, IsFileSignedOnRealFiles) {
  EXPECT_EQ(0, SignedState(GetSignatureFixture(L"unsigned.exe")));
  EXPECT_EQ(1, SignedState(GetSignatureFixture(L"expected.exe")));
  EXPECT_EQ(1, SignedState(GetSignatureFixture(L"nested.exe")));
  EXPECT_EQ(-1, SignedState(GetSignatureFixture(L"text.txt")));
  EXPECT_EQ(-1, SignedState(temp_.GetPath().Append(L"missing.exe")));
}

TEST_F(SignatureVerificationTest, IsFileSignedReadsTheTableOfBothImageKinds) {
  EXPECT_EQ(1, SignedState(Write(MakeImage(true, 0x200))));
  EXPECT_EQ(0, SignedState(Write(MakeImage(true, 0))));
  EXPECT_EQ(1, SignedState(Write(MakeImage(false, 0x200))));
  EXPECT_EQ(0, SignedState(Write(MakeImage(false, 0))));

  // A 32-bit image is not judged by the place the 64-bit layout uses.
  std::string image = MakeImage(false, 0);
  Put32(&image, kOptionalHeader + 148, 0x200);
  EXPECT_EQ(0, SignedState(Write(image)));
}

TEST_F(SignatureVerificationTest, IsFileSignedRefusesHostileHeaders) {
  const std::string good = MakeImage(true, 0x200);

  EXPECT_EQ(-1, SignedState(Write("")));
  EXPECT_EQ(-1, SignedState(Write("MZ")));
  // The NT header offset past the end, at the very end, and wrapping around.
  for (uint32_t offset : {0x10000u, static_cast<uint32_t>(good.size()) - 2, 0xFFFFFFF8u}) {
    std::string image = good;
    Put32(&image, 60, offset);
    EXPECT_EQ(-1, SignedState(Write(image))) << offset;
  }
  // Cut inside the optional header, just before the table's size field.
  EXPECT_EQ(-1, SignedState(Write(good.substr(0, kOptionalHeader + 40))));
  EXPECT_EQ(-1, SignedState(Write(good.substr(0, kOptionalHeader + 150))));
  // Neither kind of optional header.
  std::string image = good;
  Put16(&image, kOptionalHeader, 0x107);
  EXPECT_EQ(-1, SignedState(Write(image)));
  // Too few directories, or an optional header too small to hold the entry:
  // there is no table, whatever the bytes there say.
  image = good;
  Put32(&image, kOptionalHeader + 108, 4);
  EXPECT_EQ(0, SignedState(Write(image)));
  image = good;
  Put16(&image, kNtHeaders + 20, 112 + 4 * 8);
  EXPECT_EQ(0, SignedState(Write(image)));
}

TEST_F(SignatureVerificationTest, ExpectedSignerPasses) {
  std::string error;
  EXPECT_TRUE(VerifyFileSignature(GetSignatureFixture(L"expected.exe"), &error)) << error;
  EXPECT_TRUE(VerifyFileSignature(GetSignatureFixture(L"expected.exe"), nullptr));
}

TEST_F(SignatureVerificationTest, UnsignedFileFailsWithBothReasons) {
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(GetSignatureFixture(L"unsigned.exe"), &error));
  const size_t trust = error.find("Cannot WinVerifyTrust: ");
  const size_t query = error.find("Cannot CryptQueryObject:");
  ASSERT_NE(std::string::npos, trust) << error;
  ASSERT_NE(std::string::npos, query) << error;
  EXPECT_LT(trust, query);
  EXPECT_FALSE(VerifyFileSignature(GetSignatureFixture(L"unsigned.exe"), nullptr));
}

TEST_F(SignatureVerificationTest, OtherSignerFailsNamingIt) {
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(GetSignatureFixture(L"other.exe"), &error));
  EXPECT_NE(std::string::npos, error.find("Level 0: Tried signer Other Publisher Ltd\n")) << error;
  EXPECT_NE(std::string::npos, error.find("Trust chain:")) << error;
  EXPECT_NE(std::string::npos, error.find("Cannot find any viable signers\n")) << error;
  EXPECT_EQ(std::string::npos, error.find("Cannot WinVerifyTrust")) << error;
}

TEST_F(SignatureVerificationTest, NestedExpectedSignerPasses) {
  std::string error;
  EXPECT_TRUE(VerifyFileSignature(GetSignatureFixture(L"nested.exe"), &error)) << error;
  EXPECT_NE(std::string::npos, error.find("Level 0: Tried signer Other Publisher Ltd\n")) << error;
}

TEST_F(SignatureVerificationTest, NestedOtherSignerFailsNamingEachLevel) {
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(GetSignatureFixture(L"nested_other.exe"), &error));
  EXPECT_NE(std::string::npos, error.find("Level 0: Tried signer Other Publisher Ltd\n")) << error;
  EXPECT_NE(std::string::npos, error.find("Level 1: Tried signer Other Publisher Ltd\n")) << error;
}

TEST_F(SignatureVerificationTest, NestedSignatureOfAnotherFileDoesNotCount) {
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(GetSignatureFixture(L"forged_nested.exe"), &error));
  EXPECT_NE(std::string::npos, error.find("Nested signature does not cover this file\n")) << error;
  EXPECT_NE(std::string::npos, error.find("Level 1: Tried signer Velto Software AS\n")) << error;
}

TEST_F(SignatureVerificationTest, NestedSignerWithTheNameButNoTrustDoesNotCount) {
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(GetSignatureFixture(L"impostor_nested.exe"), &error));
  EXPECT_NE(std::string::npos, error.find("Nested signer is not trusted\n")) << error;
}

TEST_F(SignatureVerificationTest, ChangedSignedFileFails) {
  std::string image;
  ASSERT_TRUE(base::ReadFileToString(GetSignatureFixture(L"nested.exe"), &image));
  image[0x200] ^= 0x01;
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(Write(image), &error));
}

TEST_F(SignatureVerificationTest, HostileCertificateTableIsRefused) {
  std::string image;
  ASSERT_TRUE(base::ReadFileToString(GetSignatureFixture(L"expected.exe"), &image));
  // Point the 64-bit image's table size far past the end of the file.
  uint32_t nt_offset = 0;
  memcpy(&nt_offset, &image[60], sizeof(nt_offset));
  Put32(&image, nt_offset + 24 + 148, 0x7FFFFFF0);
  std::string error;
  EXPECT_FALSE(VerifyFileSignature(Write(image), &error));
  EXPECT_EQ("Certificate table lies outside the file\n", error);
  EXPECT_FALSE(VerifyFileSignature(Write(image), nullptr));
}

}  // namespace
}  // namespace installer
