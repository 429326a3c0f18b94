#include "desktop/windows/installer/service/transactions/move_file_operation.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class MoveFileOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"move"));
    ASSERT_TRUE(base::CreateDirectory(root_));
    source_ = root_.Append(L"source.txt");
    ASSERT_TRUE(base::WriteFile(source_, "moved"));
  }

  std::string Read(const base::FilePath& path) {
    std::string contents;
    base::ReadFileToString(path, &contents);
    return contents;
  }

  base::FilePath root_;
  base::FilePath source_;
};

TEST_F(MoveFileOperationTest, MoveOverExistingAndRollback) {
  const base::FilePath destination = root_.Append(L"sub\\dest.txt");
  ASSERT_TRUE(base::CreateDirectory(destination.DirName()));
  ASSERT_TRUE(base::WriteFile(destination, "previous"));
  ASSERT_TRUE(base::SetFileReadOnly(source_, true));
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(
      std::make_unique<MoveFileOperation>(source_.value(), destination.value())));
  EXPECT_FALSE(base::PathExists(source_));
  EXPECT_EQ("moved", Read(destination));
  transaction.Rollback();
  EXPECT_EQ("moved", Read(source_));
  EXPECT_EQ("previous", Read(destination));
  EXPECT_TRUE(GetFileAttributesW(source_.value().c_str()) & FILE_ATTRIBUTE_READONLY);
  base::SetFileReadOnly(source_, false);
}

TEST_F(MoveFileOperationTest, MoveIntoMissingFolderIsKept) {
  const base::FilePath destination = root_.Append(L"new\\folder\\dest.txt");
  {
    Transaction transaction;
    ASSERT_TRUE(transaction.Do(
        std::make_unique<MoveFileOperation>(source_.value(), destination.value())));
  }
  EXPECT_EQ("moved", Read(destination));
  EXPECT_FALSE(base::PathExists(source_));
}

// What a file's access list says of inheritance: whether it is protected from
// it, and how many of its entries came from its folder.
struct AccessOf {
  bool protected_list = false;
  int inherited_entries = 0;
};

AccessOf ReadAccess(const base::FilePath& path) {
  AccessOf access;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ::GetNamedSecurityInfoW(path.value().c_str(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                    &descriptor));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (descriptor && ::GetSecurityDescriptorControl(descriptor, &control, &revision))
    access.protected_list = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD index = 0; dacl && index < dacl->AceCount; ++index) {
    ACE_HEADER* header = nullptr;
    if (::GetAce(dacl, index, reinterpret_cast<void**>(&header)) &&
        (header->AceFlags & INHERITED_ACE)) {
      ++access.inherited_entries;
    }
  }
  ::LocalFree(descriptor);
  return access;
}

// A file taken out of a folder closed to everyone but the system and
// administrators gets what its new folder passes down, as a copy made there
// would; an ordinary move keeps the list it came with.
TEST_F(MoveFileOperationTest, MoveIntoAnInstallationTakesTheAccessOfItsFolder) {
  // The source's own list: protected, the system and administrators only.
  PSECURITY_DESCRIPTOR closed = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1, &closed, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL closed_dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(closed, &present, &closed_dacl, &defaulted));
  const base::FilePath kept = root_.Append(L"kept.txt");
  ASSERT_TRUE(base::WriteFile(kept, "kept"));
  for (const base::FilePath& file : {source_, kept}) {
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ::SetNamedSecurityInfoW(const_cast<wchar_t*>(file.value().c_str()), SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION |
                                          PROTECTED_DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, closed_dacl, nullptr));
  }
  ::LocalFree(closed);
  // Wine takes a file's access list and keeps none: only Windows shows it.
  if (!ReadAccess(source_).protected_list)
    GTEST_SKIP() << "the system keeps no access lists for files";
  // The installation's folder passes an entry down to its files.
  const base::FilePath installation = root_.Append(L"installation");
  PSECURITY_DESCRIPTOR open = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)", SDDL_REVISION_1, &open, nullptr));
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), open, FALSE};
  ASSERT_TRUE(::CreateDirectoryW(installation.value().c_str(), &attributes));
  ::LocalFree(open);

  Transaction transaction;
  const base::FilePath moved = installation.Append(L"moved.txt");
  ASSERT_TRUE(transaction.Do(std::make_unique<MoveFileOperation>(
      source_.value(), moved.value(), MoveFileOperation::Access::kOfDestinationFolder)));
  const base::FilePath moved_as_is = installation.Append(L"kept.txt");
  ASSERT_TRUE(transaction.Do(
      std::make_unique<MoveFileOperation>(kept.value(), moved_as_is.value())));
  EXPECT_EQ("moved", Read(moved));
  const AccessOf access = ReadAccess(moved);
  EXPECT_FALSE(access.protected_list);
  EXPECT_EQ(3, access.inherited_entries);
  EXPECT_TRUE(ReadAccess(moved_as_is).protected_list);
  transaction.Commit();
}

TEST_F(MoveFileOperationTest, MissingSourceFails) {
  Transaction transaction;
  EXPECT_FALSE(transaction.Do(std::make_unique<MoveFileOperation>(
      root_.Append(L"missing").value(), root_.Append(L"a\\dest").value())));
  EXPECT_FALSE(base::PathExists(root_.Append(L"a")));
  EXPECT_TRUE(transaction.empty());
}

}  // namespace
}  // namespace installer
