#include "desktop/windows/installer/protected_deletion.h"

#include <windows.h>

#include <string>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {

namespace {

class ProtectedDeletionTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder())
                .Append(base::test::UniqueName(L"protected deletion"));
    folder_ = root_.Append(L"user folder");
    parent_ = root_.Append(L"system temp");
    ASSERT_TRUE(base::CreateDirectory(folder_));
    ASSERT_TRUE(base::CreateDirectory(parent_));
  }

  // The one folder made in |parent_|, empty when there is none.
  base::FilePath MadeFolder() {
    base::FilePath found;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(parent_.Append(L"*").value().c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
      return found;
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..")
        found = parent_.Append(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return found;
  }

  base::FilePath root_;
  base::FilePath folder_;
  base::FilePath parent_;
};

}  // namespace

TEST_F(ProtectedDeletionTest, DeletesAFileOutOfTheUsersFolder) {
  const base::FilePath file = folder_.Append(L"installer_lib.dll");
  ASSERT_TRUE(base::WriteFile(file, "x"));
  {
    ProtectedDeletion deletion(parent_);
    std::string reason;
    EXPECT_TRUE(deletion.Delete(file, &reason)) << reason;
    EXPECT_FALSE(base::PathExists(file));
    EXPECT_TRUE(deletion.left_for_restart().empty());
  }
  // The folder it went through goes once empty.
  EXPECT_TRUE(MadeFolder().empty());
}

// A running program's image cannot be deleted where it lies, but it can be
// moved: it leaves the user's folder, and what cannot go at once is named
// for the next start of Windows.
TEST_F(ProtectedDeletionTest, MovesARunningProgramOutOfTheUsersFolder) {
  base::FilePath system;
  ASSERT_TRUE(base::PathService::Get(base::DIR_SYSTEM, &system));
  const base::FilePath program = folder_.Append(L"installer.exe");
  ASSERT_TRUE(base::CopyFile(system.Append(L"hostname.exe"), program));
  base::LaunchOptions options;
  options.start_hidden = true;
  options.creation_flags = CREATE_SUSPENDED;
  base::Process running =
      base::LaunchProcess(base::CommandLine(program).GetCommandLineString(), options);
  ASSERT_TRUE(running.IsValid());
  {
    ProtectedDeletion deletion(parent_);
    std::string reason;
    EXPECT_TRUE(deletion.Delete(program, &reason)) << reason;
    EXPECT_FALSE(base::PathExists(program));
    const base::FilePath made = MadeFolder();
    ASSERT_FALSE(made.empty());
    for (const base::FilePath& left : deletion.left_for_restart())
      EXPECT_TRUE(made.IsParent(left)) << left.value();
  }
  running.Terminate(1, /*wait=*/true);
  base::DeletePathRecursively(parent_);
}

TEST_F(ProtectedDeletionTest, LeavesWhatItCannotOpenWithoutLinks) {
  ProtectedDeletion deletion(parent_);
  std::string reason;
  EXPECT_FALSE(deletion.Delete(folder_.Append(L"missing.dll"), &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(deletion.Delete(folder_.Append(L"..\\user folder\\x.dll"), &reason));
}

}  // namespace installer
