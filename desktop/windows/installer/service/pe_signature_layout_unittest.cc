#include "desktop/windows/installer/service/pe_signature_layout.h"

#include <cstring>
#include <string>

#include "base/files/file.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class PeSignatureLayoutTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.CreateUniqueTempDir()); }

  base::FilePath Write(const std::string& contents) {
    base::FilePath path = temp_.GetPath().Append(L"image.exe");
    EXPECT_TRUE(base::WriteFile(path, contents));
    return path;
  }

  base::ScopedTempDir temp_;
};

TEST_F(PeSignatureLayoutTest, DigestIgnoresChecksumAndCertificateTable) {
  std::string image;
  ASSERT_TRUE(base::ReadFileToString(GetSignatureFixture(L"expected.exe"), &image));
  std::vector<uint8_t> digest;
  ASSERT_TRUE(ComputeAuthenticodeDigest(GetSignatureFixture(L"expected.exe"),
                                        crypto::SecureHash::SHA256, &digest));
  EXPECT_EQ(32u, digest.size());

  base::File file(GetSignatureFixture(L"expected.exe"),
                  base::File::FLAG_OPEN | base::File::FLAG_READ);
  PeSignatureLayout layout;
  ASSERT_TRUE(layout.Read(&file));
  ASSERT_NE(0u, layout.certificate_table_size);
  EXPECT_EQ(static_cast<int64_t>(image.size()),
            int64_t{layout.certificate_table_offset} + layout.certificate_table_size);

  // Changing the checksum or the table's own bytes keeps the digest.
  std::string changed = image;
  changed[layout.checksum_offset] ^= 0x5A;
  changed[layout.certificate_table_offset + layout.certificate_table_size / 2] ^= 0x5A;
  std::vector<uint8_t> same;
  ASSERT_TRUE(ComputeAuthenticodeDigest(Write(changed), crypto::SecureHash::SHA256, &same));
  EXPECT_EQ(digest, same);

  // Changing a byte of the image changes it.
  changed = image;
  changed[layout.certificate_table_offset - 1] ^= 0x5A;
  std::vector<uint8_t> other;
  ASSERT_TRUE(ComputeAuthenticodeDigest(Write(changed), crypto::SecureHash::SHA256, &other));
  EXPECT_NE(digest, other);
}

TEST_F(PeSignatureLayoutTest, DigestRefusesTableOutsideTheFile) {
  std::string image;
  ASSERT_TRUE(base::ReadFileToString(GetSignatureFixture(L"expected.exe"), &image));
  base::File file(GetSignatureFixture(L"expected.exe"),
                  base::File::FLAG_OPEN | base::File::FLAG_READ);
  PeSignatureLayout layout;
  ASSERT_TRUE(layout.Read(&file));
  std::vector<uint8_t> digest;

  // A size that runs past the end, and one that overflows 32 bits with the offset.
  for (uint32_t size : {layout.certificate_table_size + 1, 0xFFFFFFF0u}) {
    std::string hostile = image;
    memcpy(&hostile[layout.certificate_entry_offset + 4], &size, sizeof(size));
    EXPECT_FALSE(ComputeAuthenticodeDigest(Write(hostile), crypto::SecureHash::SHA256, &digest));
  }
  // A table that starts inside the headers.
  std::string hostile = image;
  const uint32_t offset = 16;
  memcpy(&hostile[layout.certificate_entry_offset], &offset, sizeof(offset));
  EXPECT_FALSE(ComputeAuthenticodeDigest(Write(hostile), crypto::SecureHash::SHA256, &digest));
}

TEST_F(PeSignatureLayoutTest, UnsignedImageHasNoDigest) {
  std::vector<uint8_t> digest;
  EXPECT_FALSE(ComputeAuthenticodeDigest(GetSignatureFixture(L"unsigned.exe"),
                                         crypto::SecureHash::SHA256, &digest));
}

}  // namespace
}  // namespace installer
