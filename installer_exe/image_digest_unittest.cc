#include "installer_exe/image_digest.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "gtest/gtest.h"

namespace {

using installer::GetSignatureFixture;

// What Compute said about one file.
struct Outcome {
  bool computed = false;
  DWORD error = 0;
  ImageDigest::Value digest = {};
};

Outcome DigestOf(const base::FilePath& path) {
  Outcome outcome;
  HANDLE file = CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, file) << path.value();
  outcome.computed = ImageDigest::Compute(file, &outcome.digest);
  outcome.error = outcome.computed ? 0 : GetLastError();
  CloseHandle(file);
  return outcome;
}

ImageDigest::Value ComputedDigest(const base::FilePath& path) {
  const Outcome outcome = DigestOf(path);
  EXPECT_TRUE(outcome.computed) << path.value() << ": error " << outcome.error;
  return outcome.digest;
}

std::string Read(const base::FilePath& path) {
  std::string image;
  EXPECT_TRUE(base::ReadFileToString(path, &image)) << path.value();
  return image;
}

uint32_t Field32(const std::string& image, size_t offset) {
  uint32_t value;
  std::memcpy(&value, image.data() + offset, sizeof(value));
  return value;
}

void SetField32(std::string* image, size_t offset, uint32_t value) {
  std::memcpy(image->data() + offset, &value, sizeof(value));
}

// Offsets in a PE32+ image (the fixtures are x86-64 programs).
size_t OptionalHeader(const std::string& image) {
  return Field32(image, 0x3C) + 24;
}
size_t CheckSum(const std::string& image) {
  return OptionalHeader(image) + 64;
}
size_t SecurityEntry(const std::string& image) {
  return OptionalHeader(image) + 112 + 4 * 8;
}
// The first section's data in the file.
size_t FirstSectionData(const std::string& image) {
  const size_t optional_size = *reinterpret_cast<const uint16_t*>(image.data() +
                                                                   Field32(image, 0x3C) + 20);
  return Field32(image, OptionalHeader(image) + optional_size + 20);
}

class ImageDigestTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.CreateUniqueTempDir()); }

  // |image| written to a file of its own.
  base::FilePath Write(const std::string& image) {
    const base::FilePath path =
        temp_.GetPath().Append(L"image" + std::to_wstring(++written_) + L".exe");
    EXPECT_TRUE(base::WriteFile(path, image));
    return path;
  }

  base::ScopedTempDir temp_;
  int written_ = 0;
};

// One program, unsigned, signed with SHA-256 or SHA-1, by one certificate or
// another, once or twice: one digest.
TEST_F(ImageDigestTest, SigningLeavesTheDigestAsItWas) {
  const ImageDigest::Value digest = ComputedDigest(GetSignatureFixture(L"unsigned.exe"));
  for (const wchar_t* name : {L"expected.exe", L"other.exe", L"nested.exe", L"impostor.exe"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(digest, ComputedDigest(GetSignatureFixture(name)));
  }
}

// Signing pads a file to a multiple of 8 bytes before it appends its table.
TEST_F(ImageDigestTest, PaddingBeforeTheTableIsLeftOut) {
  const std::string unaligned = Read(GetSignatureFixture(L"unaligned.exe"));
  ASSERT_NE(0u, unaligned.size() % 8);
  const std::string padded = Read(GetSignatureFixture(L"unaligned_signed.exe"));
  ASSERT_LT(unaligned.size(), Field32(padded, SecurityEntry(padded)));
  EXPECT_EQ(ComputedDigest(GetSignatureFixture(L"unaligned.exe")),
            ComputedDigest(GetSignatureFixture(L"unaligned_signed.exe")));
  EXPECT_NE(ComputedDigest(GetSignatureFixture(L"unaligned.exe")),
            ComputedDigest(GetSignatureFixture(L"unsigned.exe")));
}

TEST_F(ImageDigestTest, CheckSumIsLeftOut) {
  const base::FilePath fixture = GetSignatureFixture(L"unsigned.exe");
  std::string image = Read(fixture);
  SetField32(&image, CheckSum(image), Field32(image, CheckSum(image)) ^ 0x5A5A5A5A);
  EXPECT_EQ(ComputedDigest(fixture), ComputedDigest(Write(image)));
}

// Another build: a byte of the code, of the headers, or data appended.
TEST_F(ImageDigestTest, EveryOtherByteCounts) {
  const base::FilePath fixture = GetSignatureFixture(L"unsigned.exe");
  const std::string image = Read(fixture);
  const ImageDigest::Value digest = ComputedDigest(fixture);
  const size_t time_stamp = Field32(image, 0x3C) + 8;
  for (size_t offset : {FirstSectionData(image), FirstSectionData(image) + 100, time_stamp}) {
    SCOPED_TRACE(offset);
    std::string changed = image;
    changed[offset] = static_cast<char>(changed[offset] ^ 0x01);
    EXPECT_NE(digest, ComputedDigest(Write(changed)));
  }
  EXPECT_NE(digest, ComputedDigest(GetSignatureFixture(L"different.exe")));
  EXPECT_NE(digest, ComputedDigest(GetSignatureFixture(L"different_signed.exe")));
}

// The bytes a certificate table claims are left out: a table over what the
// loader maps, or one that does not end the file, is refused.
TEST_F(ImageDigestTest, RefusesATableAnywhereButAtTheEnd) {
  const std::string signed_image = Read(GetSignatureFixture(L"expected.exe"));
  const size_t entry = SecurityEntry(signed_image);
  std::string over_code = signed_image;
  const uint32_t code = static_cast<uint32_t>(FirstSectionData(over_code));
  SetField32(&over_code, entry, code);
  SetField32(&over_code, entry + 4, static_cast<uint32_t>(over_code.size() - code));
  std::string followed = signed_image + std::string(8, '\0');
  for (const std::string* image : {&over_code, &followed}) {
    const Outcome outcome = DigestOf(Write(*image));
    EXPECT_FALSE(outcome.computed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), outcome.error);
  }
  // The same table where it belongs.
  EXPECT_TRUE(DigestOf(Write(signed_image)).computed);
}

TEST_F(ImageDigestTest, RefusesWhatIsNoImage) {
  const std::string image = Read(GetSignatureFixture(L"unsigned.exe"));
  std::string no_pe = image;
  no_pe[Field32(image, 0x3C)] = 'X';
  for (const base::FilePath& path :
       {GetSignatureFixture(L"text.txt"), Write(""), Write(image.substr(0, 0x40)),
        Write(image.substr(0, OptionalHeader(image) + 16)), Write(no_pe)}) {
    SCOPED_TRACE(path.value());
    const Outcome outcome = DigestOf(path);
    EXPECT_FALSE(outcome.computed);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), outcome.error);
  }
}

}  // namespace
