#include <memory>
#include <string>
#include <vector>

#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/service/test/fake_association_shell.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/steps/autoupdate_task.h"
#include "desktop/windows/installer/steps/cleanup_after_uninstall_step.h"
#include "desktop/windows/installer/steps/finalize_uninstallation_step.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "desktop/windows/installer/steps/uninstall_process_launcher.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class FakeUninstallProcessLauncher : public UninstallProcessLauncher {
 public:
  bool RunAndWait(const std::wstring& program, const std::wstring& parameters) override {
    runs += program + L"|" + parameters + L";";
    return true;
  }
  bool StartThroughWmi(const std::wstring& command_line) override {
    wmi += command_line + L";";
    return true;
  }
  std::wstring runs;
  std::wstring wmi;
};

// Opens |path| so that it can be neither written, moved nor deleted.
base::win::ScopedHandle Lock(const base::FilePath& path) {
  return base::win::ScopedHandle(CreateFileW(path.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
}

class UninstallFinishingStepsTest : public StepTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.CreateUniqueTempDir());
    host_.install_path = root_.GetPath().Append(L"Velto");
    host_.package_folder = host_.install_path.Append(L"47.0");
    settings_.install_path = host_.install_path;
    ASSERT_TRUE(base::CreateDirectory(host_.package_folder));
    known_folders_ = std::make_unique<ScopedKnownFolders>(root_.GetPath().Append(L"known"));
    details_.record = std::make_unique<InstallationStatus>(PRIMARY);
    details_.record->app_id = "42";
    details_.record->subfolder = L"47.0";
    settings_.Set(UNINSTALL_FLAG, true);
    // A second installer: the batch file is written but not started.
    host_.done_event = true;
    host_.environment.windows_version = &version_;
    host_.environment.association_shell = &shell_;
    host_.environment.uninstall_launcher = &launcher_;
  }

  void Put(const base::FilePath& file) { ASSERT_TRUE(base::WriteFile(file, "x")); }

  StepResult RunFinalize() {
    FinalizeUninstallationStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    return result;
  }

  std::string RunCleanup() {
    CleanupAfterUninstallStep step(&host_);
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(0u, result.code);
    std::string batch;
    EXPECT_TRUE(base::ReadFileToString(host_.install_path.Append(L"k.bat"), &batch));
    return batch;
  }

  base::ScopedTempDir root_;
  FakeWindowsVersionProvider version_{base::win::VERSION_WIN7};
  FakeAssociationShell shell_;
  FakeUninstallProcessLauncher launcher_;
  std::unique_ptr<ScopedKnownFolders> known_folders_;
};

// A killed run neither rolls back nor commits: until the run is kept the
// status stays, so that the next uninstall still finds the installation.
TEST_F(UninstallFinishingStepsTest, FinalizeDeletesTheStatusFileOnceTheRunIsKept) {
  const base::FilePath status = host_.install_path.Append(L"installation_status.json");
  Put(status);
  EXPECT_EQ(0u, RunFinalize().code);
  EXPECT_TRUE(base::PathExists(status));
  host_.transaction.Rollback();
  EXPECT_TRUE(base::PathExists(status));
  EXPECT_EQ(0u, RunFinalize().code);
  EXPECT_TRUE(base::PathExists(status));
  host_.transaction.Commit();
  EXPECT_FALSE(base::PathExists(status));
  // No backup of it is left beside it.
  base::FileEnumerator left(host_.install_path, false, base::FileEnumerator::FILES,
                            L"installation_status.json*");
  EXPECT_TRUE(left.Next().empty());
}

TEST_F(UninstallFinishingStepsTest, FinalizeFailsWithCategoryOneWhenTheStatusFileStays) {
  const base::FilePath status = host_.install_path.Append(L"installation_status.json");
  Put(status);
  base::win::ScopedHandle lock = Lock(status);
  ASSERT_TRUE(lock.IsValid());
  StepResult result = RunFinalize();
  EXPECT_EQ(1u, result.code);
  EXPECT_EQ(1u, result.category);
  EXPECT_EQ("Failed to remove installation status file", result.message);
}

TEST_F(UninstallFinishingStepsTest, HttpHandlerHandsTheDefaultBackToInternetExplorer) {
  details_.http_handler = true;
  settings_.Set(ALL_USERS_FLAG, true);
  ScopedUserClassesRoot registry;
  WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\StartMenuInternet\\IEXPLORE.EXE\\InstallInfo",
              L"ReinstallCommand",
              L"\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" -reinstall x");
  EXPECT_EQ(0u, RunFinalize().code);
  EXPECT_EQ(L"C:\\Program Files\\Internet Explorer\\iexplore.exe|-reinstall x;", launcher_.runs);
  std::vector<std::wstring> expected = {
      L"BroadcastSettingChange Software\\Clients\\StartMenuInternet",
      L"NotifyAssociationsChanged",
      L"SetAppAsDefault Internet Explorer .htm 0",
      L"SetAppAsDefault Internet Explorer .html 0",
      L"SetAppAsDefault Internet Explorer http 1",
      L"SetAppAsDefault Internet Explorer https 1"};
  EXPECT_EQ(expected, shell_.calls());
}

