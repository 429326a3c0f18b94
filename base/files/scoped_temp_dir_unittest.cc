#include "base/files/scoped_temp_dir.h"

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(ScopedTempDirTest, DeletesTreeOnDestructionUnlessTaken) {
  FilePath path;
  {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.CreateUniqueTempDir());
    EXPECT_FALSE(dir.CreateUniqueTempDir());  // Already owns one.
    path = dir.GetPath();
    ASSERT_TRUE(CreateDirectory(path.Append(L"sub")));
    ASSERT_TRUE(WriteFile(path.Append(L"sub\\f"), "x"));
    ASSERT_TRUE(SetFileReadOnly(path.Append(L"sub\\f"), true));
  }
  EXPECT_FALSE(PathExists(path));

  FilePath base_path(test::ScratchFolder());
  {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.CreateUniqueTempDirUnderPath(base_path));
    EXPECT_TRUE(base_path.IsParent(dir.GetPath()));
    path = dir.Take();
    EXPECT_FALSE(dir.IsValid());
  }
  EXPECT_TRUE(DirectoryExists(path));
  {
    ScopedTempDir dir;
    ASSERT_TRUE(dir.Set(path));
    ScopedTempDir moved(std::move(dir));
    EXPECT_FALSE(dir.IsValid());
    EXPECT_TRUE(moved.Delete());
    EXPECT_FALSE(PathExists(path));
  }
}

}  // namespace
}  // namespace base
