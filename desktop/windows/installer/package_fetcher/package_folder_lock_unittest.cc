#include "desktop/windows/installer/package_fetcher/package_folder_lock.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// 2017-07-12 09:30:15, local time.
base::Time Start() {
  base::Time time;
  EXPECT_TRUE(base::Time::FromLocalExploded(
      {.year = 2017, .month = 7, .day_of_month = 12, .hour = 9, .minute = 30, .second = 15},
      &time));
  return time;
}

class PackageFolderLockTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.CreateUniqueTempDir()); }

  const base::FilePath& folder() const { return dir_.GetPath(); }

  // Every name in the download folder.
  std::set<std::wstring> Names() const {
    std::set<std::wstring> names;
    base::FileEnumerator entries(folder(), false,
                                 base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
    for (base::FilePath path = entries.Next(); !path.empty(); path = entries.Next())
      names.insert(path.BaseName().value());
    return names;
  }

  // A folder with a file in it, as a run leaves it.
  void MakeFolder(const std::wstring& name) {
    ASSERT_TRUE(base::CreateDirectory(folder().Append(name).Append(L"inner")));
    ASSERT_TRUE(base::WriteFile(folder().Append(name).Append(L"inner\\file.dat"), "data"));
  }

  base::ScopedTempDir dir_;
};

TEST_F(PackageFolderLockTest, RunsBegunInOneSecondTakeTheNextFreeSecondsUntilTheyEnd) {
  auto first = std::make_unique<PackageFolderLock>(folder(), Start());
  PackageFolderLock second(folder(), Start());
  PackageFolderLock third(folder(), Start());
  ASSERT_TRUE(first->is_held() && second.is_held() && third.is_held());
  EXPECT_EQ(L"20170712093015", first->stamp());
  EXPECT_EQ(L"20170712093016", second.stamp());
  EXPECT_EQ(L"20170712093017", third.stamp());
  EXPECT_EQ(folder().Append(L"velto_package.exe_20170712093016"), second.package_folder());
  EXPECT_EQ(folder().Append(L"suite_20170712093016"), second.suite_folder());
  EXPECT_EQ(folder().Append(L"velto_package2.exe_20170712093016"),
            PackageFolderLock::TryFolder(second.package_folder(), 2));
  // Nothing but the lock files so far.
  EXPECT_EQ((std::set<std::wstring>{L"velto_package.exe_20170712093015.lock",
                                    L"velto_package.exe_20170712093016.lock",
                                    L"velto_package.exe_20170712093017.lock"}),
            Names());
  // A lock another run cannot take over while it is held.
  EXPECT_FALSE(
      ::DeleteFileW(folder().Append(L"velto_package.exe_20170712093015.lock").value().c_str()));

  // An ended run's second is free again.
  first.reset();
  EXPECT_EQ(L"20170712093015", PackageFolderLock(folder(), Start()).stamp());
}

TEST_F(PackageFolderLockTest, LockFileLeftBehindIsTakenOver) {
  ASSERT_TRUE(base::WriteFile(folder().Append(L"velto_package.exe_20170712093015.lock"), ""));
  PackageFolderLock lock(folder(), Start());
  EXPECT_TRUE(lock.is_held());
  EXPECT_EQ(L"20170712093015", lock.stamp());
}

TEST_F(PackageFolderLockTest, FolderThatTakesNoLockGivesTheStampOfTheStart) {
  PackageFolderLock lock(folder().Append(L"missing"), Start());
  EXPECT_FALSE(lock.is_held());
  EXPECT_EQ(folder().Append(L"missing\\velto_package.exe_20170712093015"), lock.package_folder());
}

