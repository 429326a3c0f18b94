#include "desktop/windows/installer/service/protected_folder.h"

#include <string>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/strings/string_number_conversions.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class ProtectedFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    parent_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"pf"));
    ASSERT_TRUE(base::CreateDirectory(parent_));
  }

  std::unique_ptr<ProtectedFolder> Create() {
    std::string error;
    std::unique_ptr<ProtectedFolder> folder = ProtectedFolder::Create(parent_, &error);
    EXPECT_TRUE(folder) << error;
    return folder;
  }

  // A command line that names |handle| as the folder handed down.
  static base::CommandLine Handed(HANDLE handle) {
    base::CommandLine command_line(base::CommandLine::NO_PROGRAM);
    command_line.AppendSwitchASCII(ProtectedFolder::kSwitch,
                                   base::NumberToString(reinterpret_cast<uintptr_t>(handle)));
    return command_line;
  }

  base::FilePath parent_;
  const base::CommandLine none_{base::CommandLine::NO_PROGRAM};
};

TEST_F(ProtectedFolderTest, MakesANewFolderOfItsOwnAndRemovesItWithEverythingInIt) {
  base::FilePath first_path;
  {
    std::unique_ptr<ProtectedFolder> first = Create();
    std::unique_ptr<ProtectedFolder> second = Create();
    ASSERT_TRUE(first && second);
    first_path = first->path();
    EXPECT_EQ(parent_, first_path.DirName());
    EXPECT_EQ(0u, first_path.BaseName().value().find(L"velto_elevated_package_"));
    EXPECT_NE(first_path, second->path());
    EXPECT_TRUE(base::DirectoryExists(first_path));
    ASSERT_TRUE(base::CreateDirectory(first_path.Append(L"sub")));
    ASSERT_TRUE(base::WriteFile(first_path.Append(L"sub\\file.txt"), "x"));
  }
  EXPECT_FALSE(base::PathExists(first_path));
}

TEST_F(ProtectedFolderTest, CannotBeRenamedWhileHeld) {
  std::unique_ptr<ProtectedFolder> folder = Create();
  ASSERT_TRUE(folder);
  EXPECT_FALSE(::MoveFileW(folder->path().value().c_str(),
                           parent_.Append(L"moved").value().c_str()));
  EXPECT_TRUE(base::DirectoryExists(folder->path()));
}

TEST_F(ProtectedFolderTest, ProtectsWhatLiesInAFolderThisProcessHolds) {
  base::FilePath path;
  {
    std::unique_ptr<ProtectedFolder> folder = Create();
    ASSERT_TRUE(folder);
    path = folder->path();
    EXPECT_TRUE(ProtectedFolder::IsProtected(none_, path));
    EXPECT_TRUE(ProtectedFolder::IsProtected(none_, path.Append(L"package\\installer.exe")));
    EXPECT_FALSE(ProtectedFolder::IsProtected(none_, path.Append(L"..\\other")));
    EXPECT_FALSE(ProtectedFolder::IsProtected(none_, base::FilePath(path.value() + L"x")));
    EXPECT_FALSE(ProtectedFolder::IsProtected(none_, parent_));
  }
  EXPECT_FALSE(ProtectedFolder::IsProtected(none_, path));
}

