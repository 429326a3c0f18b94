#include "desktop/windows/installer/service/contained_path.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(ContainedPathTest, AcceptsRelativePathsBelowTheFolder) {
  EXPECT_TRUE(IsContainedRelativePath(L"velto.exe"));
  EXPECT_TRUE(IsContainedRelativePath(L"localization\\de.pak"));
  EXPECT_TRUE(IsContainedRelativePath(L"resources/a b/c..d.txt"));
  EXPECT_TRUE(IsContainedRelativePath(std::string("a\\b")));
}

TEST(ContainedPathTest, RefusesEveryWayOut) {
  for (const wchar_t* path :
       {L"", L"..", L"..\\x", L"a\\..\\..\\x", L"a/../b", L".", L".\\a", L"C:\\x", L"C:x",
        L"\\x", L"/x", L"\\\\server\\share\\x", L"//server/share", L"\\\\?\\C:\\x",
        L"a:stream", L"a\\", L"a\\\\b", L"a\tb"}) {
    EXPECT_FALSE(IsContainedRelativePath(path)) << path;
  }
}

TEST(ContainedPathTest, AppendsOnlyContainedPaths) {
  base::FilePath result(L"unchanged");
  EXPECT_FALSE(AppendContainedPath(base::FilePath(L"C:\\Velto"), L"..\\evil.dll", &result));
  EXPECT_EQ(L"unchanged", result.value());
  EXPECT_TRUE(AppendContainedPath(base::FilePath(L"C:\\Velto"), L"1.0\\velto.exe", &result));
  EXPECT_EQ(L"C:\\Velto\\1.0\\velto.exe", result.value());
}

}  // namespace
}  // namespace installer
