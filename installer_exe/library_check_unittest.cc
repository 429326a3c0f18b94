#include "installer_exe/library_check.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "gtest/gtest.h"

namespace {

using installer::GetSignatureFixture;

ImageDigest::Value DigestOf(const base::FilePath& path) {
  ImageDigest::Value digest = {};
  HANDLE file = CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_TRUE(ImageDigest::Compute(file, &digest));
  CloseHandle(file);
  return digest;
}

// Whether |a| and |b| name one file.
bool SameFile(const std::wstring& a, const std::wstring& b) {
  BY_HANDLE_FILE_INFORMATION info[2] = {};
  const std::wstring* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    HANDLE file = CreateFileW(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
      return false;
    const bool read = GetFileInformationByHandle(file, &info[i]);
    CloseHandle(file);
    if (!read)
      return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

class LibraryCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    library_ = temp_.GetPath().Append(L"installer_lib.dll");
    built_with_ = DigestOf(GetSignatureFixture(L"unsigned.exe"));
  }

  // The fixture |name| as the library.
  void Place(const wchar_t* name) {
    base::DeleteFile(library_);
    ASSERT_TRUE(base::CopyFile(GetSignatureFixture(name), library_));
  }

  base::ScopedTempDir temp_;
  base::FilePath library_;
  ImageDigest::Value built_with_;
};

TEST_F(LibraryCheckTest, LoadsTheBuildItWasBuiltWithSignedOrNot) {
  for (const wchar_t* name : {L"unsigned.exe", L"expected.exe", L"other.exe"}) {
    SCOPED_TRACE(name);
    Place(name);
    LibraryCheck check(built_with_);
    std::wstring load_path;
    std::wstring reason;
    ASSERT_TRUE(check.Check(library_.value(), &load_path, &reason)) << reason;
    EXPECT_TRUE(SameFile(library_.value(), load_path)) << load_path;
  }
}

// Another build, whoever signed it, and whatever signed the installer.
TEST_F(LibraryCheckTest, RefusesAnotherBuild) {
  for (const wchar_t* name : {L"different.exe", L"different_signed.exe", L"unaligned.exe"}) {
    SCOPED_TRACE(name);
    Place(name);
    LibraryCheck check(built_with_);
    std::wstring load_path;
    std::wstring reason;
    const bool checked = check.Check(library_.value(), &load_path, &reason);
    const DWORD error = GetLastError();
    EXPECT_FALSE(checked);
    EXPECT_EQ(kErrorInvalidImageHash, error);
    EXPECT_EQ(L"it is not the library this installer was built with", reason);
    EXPECT_EQ(L"", load_path);
  }
}

TEST_F(LibraryCheckTest, RefusesWhatItCannotOpenOrRead) {
  LibraryCheck missing(built_with_);
  std::wstring load_path;
  std::wstring reason;
  EXPECT_FALSE(missing.Check(library_.value(), &load_path, &reason));
  EXPECT_EQ(L"it cannot be opened", reason);

  Place(L"text.txt");
  LibraryCheck text(built_with_);
  EXPECT_FALSE(text.Check(library_.value(), &load_path, &reason));
  EXPECT_EQ(L"it cannot be read as a library (error 193)", reason);
  EXPECT_EQ(L"", load_path);
}

// Nobody can write, rename or delete the checked file until the check is
// destroyed (after the load), but the loader can map it.
TEST_F(LibraryCheckTest, HoldsTheFileFromTheCheckToTheLoad) {
  Place(L"expected.exe");
  const base::FilePath moved = temp_.GetPath().Append(L"moved.dll");
  {
    LibraryCheck check(built_with_);
    std::wstring load_path;
    std::wstring reason;
    ASSERT_TRUE(check.Check(library_.value(), &load_path, &reason)) << reason;
    HANDLE writer = CreateFileW(library_.value().c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    if (writer != INVALID_HANDLE_VALUE)
      CloseHandle(writer);
    EXPECT_FALSE(MoveFileW(library_.value().c_str(), moved.value().c_str()));
    EXPECT_FALSE(DeleteFileW(library_.value().c_str()));
    HMODULE mapped =
        LoadLibraryExW(load_path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    EXPECT_TRUE(mapped) << GetLastError();
    if (mapped)
      FreeLibrary(mapped);
  }
  EXPECT_TRUE(MoveFileW(library_.value().c_str(), moved.value().c_str()));
}

}  // namespace