TEST_F(PackageFolderLockTest, FoldersOfEndedRunsGoAndThoseOfLiveRunsStay) {
  // A live run (its try, package and companion folders).
  PackageFolderLock live(folder(), Start());
  MakeFolder(L"velto_package0.exe_20170712093015");
  MakeFolder(L"velto_package.exe_20170712093015");
  MakeFolder(L"suite_20170712093015");
  // A run that was killed (its lock file stays, held by nobody), and one
  // whose machine went down with its lock.
  MakeFolder(L"velto_package3.exe_20160101000000");
  MakeFolder(L"velto_package.exe_20160101000000");
  MakeFolder(L"suite_20160101000000");
  ASSERT_TRUE(base::WriteFile(folder().Append(L"velto_package.exe_20160101000000.lock"), ""));
  MakeFolder(L"velto_package1.exe_20160202000000");
  ASSERT_TRUE(base::WriteFile(folder().Append(L"velto_package.exe_20160202000000.lock"), ""));
  // The calling run's own second, where something else has put a folder
  // since the run claimed it.
  PackageFolderLock own(folder(), Start());
  ASSERT_EQ(L"20170712093016", own.stamp());
  MakeFolder(L"velto_package0.exe_20170712093016");
  // Names of other things.
  MakeFolder(L"velto_package.exe");
  MakeFolder(L"velto_package.exe_2017");
  MakeFolder(L"suite_20170712093015x");
  MakeFolder(L"velto_packagex.exe_20170712093015");
  ASSERT_TRUE(base::WriteFile(folder().Append(L"velto_installer_20170712093015000.log"), "log"));

  PackageFolderLock::RemoveFoldersOfEndedRuns(folder(), base::Time::Now());

  EXPECT_EQ((std::set<std::wstring>{
                L"velto_package.exe_20170712093015.lock", L"velto_package0.exe_20170712093015",
                L"velto_package.exe_20170712093015", L"suite_20170712093015",
                L"velto_package.exe_20170712093016.lock", L"velto_package0.exe_20170712093016",
                L"velto_package.exe", L"velto_package.exe_2017", L"suite_20170712093015x",
                L"velto_packagex.exe_20170712093015", L"velto_installer_20170712093015000.log"}),
            Names());
  EXPECT_TRUE(live.is_held());
}

// An installer built before the lock files takes none: its folders cannot be
// told from an ended run's by a lock, only by their use.
TEST_F(PackageFolderLockTest, FoldersOfRunsWithoutLockStayWhileInUseOrRecentlyWritten) {
  MakeFolder(L"velto_package.exe_20170712093015");
  MakeFolder(L"velto_package0.exe_20170712093016");
  MakeFolder(L"suite_20170712093016");
  MakeFolder(L"velto_package.exe_20170712093017");
  // A program of the third run is running from its folder.
  base::win::ScopedHandle in_use(::CreateFileW(
      folder().Append(L"velto_package.exe_20170712093017\\inner\\file.dat").value().c_str(),
      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(in_use.IsValid());
  const std::set<std::wstring> all = Names();

  // Just written: every one may still be used.
  PackageFolderLock::RemoveFoldersOfEndedRuns(folder(), base::Time::Now());
  EXPECT_EQ(all, Names());

  // A day and more later, only the one in use stays.
  PackageFolderLock::RemoveFoldersOfEndedRuns(folder(),
                                              base::Time::Now() + base::TimeDelta::FromHours(25));
  EXPECT_EQ(std::set<std::wstring>{L"velto_package.exe_20170712093017"}, Names());

  in_use.Close();
  PackageFolderLock::RemoveFoldersOfEndedRuns(folder(),
                                              base::Time::Now() + base::TimeDelta::FromHours(25));
  EXPECT_TRUE(Names().empty());
}

TEST_F(PackageFolderLockTest, LockFileStaysWithFoldersItsRunLeft) {
  auto ended = std::make_unique<PackageFolderLock>(folder(), Start());
  MakeFolder(L"velto_package.exe_20170712093015");
  auto tidy = std::make_unique<PackageFolderLock>(folder(), Start());
  ASSERT_EQ(L"20170712093016", tidy->stamp());
  // A run that removed its folders takes its lock file with it; one whose
  // folder stayed (a program ran from it) leaves the file, held by nobody.
  tidy.reset();
  ended.reset();
  EXPECT_EQ((std::set<std::wstring>{L"velto_package.exe_20170712093015",
                                    L"velto_package.exe_20170712093015.lock"}),
            Names());
  // That tells the next run the folder's run has ended, however recent.
  PackageFolderLock::RemoveFoldersOfEndedRuns(folder(), base::Time::Now());
  EXPECT_TRUE(Names().empty());
}

TEST_F(PackageFolderLockTest, SecondWhoseFoldersAreThereIsNotClaimed) {
  // Left by a run without a lock file, maybe one still going on.
  MakeFolder(L"velto_package0.exe_20170712093015");
  PackageFolderLock lock(folder(), Start());
  EXPECT_EQ(L"20170712093016", lock.stamp());
}

}  // namespace
}  // namespace installer
