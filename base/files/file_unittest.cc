#include "base/files/file.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace base {
namespace {

constexpr uint32_t kReadWrite = File::FLAG_OPEN_ALWAYS | File::FLAG_READ | File::FLAG_WRITE;

TEST(FileTest, CreatedTellsANewFileFromAnExistingOne) {
  ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  FilePath path = folder.GetPath().AppendASCII("counts.json");
  File made(path, kReadWrite);
  ASSERT_TRUE(made.IsValid());
  EXPECT_TRUE(made.created());
  File opened(path, kReadWrite);
  ASSERT_TRUE(opened.IsValid());
  EXPECT_FALSE(opened.created());
  File missing(folder.GetPath().AppendASCII("missing"), File::FLAG_OPEN | File::FLAG_READ);
  EXPECT_FALSE(missing.created());
}

TEST(FileTest, OneHandleAtATimeHoldsTheLock) {
  ScopedTempDir folder;
  ASSERT_TRUE(folder.CreateUniqueTempDir());
  FilePath path = folder.GetPath().AppendASCII("counts.json");
  ASSERT_TRUE(WriteFile(path, "{}"));
  File holder(path, kReadWrite);
  File other(path, kReadWrite);
  ASSERT_TRUE(holder.IsValid() && other.IsValid());
  ASSERT_TRUE(holder.Lock());
  char text[2] = {};
  EXPECT_EQ(2, holder.Read(0, text, 2));
  EXPECT_EQ(2, holder.Write(0, "[]", 2));
  EXPECT_FALSE(other.Lock());
  // Taking a lock twice through one handle fails as well.
  EXPECT_FALSE(holder.Lock());
  EXPECT_TRUE(holder.Unlock());
  EXPECT_TRUE(other.Lock());
  EXPECT_FALSE(holder.Lock());
  // Closing the handle releases its lock.
  other.Close();
  EXPECT_TRUE(holder.Lock());
}

}  // namespace
}  // namespace base