TEST_F(UninstallFinishingStepsTest, ReinstallCommandSplitting) {
  std::wstring program, parameters;
  FinalizeUninstallationStep::SplitCommand(L"\"C:\\a b\\ie.exe\" -x -y", &program, &parameters);
  EXPECT_EQ(L"C:\\a b\\ie.exe", program);
  EXPECT_EQ(L"-x -y", parameters);
  FinalizeUninstallationStep::SplitCommand(L"C:\\ie.exe -x", &program, &parameters);
  EXPECT_EQ(L"C:\\ie.exe", program);
  EXPECT_EQ(L"-x", parameters);
  FinalizeUninstallationStep::SplitCommand(L"\"C:\\ie.exe", &program, &parameters);
  EXPECT_EQ(L"C:\\ie.exe", program);
  EXPECT_EQ(L"", parameters);
  FinalizeUninstallationStep::SplitCommand(L"ie.exe", &program, &parameters);
  EXPECT_EQ(L"ie.exe", program);
  EXPECT_EQ(L"", parameters);
}

TEST_F(UninstallFinishingStepsTest, SurveyAddressCarriesVersionUuidAndWelcomeQuery) {
  EXPECT_EQ(L"http://redir.velto.example/uninstallsurvey/?version=1.2&uuid=abc&utm=x&b=2",
            FinalizeUninstallationStep::GetSurveyUrl("1.2", "abc",
                                                     "https://w.example/welcome?utm=x&b=2"));
  EXPECT_EQ(L"http://redir.velto.example/uninstallsurvey/?version=1.2&uuid=",
            FinalizeUninstallationStep::GetSurveyUrl("1.2", "", "https://w.example/a?b?c"));
}

TEST_F(UninstallFinishingStepsTest, CopyOnlyKeepsTheDefaultBrowserAndOpensNoSurvey) {
  details_.http_handler = true;
  settings_.Set(COPY_ONLY, true);
  EXPECT_EQ(0u, RunFinalize().code);
  EXPECT_EQ(L"", launcher_.runs);
  EXPECT_EQ(L"", launcher_.wmi);
}

TEST_F(UninstallFinishingStepsTest, BatchFileWaitsForTheRunningProcessOnlyWhenAllWasDeleted) {
  details_.record->files = {L"velto.exe", L"locales\\en.pak"};
  Put(host_.package_folder.Append(L"velto.exe"));
  ASSERT_TRUE(base::CreateDirectory(host_.package_folder.Append(L"locales")));
  Put(host_.package_folder.Append(L"locales\\en.pak"));
  Put(host_.install_path.Append(L"launcher.exe"));
  std::string batch = RunCleanup();
  EXPECT_NE(std::string::npos, batch.find("\nSET PID1_RUNNING=TRUE\n:again\n"));
  EXPECT_NE(std::string::npos,
            batch.find("TASKLIST /FI \"PID eq " + std::to_string(GetCurrentProcessId()) + "\""));
  EXPECT_EQ(std::string::npos, batch.find("PID2"));
  EXPECT_EQ(std::string::npos, batch.find("del \""));
  EXPECT_EQ(std::string::npos, batch.find("rmdir"));
  EXPECT_FALSE(base::PathExists(host_.package_folder.Append(L"velto.exe")));
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"launcher.exe")));
}

TEST_F(UninstallFinishingStepsTest, CleanupRemovesThisInstallationsAutoupdateTaskOnly) {
  const base::FilePath program = root_.GetPath().Append(L"other launcher.exe");
  Put(program);
  for (const char* app_id : {"42", "7"}) {
    FakeTaskServiceV2::Task& task =
        host_.tasks.tasks[GetScheduledTaskName(GetAutoupdateTaskSuffix(app_id))];
    task.state.enabled = true;
    task.state.first_exec_path = program.value();
  }
  RunCleanup();
  EXPECT_EQ(0u, host_.tasks.tasks.count(GetScheduledTaskName(GetAutoupdateTaskSuffix("42"))));
  EXPECT_EQ(1u, host_.tasks.tasks.count(GetScheduledTaskName(GetAutoupdateTaskSuffix("7"))));
}