// What a back end started with a handle value finds: only a folder handle of
// its own counts, and only for paths in that folder.
TEST_F(ProtectedFolderTest, ProtectsOnlyTheFolderOfAHandleThisProcessHolds) {
  const base::FilePath handed_path = parent_.Append(L"handed");
  ASSERT_TRUE(base::CreateDirectory(handed_path));
  base::win::ScopedHandle handed(::CreateFileW(
      handed_path.value().c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(handed.IsValid());
  const base::CommandLine command_line = Handed(handed.Get());
  EXPECT_TRUE(ProtectedFolder::IsProtected(command_line, handed_path.Append(L"pkg")));
  EXPECT_FALSE(ProtectedFolder::IsProtected(command_line, parent_.Append(L"elsewhere")));
  EXPECT_FALSE(ProtectedFolder::IsProtected(command_line, handed_path.Append(L"..\\x")));
  EXPECT_FALSE(ProtectedFolder::IsProtected(none_, handed_path.Append(L"pkg")));

  // A handle of a file, of an event, one that is closed, and no number.
  ASSERT_TRUE(base::WriteFile(handed_path.Append(L"file"), "x"));
  base::win::ScopedHandle file(::CreateFileW(handed_path.Append(L"file").value().c_str(),
                                             GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.IsValid());
  base::win::ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE closed = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), handed.Get(), ::GetCurrentProcess(),
                                &closed, 0, FALSE, DUPLICATE_SAME_ACCESS));
  ::CloseHandle(closed);
  for (HANDLE handle : {file.Get(), event.Get(), closed}) {
    EXPECT_FALSE(ProtectedFolder::IsProtected(Handed(handle), handed_path.Append(L"file")));
  }
  // The handle of the current folder, which the starter of a process
  // chooses, counts for nothing.
  wchar_t current[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetCurrentDirectoryW(MAX_PATH, current));
  ASSERT_TRUE(::SetCurrentDirectoryW(handed_path.value().c_str()));
  EXPECT_FALSE(ProtectedFolder::IsProtected(command_line, handed_path.Append(L"pkg")));
  ASSERT_TRUE(::SetCurrentDirectoryW(current));
  EXPECT_TRUE(ProtectedFolder::IsProtected(command_line, handed_path.Append(L"pkg")));

  base::CommandLine words(base::CommandLine::NO_PROGRAM);
  words.AppendSwitchPath(ProtectedFolder::kSwitch, handed_path);
  EXPECT_FALSE(ProtectedFolder::IsProtected(words, handed_path.Append(L"pkg")));
}

TEST_F(ProtectedFolderTest, HandsDownAnInheritableHandleOfTheFolderThatHoldsThePath) {
  std::unique_ptr<ProtectedFolder> folder = Create();
  ASSERT_TRUE(folder);
  base::CommandLine child(base::CommandLine::NO_PROGRAM);
  base::win::ScopedHandle inherited;
  EXPECT_FALSE(ProtectedFolder::HandDown(none_, parent_.Append(L"x"), &child, &inherited));
  EXPECT_FALSE(child.HasSwitch(ProtectedFolder::kSwitch));
  ASSERT_TRUE(ProtectedFolder::HandDown(none_, folder->path().Append(L"package"), &child,
                                        &inherited));
  ASSERT_TRUE(inherited.IsValid());
  DWORD flags = 0;
  ASSERT_TRUE(::GetHandleInformation(inherited.Get(), &flags));
  EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);
  // The child, which inherits the handle under the same value, finds the
  // folder by it: here the same process stands for it, without the folder
  // it made.
  std::wstring value = child.GetSwitchValueNative(ProtectedFolder::kSwitch);
  const base::FilePath inside = folder->path().Append(L"package");
  const base::CommandLine handed = Handed(inherited.Get());
  EXPECT_EQ(handed.GetSwitchValueNative(ProtectedFolder::kSwitch), value);
  EXPECT_TRUE(ProtectedFolder::IsProtected(handed, inside));
}

TEST_F(ProtectedFolderTest, RemovesTheFoldersOfEndedRunsButNotOfLiveOnes) {
  const base::FilePath ended = parent_.Append(L"velto_elevated_package_0123456789ABCDEF");
  ASSERT_TRUE(base::CreateDirectory(ended.Append(L"package\\sub")));
  ASSERT_TRUE(base::WriteFile(ended.Append(L"package\\sub\\big.bin"), "x"));
  ASSERT_TRUE(base::WriteFile(ended.Append(L"top.txt"), "x"));
  const base::FilePath other = parent_.Append(L"velto_other_0123456789ABCDEF");
  ASSERT_TRUE(base::CreateDirectory(other));
  std::unique_ptr<ProtectedFolder> live = Create();
  ASSERT_TRUE(live);
  ASSERT_TRUE(base::WriteFile(live->path().Append(L"package.exe"), "x"));

  ProtectedFolder::RemoveFoldersOfEndedRuns(parent_);

  EXPECT_FALSE(base::PathExists(ended));
  EXPECT_TRUE(base::PathExists(live->path().Append(L"package.exe")));
  EXPECT_TRUE(base::DirectoryExists(other));
}

}  // namespace
}  // namespace installer
