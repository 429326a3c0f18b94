#include "desktop/windows/installer/package_fetcher/file_backed_sz_alloc.h"

#include <windows.h>

#include <cstring>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class FileBackedSzAllocTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }
  base::ScopedTempDir dir_;
};

TEST_F(FileBackedSzAllocTest, BlockLivesInATemporaryFileThatDisappears) {
  base::FilePath temp_path;
  {
    FileBackedSzAlloc alloc(dir_.GetPath());
    ASSERT_TRUE(alloc.is_file_backed());
    temp_path = alloc.temp_path();
    EXPECT_EQ(dir_.GetPath(), temp_path.DirName());
    EXPECT_TRUE(base::PathExists(temp_path));

    const size_t size = 3 * 1024 * 1024 + 5;
    char* block = static_cast<char*>(alloc.Allocate(size));
    ASSERT_TRUE(block);
    EXPECT_TRUE(alloc.Contains(block));
    EXPECT_TRUE(alloc.Contains(block + size - 1));
    EXPECT_FALSE(alloc.Contains(block + size));
    EXPECT_FALSE(alloc.Contains(block - 1));
    std::memset(block, 0x5A, size);
    EXPECT_EQ(0x5A, block[size - 1]);
    int64_t file_size = 0;
    ASSERT_TRUE(base::GetFileSize(temp_path, &file_size));
    EXPECT_EQ(static_cast<int64_t>(size), file_size);

    // The SDK's calling convention: through the function pointers.
    ISzAllocPtr sdk = &alloc;
    sdk->Free(sdk, block);
    EXPECT_FALSE(alloc.Contains(block));

    // The next block maps the file again, at its new size.
    char* next = static_cast<char*>(sdk->Alloc(sdk, 4096));
    ASSERT_TRUE(next);
    EXPECT_TRUE(alloc.Contains(next));
    sdk->Free(sdk, next);
  }
  EXPECT_FALSE(base::PathExists(temp_path));
  EXPECT_TRUE(base::IsDirectoryEmpty(dir_.GetPath()));
}

// The disk space |path| takes (its holes take none), read from its folder's
// listing: the allocator's file is open without sharing.
int64_t SpaceTaken(const base::FilePath& path) {
  base::win::ScopedHandle folder(::CreateFileW(
      path.DirName().value().c_str(), FILE_LIST_DIRECTORY,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  EXPECT_TRUE(folder.IsValid());
  alignas(8) char buffer[64 * 1024];
  FILE_INFO_BY_HANDLE_CLASS info_class = FileFullDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(folder.Get(), info_class, buffer, sizeof(buffer))) {
    info_class = FileFullDirectoryInfo;
    for (const char* at = buffer;;) {
      const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(at);
      if (path.BaseName().value() ==
          std::wstring_view(entry->FileName, entry->FileNameLength / sizeof(wchar_t))) {
        return entry->AllocationSize.QuadPart;
      }
      if (!entry->NextEntryOffset)
        break;
      at += entry->NextEntryOffset;
    }
  }
  ADD_FAILURE() << "not listed: " << path.value();
  return -1;
}

TEST_F(FileBackedSzAllocTest, BlockAfterASmallerOneIsStillTakenUpFront) {
  FileBackedSzAlloc alloc(dir_.GetPath());
  ASSERT_TRUE(alloc.is_file_backed());
  const size_t large = 4 << 20;
  for (size_t size : {large, size_t{4096}, large}) {
    SCOPED_TRACE(size);
    void* block = alloc.Allocate(size);
    ASSERT_TRUE(alloc.Contains(block));
    EXPECT_LE(static_cast<int64_t>(size), SpaceTaken(alloc.temp_path()));
    alloc.Free(block);
  }
}

TEST_F(FileBackedSzAllocTest, SecondOutstandingBlockComesFromTheHeap) {
  FileBackedSzAlloc alloc(dir_.GetPath());
  ASSERT_TRUE(alloc.is_file_backed());
  char* mapped = static_cast<char*>(alloc.Allocate(65536));
  char* heap = static_cast<char*>(alloc.Allocate(1000));
  ASSERT_TRUE(mapped);
  ASSERT_TRUE(heap);
  EXPECT_TRUE(alloc.Contains(mapped));
  EXPECT_FALSE(alloc.Contains(heap));
  std::memset(heap, 1, 1000);
  std::memset(mapped, 2, 65536);
  // Freeing the heap block leaves the mapping alone, in either order.
  alloc.Free(heap);
  EXPECT_TRUE(alloc.Contains(mapped));
  EXPECT_EQ(2, mapped[65535]);
  alloc.Free(mapped);
  alloc.Free(nullptr);
}

TEST_F(FileBackedSzAllocTest, ZeroBytesIsNull) {
  FileBackedSzAlloc alloc(dir_.GetPath());
  EXPECT_EQ(nullptr, alloc.Allocate(0));
}

TEST_F(FileBackedSzAllocTest, UnusableFolderQuietlyUsesTheHeap) {
  FileBackedSzAlloc alloc(dir_.GetPath().Append(L"missing"));
  EXPECT_FALSE(alloc.is_file_backed());
  char* block = static_cast<char*>(alloc.Allocate(1 << 20));
  ASSERT_TRUE(block);
  EXPECT_FALSE(alloc.Contains(block));
  block[(1 << 20) - 1] = 7;
  alloc.Free(block);
  EXPECT_FALSE(base::PathExists(dir_.GetPath().Append(L"missing")));
}

}  // namespace
}  // namespace installer
