#include "base/path_service.h"

#include "base/files/file_util.h"
#include "base/test/scoped_user_windows_folder.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(PathServiceTest, EveryKeyResolvesToAnAbsolutePathWithoutTrailingSeparator) {
  for (int key = PATH_START + 1; key < PATH_END; ++key) {
    FilePath path;
    ASSERT_TRUE(PathService::Get(key, &path)) << "key " << key;
    EXPECT_TRUE(path.IsAbsolute()) << "key " << key << ": " << path.AsUTF8Unsafe();
    EXPECT_FALSE(path.EndsWithSeparator() && path.value().size() > 3)
        << "key " << key << ": " << path.AsUTF8Unsafe();
  }
  FilePath untouched(L"keep");
  EXPECT_FALSE(PathService::Get(PATH_END, &untouched));
  EXPECT_FALSE(PathService::Get(PATH_START, &untouched));
  EXPECT_EQ(FilePath(L"keep"), untouched);
}

TEST(PathServiceTest, ExecutableAndModulePaths) {
  FilePath exe;
  FilePath exe_dir;
  FilePath module;
  ASSERT_TRUE(PathService::Get(FILE_EXE, &exe));
  ASSERT_TRUE(PathService::Get(DIR_EXE, &exe_dir));
  ASSERT_TRUE(PathService::Get(FILE_MODULE, &module));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(L"base_unittests.exe", exe.BaseName().value()))
      << exe.AsUTF8Unsafe();
  EXPECT_EQ(exe.DirName(), exe_dir);
  EXPECT_TRUE(PathExists(exe));
  // Linked statically into the test executable, this code's module is the exe.
  EXPECT_EQ(exe, module);
}

TEST(PathServiceTest, TempFollowsTheEnvironment) {
  FilePath temp;
  ASSERT_TRUE(PathService::Get(DIR_TEMP, &temp));
  // The test main points TMP at a folder inside the scratch folder.
  EXPECT_TRUE(FilePath(test::ScratchFolder()).IsParent(temp)) << temp.AsUTF8Unsafe();
  FilePath quick_launch;
  FilePath pins;
  ASSERT_TRUE(PathService::Get(DIR_USER_QUICK_LAUNCH, &quick_launch));
  ASSERT_TRUE(PathService::Get(DIR_TASKBAR_PINS, &pins));
  EXPECT_EQ(quick_launch.Append(L"User Pinned\\TaskBar"), pins);
}

// A Remote Desktop host may tell a process that is not marked Terminal Server
// aware a Windows folder of its user's: the Windows folder is the system's
// all the same.
TEST(PathServiceTest, WindowsFolderIsTheSystems) {
  const FilePath system(test::ScopedUserWindowsFolder::SystemFolder());
  ASSERT_FALSE(system.empty());
  test::ScopedUserWindowsFolder user_windows;
  wchar_t told[MAX_PATH];
  ASSERT_EQ(user_windows.folder().size(), GetWindowsDirectoryW(told, MAX_PATH));
  ASSERT_EQ(user_windows.folder(), told);
  FilePath windows;
  ASSERT_TRUE(PathService::Get(DIR_WINDOWS, &windows));
  EXPECT_TRUE(FilePath::CompareEqualIgnoreCase(system.value(), windows.value()))
      << windows.AsUTF8Unsafe();
}

TEST(PathServiceTest, OverrideTakesPrecedenceUntilRemoved) {
  FilePath real;
  ASSERT_TRUE(PathService::Get(DIR_LOCAL_APP_DATA, &real));
  FilePath fake = FilePath(test::ScratchFolder()).Append(L"fake_local\\");
  ASSERT_TRUE(PathService::Override(DIR_LOCAL_APP_DATA, fake));
  FilePath got;
  ASSERT_TRUE(PathService::Get(DIR_LOCAL_APP_DATA, &got));
  EXPECT_EQ(fake.StripTrailingSeparators(), got);
  EXPECT_TRUE(PathService::RemoveOverride(DIR_LOCAL_APP_DATA));
  EXPECT_FALSE(PathService::RemoveOverride(DIR_LOCAL_APP_DATA));
  ASSERT_TRUE(PathService::Get(DIR_LOCAL_APP_DATA, &got));
  EXPECT_EQ(real, got);
  EXPECT_FALSE(PathService::Override(PATH_END, fake));
}

}  // namespace
}  // namespace base
