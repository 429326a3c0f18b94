#include "desktop/windows/installer/package_fetcher/checksum_checker.h"

#include <string>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// FIPS 180-4 test vectors.
constexpr char kEmptyDigest[] =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kAbcDigest[] =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
// "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq": a digest with a
// leading zero nibble in one byte ("0c").
constexpr char kTwoBlockMessage[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
constexpr char kTwoBlockDigest[] =
    "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";

class ChecksumCheckerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }

  base::FilePath Write(const std::string& contents) {
    base::FilePath path = dir_.GetPath().Append(L"item.bin");
    EXPECT_TRUE(base::WriteFile(path, contents));
    return path;
  }

  base::ScopedTempDir dir_;
};

TEST(Sha256HexDigestTest, MatchesTheStandardVectors) {
  EXPECT_EQ(kEmptyDigest, Sha256HexDigest(nullptr, 0));
  EXPECT_EQ(kAbcDigest, Sha256HexDigest("abc", 3));
  EXPECT_EQ(kTwoBlockDigest, Sha256HexDigest(kTwoBlockMessage, sizeof(kTwoBlockMessage) - 1));
}

TEST_F(ChecksumCheckerTest, MatchingFilePasses) {
  base::Value::Dict details;
  details.Set("untouched", 1);
  EXPECT_TRUE(ChecksumChecker::Check(Write("abc"), kAbcDigest, &details));
  EXPECT_EQ(1, details.FindInt("untouched"));
  EXPECT_TRUE(ChecksumChecker::Check(Write("abc"), kAbcDigest, nullptr));
}

TEST_F(ChecksumCheckerTest, EmptyFileHasTheDigestOfNoBytes) {
  EXPECT_TRUE(ChecksumChecker::Check(Write(""), kEmptyDigest, nullptr));
}

TEST_F(ChecksumCheckerTest, UpperCaseChecksumNeverMatches) {
  std::string upper = kAbcDigest;
  for (char& c : upper)
    c = static_cast<char>(toupper(c));
  EXPECT_FALSE(ChecksumChecker::Check(Write("abc"), upper, nullptr));
}

TEST_F(ChecksumCheckerTest, ShortMismatchShowsTheWholeFileAtBothEnds) {
  base::Value::Dict details;
  details.Set("stale", 1);
  EXPECT_FALSE(ChecksumChecker::Check(Write("abc"), kEmptyDigest, &details));
  EXPECT_FALSE(details.contains("stale"));
  EXPECT_EQ("Checksum mismatch", *details.FindString("detail"));
  EXPECT_EQ(kEmptyDigest, *details.FindString("expected_checksum"));
  EXPECT_EQ(kAbcDigest, *details.FindString("actual_checksum"));
  EXPECT_EQ(3, details.FindInt("file_length"));
  EXPECT_EQ("616263", *details.FindString("file_start"));
  EXPECT_EQ("616263", *details.FindString("file_end"));
}

TEST_F(ChecksumCheckerTest, LongMismatchShowsFiftyBytesOfEachEnd) {
  std::string contents(50, '\x01');
  contents += std::string(20, '\x7f');
  contents += std::string(49, '\xab') + '\xcd';
  base::Value::Dict details;
  EXPECT_FALSE(ChecksumChecker::Check(Write(contents), "wrong", &details));
  EXPECT_EQ(120, details.FindInt("file_length"));
  std::string start;
  for (int i = 0; i < 50; ++i)
    start += "01";
  std::string end;
  for (int i = 0; i < 49; ++i)
    end += "AB";
  end += "CD";
  EXPECT_EQ(start, *details.FindString("file_start"));
  EXPECT_EQ(end, *details.FindString("file_end"));
  EXPECT_EQ("wrong", *details.FindString("expected_checksum"));
  EXPECT_EQ(Sha256HexDigest(contents.data(), contents.size()),
            *details.FindString("actual_checksum"));
}

TEST_F(ChecksumCheckerTest, EmptyFileMismatchHasEmptyEnds) {
  base::Value::Dict details;
  EXPECT_FALSE(ChecksumChecker::Check(Write(""), kAbcDigest, &details));
  EXPECT_EQ(kEmptyDigest, *details.FindString("actual_checksum"));
  EXPECT_EQ(0, details.FindInt("file_length"));
  EXPECT_EQ("", *details.FindString("file_start"));
  EXPECT_EQ("", *details.FindString("file_end"));
}

TEST_F(ChecksumCheckerTest, MissingFileSetsOnlyTheDetail) {
  base::Value::Dict details;
  EXPECT_FALSE(
      ChecksumChecker::Check(dir_.GetPath().Append(L"missing.bin"), kEmptyDigest, &details));
  EXPECT_EQ(1u, details.size());
  EXPECT_EQ("Unable to read the file", *details.FindString("detail"));
}

}  // namespace
}  // namespace installer
