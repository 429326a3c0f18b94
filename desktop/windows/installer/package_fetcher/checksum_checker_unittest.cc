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

TEST_F(ChecksumCheckerTest, OnlyTheLowerCaseDigestMatchesAndLeavesTheDetailsAlone) {
  base::Value::Dict details;
  details.Set("untouched", 1);
  EXPECT_TRUE(ChecksumChecker::Check(Write("abc"), kAbcDigest, &details));
  EXPECT_EQ(1, details.FindInt("untouched"));
  EXPECT_TRUE(ChecksumChecker::Check(Write(""), kEmptyDigest, nullptr));
  std::string upper = kAbcDigest;
  for (char& c : upper)
    c = static_cast<char>(toupper(c));
  EXPECT_FALSE(ChecksumChecker::Check(Write("abc"), upper, nullptr));
}

TEST_F(ChecksumCheckerTest, MismatchShowsUpToFiftyBytesOfEachEnd) {
  std::string hex_start;
  std::string hex_end;
  for (int i = 0; i < 50; ++i) {
    hex_start += "01";
    hex_end += i < 49 ? "AB" : "CD";
  }
  struct Case {
    std::string contents, start, end;
  };
  for (const Case& c : {
           Case{"abc", "616263", "616263"},
           Case{"", "", ""},
           Case{std::string(50, '\x01') + std::string(20, '\x7f') + std::string(49, '\xab') +
                    '\xcd',
                hex_start, hex_end},
       }) {
    SCOPED_TRACE(c.contents.size());
    base::Value::Dict details;
    details.Set("stale", 1);
    EXPECT_FALSE(ChecksumChecker::Check(Write(c.contents), "wrong", &details));
    EXPECT_FALSE(details.contains("stale"));
    EXPECT_EQ("Checksum mismatch", *details.FindString("detail"));
    EXPECT_EQ("wrong", *details.FindString("expected_checksum"));
    EXPECT_EQ(Sha256HexDigest(c.contents.data(), c.contents.size()),
              *details.FindString("actual_checksum"));
    EXPECT_EQ(static_cast<int>(c.contents.size()), details.FindInt("file_length"));
    EXPECT_EQ(c.start, *details.FindString("file_start"));
    EXPECT_EQ(c.end, *details.FindString("file_end"));
  }
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
