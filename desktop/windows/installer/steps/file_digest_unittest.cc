#include "desktop/windows/installer/steps/file_digest.h"

#include "base/files/file_util.h"
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

}  // namespace
}  // namespace installer
