#include "desktop/windows/installer/steps/file_digest.h"

#include <cstring>

#include "base/files/file_util.h"
#include "base/test/child_test_process.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(FileDigestTest, DigestOfAKnownText) {
  base::FilePath file =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"abc"));
  ASSERT_TRUE(base::WriteFile(file, "abc"));
  // SHA-1("abc") = a9993e36 4706816a ba3e2571 7850c26c 9cd0d89d.
  EXPECT_TRUE(CheckFileDigest(file, "qZk+NkcGgWq6PiVxeFDCbJzQ2J0="));
  EXPECT_FALSE(CheckFileDigest(file, "qZk+NkcGgWq6PiVxeFDCbJzQ2J1="));
  EXPECT_FALSE(CheckFileDigest(file.Append(L"missing"), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0="));
  EXPECT_TRUE(IsSystemDigestProviderInUse());
}

// Run by BuiltInDigestTakesOverForGood in a process of its own: once the
// built-in digest has taken over, it stays for the process's life, and later
// tests of the process would find it there.
TEST(FileDigestChildProcess, BuiltInDigestTakesOverForGood) {
  if (!base::test::IsChildTestProcess())
    GTEST_SKIP() << "runs only as the child of BuiltInDigestTakesOverForGood";
  base::FilePath file =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"big"));
  // More than one read block, and not a multiple of it.
  std::string contents(65536 * 2 + 7, 'x');
  for (size_t i = 0; i < contents.size(); ++i)
    contents[i] = static_cast<char>(i * 31);
  ASSERT_TRUE(base::WriteFile(file, contents));
  uint8_t system_digest[kFileDigestLength];
  ASSERT_TRUE(ComputeFileDigest(file, system_digest));
  DisableSystemDigestProvider();
  EXPECT_FALSE(IsSystemDigestProviderInUse());
  uint8_t builtin_digest[kFileDigestLength];
  ASSERT_TRUE(ComputeFileDigest(file, builtin_digest));
  EXPECT_EQ(0, memcmp(system_digest, builtin_digest, kFileDigestLength));
  EXPECT_FALSE(CheckFileDigest(file.DirName().Append(L"none"), ""));
}

TEST(FileDigestTest, BuiltInDigestTakesOverForGood) {
  EXPECT_TRUE(base::test::RunTestInChildProcess("FileDigestChildProcess.BuiltInDigestTakesOverForGood",
                                                60 * 1000));
}

}  // namespace
}  // namespace installer
