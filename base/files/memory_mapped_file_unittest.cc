#include "base/files/memory_mapped_file.h"

#include <string>

#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base {
namespace {

class MemoryMappedFileTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = FilePath(test::ScratchFolder()).Append(test::UniqueName(L"mapped"));
    ASSERT_TRUE(CreateDirectory(root_));
  }
  void TearDown() override { DeletePathRecursively(root_); }

  FilePath root_;
};

TEST_F(MemoryMappedFileTest, MapsContent) {
  FilePath path = root_.Append(L"data");
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i % 251);
  ASSERT_TRUE(WriteFile(path, data));
  MemoryMappedFile mapped;
  ASSERT_TRUE(mapped.Initialize(path));
  EXPECT_TRUE(mapped.IsValid());
  ASSERT_EQ(data.size(), mapped.length());
  EXPECT_EQ(0, memcmp(data.data(), mapped.data(), data.size()));
  EXPECT_FALSE(mapped.Initialize(path));  // Only once.
  // Readers may still delete or rename it (shared for delete).
  FilePath renamed = root_.Append(L"renamed");
  EXPECT_TRUE(Move(path, renamed));
}

TEST_F(MemoryMappedFileTest, EmptyFileIsRefused) {
  FilePath path = root_.Append(L"empty");
  ASSERT_TRUE(WriteFile(path, ""));
  MemoryMappedFile mapped;
  EXPECT_FALSE(mapped.Initialize(path));
  EXPECT_FALSE(mapped.IsValid());
  EXPECT_EQ(nullptr, mapped.data());
}

TEST_F(MemoryMappedFileTest, FileOfTwoGigabytesIsRefused) {
  // A sparse file: setting the end allocates nothing.
  FilePath path = root_.Append(L"large");
  {
    File file(path, File::FLAG_CREATE_ALWAYS | File::FLAG_WRITE);
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(file.SetLength(int64_t{1} << 31));
  }
  MemoryMappedFile mapped;
  EXPECT_FALSE(mapped.Initialize(path));
  EXPECT_FALSE(mapped.IsValid());
  EXPECT_EQ(0u, mapped.length());
}

TEST_F(MemoryMappedFileTest, MissingFileIsInvalid) {
  MemoryMappedFile mapped;
  EXPECT_FALSE(mapped.Initialize(root_.Append(L"missing")));
  EXPECT_FALSE(mapped.IsValid());
  EXPECT_EQ(0u, mapped.length());
}

}  // namespace
}  // namespace base
