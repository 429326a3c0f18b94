#include "desktop/windows/installer/service/shared_folder_mark.h"

#include "base/files/file_path.h"
#include "base/strings/string_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

base::FilePath Folder(const wchar_t* name) {
  return base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(name));
}

TEST(SharedFolderMarkTest, SetForTheFolderWhateverTheSpelling) {
  const base::FilePath folder = Folder(L"Desktop");
  EXPECT_FALSE(SharedFolderMark::IsSet(folder));
  SharedFolderMark::Set(folder);
  SharedFolderMark::Set(folder);
  EXPECT_TRUE(SharedFolderMark::IsSet(folder));
  EXPECT_TRUE(SharedFolderMark::IsSet(base::FilePath(folder.value() + L"\\")));
  EXPECT_TRUE(SharedFolderMark::IsSet(base::FilePath(base::ToUpperASCII(folder.value()))));
  EXPECT_FALSE(SharedFolderMark::IsSet(folder.Append(L"inner")));
  EXPECT_FALSE(SharedFolderMark::IsSet(Folder(L"Desktop")));
}

}  // namespace
}  // namespace installer