TEST_F(UninstallFinishingStepsTest, FilesInUseAreLeftToTheBatchFile) {
  host_.second_installer_pid = 4242;
  details_.record->files = {L"locales\\en.pak", L"..\\..\\outside.txt"};
  ASSERT_TRUE(base::CreateDirectory(host_.package_folder.Append(L"locales")));
  const base::FilePath pak = host_.package_folder.Append(L"locales\\en.pak");
  Put(pak);
  const base::FilePath outside = root_.GetPath().Append(L"outside.txt");
  Put(outside);
  base::win::ScopedHandle lock = Lock(pak);
  ASSERT_TRUE(lock.IsValid());
  std::string batch = RunCleanup();
  EXPECT_NE(std::string::npos, batch.find("SET PID3_RUNNING=TRUE\n"));
  // Named relative to the batch file's own folder, the install folder.
  EXPECT_NE(std::string::npos,
            batch.find("del \"47.0\\locales\\en.pak\"\n"
                       "rmdir \"47.0\\locales\"\nrmdir \"47.0\"\nrmdir \".\"\n"
                       "del %0\n"));
  EXPECT_EQ(std::string::npos, batch.find("outside"));
  EXPECT_TRUE(base::PathExists(outside));
}

TEST_F(UninstallFinishingStepsTest, ProfileOfThisInstallationIsDeletedOnRequest) {
  settings_.Set(DELETE_PROFILE, true);
  // A single-profile installation keeps its profile in the install folder.
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installer_prefs.json"),
                              "{\"single_profile\": true}"));
  const base::FilePath data = host_.install_path.Append(L"profile\\data");
  ASSERT_TRUE(base::CreateDirectory(data.Append(L"Default")));
  Put(data.Append(L"Local State"));
  RunCleanup();
  // Deleted only once the run is kept.
  EXPECT_TRUE(base::PathExists(data));
  host_.CommitTransaction();
  EXPECT_FALSE(base::PathExists(data));
}

TEST_F(UninstallFinishingStepsTest, RolledBackUninstallKeepsTheProfileAndLeavesNoBatchFile) {
  settings_.Set(DELETE_PROFILE, true);
  host_.done_event = false;
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installer_prefs.json"),
                              "{\"single_profile\": true}"));
  const base::FilePath data = host_.install_path.Append(L"profile\\data");
  ASSERT_TRUE(base::CreateDirectory(data));
  Put(data.Append(L"Local State"));
  details_.record->files = {L"velto.exe"};
  Put(host_.package_folder.Append(L"velto.exe"));
  RunCleanup();
  host_.transaction.Rollback();
  host_.CommitTransaction();
  EXPECT_TRUE(base::PathExists(data.Append(L"Local State")));
  EXPECT_TRUE(base::PathExists(host_.package_folder.Append(L"velto.exe")));
  EXPECT_FALSE(base::PathExists(host_.install_path.Append(L"k.bat")));
}

TEST_F(UninstallFinishingStepsTest, ProfileFolderWithoutABrowserProfileIsKept) {
  settings_.Set(DELETE_PROFILE, true);
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installer_prefs.json"),
                              "{\"single_profile\": true}"));
  const base::FilePath data = host_.install_path.Append(L"profile\\data");
  ASSERT_TRUE(base::CreateDirectory(data));
  Put(data.Append(L"notes.txt"));
  RunCleanup();
  host_.CommitTransaction();
  EXPECT_TRUE(base::PathExists(data.Append(L"notes.txt")));
}

TEST_F(UninstallFinishingStepsTest, CommonFolderOfEveryUsersProfileIsNeverDeleted) {
  settings_.Set(DELETE_PROFILE, true);
  // Profiles per user name below one common folder.
  const base::FilePath common = root_.GetPath().Append(L"profiles");
  std::string json_path = base::WideToUTF8(common.value()) + "\\<USERNAME>";
  base::ReplaceSubstringsAfterOffset(&json_path, 0, "\\", "\\\\");
  ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"installer_prefs.json"),
                              "{\"profile_path\": \"" + json_path + "\"}"));
  std::wstring user;
  ASSERT_TRUE(GetCurrentUserName(&user));
  const base::FilePath own = common.Append(user);
  const base::FilePath other = common.Append(L"someone else");
  for (const base::FilePath& profile : {own, other}) {
    ASSERT_TRUE(base::CreateDirectory(profile));
    Put(profile.Append(L"Local State"));
  }
  Put(common.Append(L"Local State"));
  RunCleanup();
  host_.CommitTransaction();
  EXPECT_TRUE(base::PathExists(other.Append(L"Local State")));
  EXPECT_TRUE(base::PathExists(common.Append(L"Local State")));
  EXPECT_FALSE(base::PathExists(own));
}

}  // namespace
}  // namespace installer
