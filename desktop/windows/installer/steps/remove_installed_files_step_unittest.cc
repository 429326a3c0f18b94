#include "desktop/windows/installer/steps/remove_installed_files_step.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "base/base_paths.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/shared_folder_mark.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/test/fake_step_host.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class RemoveInstalledFilesStepTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"rm"));
    known_folders_ = std::make_unique<ScopedKnownFolders>(root_.Append(L"known"));
    host_.install_path = root_.Append(L"install");
    host_.settings = &settings_;
    settings_.operation = UPGRADING;
    ASSERT_TRUE(base::CreateDirectory(host_.install_path.Append(L"old_status")));
    ASSERT_TRUE(base::CreateDirectory(host_.install_path.Append(L"1.0\\sub")));
    ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"1.0\\a.txt"), "a"));
    ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"1.0\\sub\\b.txt"), "b"));
    ASSERT_TRUE(base::WriteFile(root_.Append(L"outside.txt"), "keep"));
    InstallationStatus old(GENERATED);
    old.subfolder = L"1.0";
    old.files = {L"a.txt", L"sub\\b.txt", L"..\\..\\outside.txt"};
    ASSERT_TRUE(WriteInstallationStatusFile(old, OldStatus()));
  }
  // Opens |path| without sharing, as a process using the file would.
  static base::win::ScopedHandle HoldOpen(const base::FilePath& path) {
    return base::win::ScopedHandle(::CreateFileW(path.value().c_str(), GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
  }
  base::FilePath OldStatus() const {
    return host_.install_path.Append(L"old_status\\installation_status.json.1500000000");
  }
  void Run() {
    RemoveInstalledFilesStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(StepResult::CODE_DONE, result.code);
    host_.CommitTransaction();
  }

  base::FilePath root_;
  std::unique_ptr<ScopedKnownFolders> known_folders_;
  FakeSettings settings_;
  FakeStepHost host_;
};

TEST_F(RemoveInstalledFilesStepTest, RemovesListedFilesTheStatusAndEmptyFolders) {
  Run();
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"1.0")));
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"old_status")));
  EXPECT_TRUE(base::DirectoryExists(host_.install_path));
  // An entry leading out of the version folder is never followed.
  EXPECT_TRUE(base::PathExists(root_.Append(L"outside.txt")));
}

TEST_F(RemoveInstalledFilesStepTest, RollbackOfTheRunBringsTheFilesBack) {
  RemoveInstalledFilesStep step(&host_);
  StepResult result;
  step.Run(&result, 0);
  host_.transaction.Rollback();
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0\\a.txt")));
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0\\sub\\b.txt")));
  EXPECT_TRUE(base::PathExists(OldStatus()));
}

TEST_F(RemoveInstalledFilesStepTest, OldCompanionShortcutsComeBackWithARollback) {
  base::FilePath start_menu;
  ASSERT_TRUE(base::PathService::Get(base::DIR_START_MENU, &start_menu));
  const base::FilePath companion = start_menu.Append(L"Velto and Tallimer.lnk");
  const base::FilePath other = start_menu.Append(L"Tallimer.lnk");
  ASSERT_TRUE(base::WriteFile(companion, "link"));
  ASSERT_TRUE(base::WriteFile(other, "link"));
  RemoveInstalledFilesStep step(&host_);
  StepResult result;
  step.Run(&result, 0);
  EXPECT_FALSE(base::PathExists(companion));
  EXPECT_TRUE(base::PathExists(other));
  // Its backup waits there for the end of the run, where runs of other
  // install folders look for backups of interrupted runs.
  EXPECT_TRUE(SharedFolderMark::IsSet(start_menu));
  host_.transaction.Rollback();
  EXPECT_TRUE(base::PathExists(companion));

  Run();
  EXPECT_FALSE(base::PathExists(companion));
  // Nothing of it is left behind once the run is kept.
  std::vector<base::FilePath> left;
  base::FileEnumerator files(start_menu, false, base::FileEnumerator::FILES);
  for (base::FilePath file = files.Next(); !file.empty(); file = files.Next())
    left.push_back(file);
  EXPECT_EQ(std::vector<base::FilePath>{other}, left);
}

TEST_F(RemoveInstalledFilesStepTest, UpgradeKeepsEverythingWhenAFileIsInUse) {
  base::win::ScopedHandle lock = HoldOpen(host_.install_path.Append(L"1.0\\sub\\b.txt"));
  ASSERT_TRUE(lock.IsValid());
  Run();
  lock.Close();
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0\\a.txt")));
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0\\sub\\b.txt")));
  EXPECT_TRUE(base::PathExists(OldStatus()));
}

TEST_F(RemoveInstalledFilesStepTest, UninstallGoesOnPastAFileInUse) {
  settings_.operation = UNINSTALLING;
  base::win::ScopedHandle lock = HoldOpen(host_.install_path.Append(L"1.0\\sub\\b.txt"));
  ASSERT_TRUE(lock.IsValid());
  Run();
  lock.Close();
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"1.0\\a.txt")));
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0\\sub\\b.txt")));
  EXPECT_TRUE(base::PathExists(OldStatus()));
}

TEST_F(RemoveInstalledFilesStepTest, OtherAndCorruptFilesAreLeftAlone) {
  ASSERT_TRUE(base::DeleteFile(OldStatus()));
  base::FilePath other = host_.install_path.Append(L"old_status\\notes.txt");
  base::FilePath corrupt = host_.install_path.Append(L"old_status\\installation_status.json.7");
  ASSERT_TRUE(base::WriteFile(other, "n"));
  ASSERT_TRUE(base::WriteFile(corrupt, "{not json"));
  Run();
  EXPECT_TRUE(base::PathExists(other));
  EXPECT_TRUE(base::PathExists(corrupt));
  EXPECT_TRUE(base::PathExists(host_.install_path.Append(L"1.0\\a.txt")));
}

}  // namespace
}  // namespace installer
