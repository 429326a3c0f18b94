#include "base/win/shortcut.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_com_initializer.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

TEST(ShortcutTest, CreatedShortcutResolvesToItsTargetAndArguments) {
  ScopedCOMInitializer com;
  ScopedTempDir dir;
  ASSERT_TRUE(dir.CreateUniqueTempDir());
  const FilePath target = dir.GetPath().Append(L"launcher.exe");
  ASSERT_TRUE(WriteFile(target, "MZ"));
  const FilePath link = dir.GetPath().Append(L"Velto.lnk");
  ShortcutProperties properties;
  properties.target = target;
  properties.working_directory = dir.GetPath();
  properties.arguments = L"https://example.test/";
  properties.app_id = L"VeltoSoftware.VeltoWebBrowser.1";
  ASSERT_TRUE(CreateShortcutLink(link, properties));

  FilePath resolved;
  std::wstring arguments;
  ASSERT_TRUE(ResolveShortcut(link, &resolved, &arguments, nullptr));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(target.value(), resolved.value()));
  EXPECT_EQ(L"https://example.test/", arguments);

  // Creating it again replaces it.
  properties.arguments.clear();
  ASSERT_TRUE(CreateShortcutLink(link, properties));
  ASSERT_TRUE(ResolveShortcut(link, &resolved, &arguments, nullptr));
  EXPECT_EQ(L"", arguments);
}

TEST(ShortcutTest, MissingShortcutDoesNotResolve) {
  ScopedCOMInitializer com;
  FilePath resolved;
  EXPECT_FALSE(ResolveShortcut(FilePath(L"C:\\no\\such\\file.lnk"), &resolved, nullptr, nullptr));
}

}  // namespace
}  // namespace base::win
