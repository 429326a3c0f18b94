#include "desktop/windows/installer/package_fetcher/safe_relative_path.h"

#include <string>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(SafeRelativePathTest, PlainNamesPass) {
  EXPECT_TRUE(IsSafeRelativePath(L"installer.exe"));
  EXPECT_TRUE(IsSafeRelativePath(L"localization/de.pak"));
  EXPECT_TRUE(IsSafeRelativePath(L"a\\b/c d\\e.f.g"));
  EXPECT_TRUE(IsSafeRelativePath(L"..hidden"));
  EXPECT_TRUE(IsSafeRelativePath(L"COM0"));
  EXPECT_TRUE(IsSafeRelativePath(L"console"));
  EXPECT_TRUE(IsSafeRelativePath(L"\u00e9t\u00e9/\u65e5\u672c"));
  EXPECT_TRUE(IsSafeRelativePath(std::string("localization/pt-BR.pak")));
}

TEST(SafeRelativePathTest, ParentReferencesFailWithEitherSeparator) {
  for (const wchar_t* name : {L"..", L"../x", L"..\\x", L"a/../../x", L"a\\..\\..\\x", L"a/..",
                              L"./x", L"a/./b", L"."}) {
    EXPECT_FALSE(IsSafeRelativePath(name)) << name;
  }
}

TEST(SafeRelativePathTest, RootsDrivesAndStreamsFail) {
  for (const wchar_t* name :
       {L"/etc/passwd", L"\\Windows\\x.dll", L"C:\\x", L"C:x", L"c:/x", L"\\\\server\\share\\x",
        L"\\\\?\\C:\\x", L"file.txt:stream", L"a//b", L"a\\", L"a/", L""}) {
    EXPECT_FALSE(IsSafeRelativePath(name)) << name;
  }
}

TEST(SafeRelativePathTest, ControlAndReservedCharactersFail) {
  EXPECT_FALSE(IsSafeRelativePath(L"a\r\nb"));
  EXPECT_FALSE(IsSafeRelativePath(L"line\nbreak"));
  EXPECT_FALSE(IsSafeRelativePath(std::wstring(L"nul\0byte", 8)));
  EXPECT_FALSE(IsSafeRelativePath(L"tab\there"));
  EXPECT_FALSE(IsSafeRelativePath(L"del\x7f"));
  for (const wchar_t* name : {L"a<b", L"a>b", L"a\"b", L"a|b", L"a?b", L"a*b"})
    EXPECT_FALSE(IsSafeRelativePath(name)) << name;
  EXPECT_FALSE(IsSafeRelativePath(std::string("a\r\nb.pak")));
}

TEST(SafeRelativePathTest, NamesWindowsWouldRewriteFail) {
  for (const wchar_t* name : {L"trailing.", L"dir./x", L"blank ", L"...", L"a/ "})
    EXPECT_FALSE(IsSafeRelativePath(name)) << name;
}

TEST(SafeRelativePathTest, DeviceNamesFailInAnyFolderAndCase) {
  for (const wchar_t* name :
       {L"CON", L"nul", L"Aux.txt", L"dir/prn.log", L"com1", L"LPT9.dat", L"nul .txt",
        L"con.txt.d"}) {
    EXPECT_FALSE(IsSafeRelativePath(name)) << name;
  }
}

}  // namespace
}  // namespace installer
