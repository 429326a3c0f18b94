#include "desktop/windows/installer/installer.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/steps/run_on_commit_operation.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "features/feature_registry.h"
#include "features/features.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {
namespace {

class NullOsOperations : public OsOperations {
 public:
  void SetUpDefaultBrowser(const Settings& settings, const InstallationStatus* status) override {}
};

// A step that answers with the codes of a script, one per run, and writes
// down the attempt numbers it was given.
class ScriptedStep : public InstallerStep {
 public:
  ScriptedStep(InstallerStepHost* host, std::vector<uint32_t> codes, std::vector<int>* attempts)
      : InstallerStep(host), codes_(std::move(codes)), attempts_(attempts) {}

  void Run(StepResult* result, int attempt) override {
    attempts_->push_back(attempt);
    uint32_t code = codes_[std::min<size_t>(attempts_->size() - 1, codes_.size() - 1)];
    *result = StepResult(code, 8, L"detail", "scripted");
  }

 private:
  std::vector<uint32_t> codes_;
  std::vector<int>* attempts_;
};

// A step that runs |action| and goes on.
class ActionStep : public InstallerStep {
 public:
  ActionStep(InstallerStepHost* host, base::RepeatingCallback<void(InstallerStepHost*)> action)
      : InstallerStep(host), action_(std::move(action)) {}
  void Run(StepResult* result, int attempt) override {
    action_.Run(host_);
    *result = StepResult();
  }

 private:
  base::RepeatingCallback<void(InstallerStepHost*)> action_;
};

class InstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    // A run reads the process-wide features, which earlier tests of this
    // process (upgrades among them) may have registered or overridden.
    ResetFeatureRegistryForTesting();
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"run"));
    package_ = root_.Append(L"package");
    install_ = root_.Append(L"Velto");
    ASSERT_TRUE(base::CreateDirectory(package_));
    ASSERT_TRUE(base::WriteFile(package_.Append(L"files_list"), "a.txt\r\n\r\nb.txt\n"));
    ASSERT_TRUE(base::WriteFile(package_.Append(L"root_files_list"), "r.txt"));
    base::PathService::Override(base::DIR_EXE, package_);
    environment_.privileges = &privileges_;
    environment_.command_line = &command_line_;
    environment_.step_retry_delay = base::TimeDelta();
  }
  void TearDown() override { base::PathService::RemoveOverride(base::DIR_EXE); }

  // Runs the folder's operation with one step, which runs |action|.
  void RunWithAction(base::RepeatingCallback<void(InstallerStepHost*)> action) {
    environment_.step_list_builder = base::BindRepeating(
        [](base::RepeatingCallback<void(InstallerStepHost*)> action, InstallationOperation,
           const InstallerStepListInput& input) {
          InstallerStepList steps;
          steps.push_back(std::make_unique<ActionStep>(input.host, action));
          return steps;
        },
        std::move(action));
    settings_.Analyse(install_, false);
    Installer installer(std::make_unique<NullOsOperations>(), environment_);
    RunInstallerToEnd(&installer, &settings_, &observer_);
    succeeded_ = installer.succeeded();
  }

  // Runs the folder's operation (an install, or an uninstall with
  // |uninstall|) whose step list is |scripts|, one scripted step per entry.
  void RunScripted(std::vector<std::vector<uint32_t>> scripts, bool uninstall = false) {
    attempts_.assign(scripts.size(), {});
    environment_.step_list_builder = base::BindRepeating(
        [](std::vector<std::vector<uint32_t>> scripts, std::vector<std::vector<int>>* attempts,
           InstallationOperation, const InstallerStepListInput& input) {
          InstallerStepList steps;
          for (size_t i = 0; i < scripts.size(); ++i)
            steps.push_back(std::make_unique<ScriptedStep>(input.host, scripts[i], &(*attempts)[i]));
          return steps;
        },
        scripts, &attempts_);
    settings_.Analyse(install_, uninstall);
    Installer installer(std::make_unique<NullOsOperations>(), environment_);
    RunInstallerToEnd(&installer, &settings_, &observer_);
    succeeded_ = installer.succeeded();
  }

  base::ShadowingAtExitManager at_exit_;
  base::MessageLoop loop_;
  base::FilePath root_;
  base::FilePath package_;
  base::FilePath install_;
  FakePrivileges privileges_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  InstallerEnvironment environment_;
  InstallerTestSettings settings_;
  RunEndObserver observer_;
  std::vector<std::vector<int>> attempts_;
  bool succeeded_ = false;
};

TEST_F(InstallerTest, AnnouncesStepsPlusListEntriesLessOneAndSucceeds) {
  RunScripted({{0}, {0}});
  // Two steps + two files-list entries (the blank line is dropped) + one
  // root entry - 1.
  std::vector<std::string> expected = {"ImportantEvent", "TotalSteps(4)", "Step", "Step",
                                       "Success"};
  EXPECT_EQ(expected, observer_.calls);
  EXPECT_TRUE(succeeded_);
  EXPECT_EQ(1, observer_.ends);
  EXPECT_TRUE(base::DirectoryExists(install_.AppendASCII(GetVersion())));
}

// The front ends start their progress at 1 of the announced total and move
// it by one for every step: the last step of an uninstallation must bring it
// to the total, whatever the steps' retries.
TEST_F(InstallerTest, UninstallAnnouncesTheStepsItGoesThrough) {
  InstallationStatus record(PRIMARY);
  record.version = GetVersion();
  record.subfolder = base::ASCIIToWide(GetVersion());
  ASSERT_TRUE(base::CreateDirectory(install_));
  ASSERT_TRUE(base::WriteFile(install_.Append(kInstallationStatusFileName),
                              *InstallationStatusToJson(record)));
  RunScripted({{0}, {2, 0}, {3, 3, 0}, {0}}, /*uninstall=*/true);
  ASSERT_EQ(UNINSTALLING, settings_.operation);
  EXPECT_TRUE(succeeded_);
  int total = -1;
  int progress = 0;
  for (const std::string& call : observer_.calls) {
    if (sscanf(call.c_str(), "TotalSteps(%d)", &total) == 1)
      progress = 1;
    else if (call == "Step")
      ++progress;
  }
  EXPECT_EQ(total, progress);
}

TEST_F(InstallerTest, RetryThenContinueRunsSixTimesThenGoesOn) {
  RunScripted({{3}, {0}});
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), attempts_[0]);
  EXPECT_EQ(1u, attempts_[1].size());
  EXPECT_TRUE(succeeded_);
}

TEST_F(InstallerTest, RetryThenFailFailsAfterTheSixthRunAndRollsBack) {
  RunScripted({{2}, {0}});
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5}), attempts_[0]);
  EXPECT_TRUE(attempts_[1].empty());
  EXPECT_FALSE(succeeded_);
  EXPECT_EQ((std::vector<std::string>{"Error(8,detail,scripted)"}), observer_.Errors());
  EXPECT_EQ("Terminated(0)", observer_.calls.back());
  // The folders the run made are gone with the rollback.
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerTest, RetryCanRecoverBeforeTheRetriesAreUsedUp) {
  RunScripted({{2, 2, 0}, {0}});
  EXPECT_EQ((std::vector<int>{0, 1, 2}), attempts_[0]);
  EXPECT_TRUE(succeeded_);
}

TEST_F(InstallerTest, FailedCodeFailsAtOnce) {
  RunScripted({{0}, {1}, {0}});
  EXPECT_EQ(1u, attempts_[1].size());
  EXPECT_TRUE(attempts_[2].empty());
  EXPECT_EQ(1u, observer_.Errors().size());
  EXPECT_EQ(1, observer_.ends);
}

TEST_F(InstallerTest, RetriesWaitTheRetryDelay) {
  environment_.step_retry_delay = base::TimeDelta::FromMilliseconds(50);
  base::TimeTicks start = base::TimeTicks::Now();
  RunScripted({{2, 0}});
  EXPECT_GE((base::TimeTicks::Now() - start).InMilliseconds(), 45);
  EXPECT_TRUE(succeeded_);
}

TEST_F(InstallerTest, EmptyFilesListFailsBeforeAnyChange) {
  ASSERT_TRUE(base::WriteFile(package_.Append(L"files_list"), "\r\n\n"));
  RunScripted({{0}});
  EXPECT_EQ((std::vector<std::string>{"Error(0,,No files in files list)"}), observer_.Errors());
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerTest, FilesListEntryLeavingThePackageRefusesTheRun) {
  for (const char* entry : {"..\\evil.dll", "C:\\Windows\\evil.dll", "\\\\host\\share\\x",
                            "a\\..\\..\\x", "x:stream"}) {
    ASSERT_TRUE(base::WriteFile(package_.Append(L"files_list"), std::string("ok.txt\n") + entry));
    observer_.calls.clear();
    RunScripted({{0}});
    ASSERT_EQ(1u, observer_.Errors().size()) << entry;
    EXPECT_NE(std::string::npos, observer_.Errors()[0].find("outside the installation")) << entry;
    EXPECT_FALSE(base::PathExists(install_)) << entry;
  }
}

TEST_F(InstallerTest, MissingRootFilesListAddsNothing) {
  ASSERT_TRUE(base::DeleteFile(package_.Append(L"root_files_list")));
  RunScripted({{0}});
  EXPECT_EQ("TotalSteps(2)", observer_.calls[1]);
}

TEST_F(InstallerTest, VersionSubfolderSkipsTakenNames) {
  // Both folders belong to the installation: the status names the one, a
  // status kept in old_status the other.
  std::string version = GetVersion();
  ASSERT_TRUE(base::CreateDirectory(install_.AppendASCII(version)));
  ASSERT_TRUE(base::CreateDirectory(install_.AppendASCII(version + "_0")));
  InstallationStatus record(PRIMARY);
  record.version = version;
  record.subfolder = base::ASCIIToWide(version);
  ASSERT_TRUE(base::WriteFile(install_.Append(kInstallationStatusFileName),
                              *InstallationStatusToJson(record)));
  record.subfolder = base::ASCIIToWide(version + "_0");
  ASSERT_TRUE(base::CreateDirectory(install_.Append(kOldStatusFolderName)));
  ASSERT_TRUE(base::WriteFile(
      install_.Append(kOldStatusFolderName).Append(L"installation_status.json.1500000000"),
      *InstallationStatusToJson(record)));
  RunScripted({{0}});
  EXPECT_TRUE(base::DirectoryExists(install_.AppendASCII(version)));
  EXPECT_TRUE(base::DirectoryExists(install_.AppendASCII(version + "_0")));
  EXPECT_TRUE(base::DirectoryExists(install_.AppendASCII(version + "_1")));
}

TEST_F(InstallerTest, VersionFolderOfAnInterruptedRunIsRemovedAndItsNameUsed) {
  // A run killed while copying left its version folder and a file it had
  // moved aside; no status names the folder.
  std::string version = GetVersion();
  ASSERT_TRUE(base::CreateDirectory(install_.AppendASCII(version)));
  ASSERT_TRUE(base::WriteFile(install_.AppendASCII(version).Append(L"half.dll"), "half"));
  ASSERT_TRUE(base::WriteFile(install_.Append(L"r.txt.1500000000.old"), "root file"));
  RunScripted({{0}});
  EXPECT_TRUE(succeeded_);
  EXPECT_TRUE(base::DirectoryExists(install_.AppendASCII(version)));
  EXPECT_FALSE(base::PathExists(install_.AppendASCII(version).Append(L"half.dll")));
  EXPECT_FALSE(base::PathExists(install_.AppendASCII(version + "_0")));
  // r.txt is a root file of the package: its backup is put back.
  EXPECT_TRUE(base::PathExists(install_.Append(L"r.txt")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"r.txt.1500000000.old")));
}

// A run killed after it had replaced the shortcuts and the installer
// preferences left their backups beside them: in the install folder and in
// the shortcut folders, which runs of every install folder share.
TEST_F(InstallerTest, BackupsOfAnInterruptedRunOutsideTheRootFilesAreResolved) {
  ScopedKnownFolders known(root_.Append(L"known"));
  const std::wstring shortcut = ShortcutInstaller::GetShortcutName();
  base::FilePath desktop, start_menu, quick_launch;
  ASSERT_TRUE(base::PathService::Get(base::DIR_USER_DESKTOP, &desktop));
  ASSERT_TRUE(base::PathService::Get(base::DIR_START_MENU, &start_menu));
  ASSERT_TRUE(base::PathService::Get(base::DIR_USER_QUICK_LAUNCH, &quick_launch));
  ASSERT_TRUE(base::CreateDirectory(install_));
  auto write = [](const base::FilePath& path, const char* contents) {
    ASSERT_TRUE(base::WriteFile(path, contents));
  };
  write(install_.Append(L"installer_prefs.json"), "{}");
  write(install_.Append(L"installer_prefs.json.1500000000.old"), "{\"old\":1}");
  write(desktop.Append(shortcut), "new");
  write(desktop.Append(shortcut + L".1500000000.old"), "old");
  write(quick_launch.Append(shortcut + L".1500000000.old"), "quick");
  // The companion shortcut that an upgrade had moved aside and not yet
  // removed for good.
  write(start_menu.Append(L"Velto Helper Tallimer.lnk.1500000000.old"), "companion");
  // No backup: left alone.
  write(desktop.Append(L"notes.txt.1500000000.old"), "notes");

  RunScripted({{0}});
  EXPECT_TRUE(succeeded_);
  EXPECT_FALSE(base::PathExists(install_.Append(L"installer_prefs.json.1500000000.old")));
  std::string contents;
  ASSERT_TRUE(base::ReadFileToString(desktop.Append(shortcut), &contents));
  EXPECT_EQ("new", contents);
  EXPECT_FALSE(base::PathExists(desktop.Append(shortcut + L".1500000000.old")));
  ASSERT_TRUE(base::ReadFileToString(quick_launch.Append(shortcut), &contents));
  EXPECT_EQ("quick", contents);
  ASSERT_TRUE(base::ReadFileToString(start_menu.Append(L"Velto Helper Tallimer.lnk"), &contents));
  EXPECT_EQ("companion", contents);
  EXPECT_TRUE(base::PathExists(desktop.Append(L"notes.txt.1500000000.old")));
}

TEST_F(InstallerTest, SavesTheLastInstallPathInTheTransaction) {
  RunScripted({{0}});
  base::win::RegKey key(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_READ);
  std::wstring value;
  ASSERT_EQ(ERROR_SUCCESS,
            key.ReadValue((L"Last " + base::UTF8ToWide(GetStreamName()) + L" Install Path").c_str(),
                          &value));
  EXPECT_EQ(install_.value() + L"\\", value);

  // A failed run takes the value back with everything else.
  MachineSnapshot before = MachineSnapshot::Take(root_);
  base::FilePath other = root_.Append(L"Other");
  settings_.Analyse(other, false);
  environment_.step_list_builder = base::BindRepeating(
      [](InstallationOperation, const InstallerStepListInput& input) {
        InstallerStepList steps;
        static std::vector<int> attempts;
        steps.push_back(std::make_unique<ScriptedStep>(input.host, std::vector<uint32_t>{1},
                                                       &attempts));
        return steps;
      });
  Installer installer(std::make_unique<NullOsOperations>(), environment_);
  RunInstallerToEnd(&installer, &settings_, &observer_);
  EXPECT_EQ(before, MachineSnapshot::Take(root_))
      << before.DescribeDifferences(MachineSnapshot::Take(root_));
}

TEST_F(InstallerTest, AutoupdateRunMayOnlyUpgrade) {
  settings_.Set(AUTOUPDATE, true);
  RunScripted({{0}});
  EXPECT_EQ((std::vector<std::string>{"Error(3,,Settings operation invalid for autoupdate)"}),
            observer_.Errors());
}

TEST_F(InstallerTest, AllUsersSilentWithoutElevationFails) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  settings_.Set(SILENT, true);
  RunScripted({{0}});
  EXPECT_EQ(
      (std::vector<std::string>{
          "Error(0,,Installation requires elevation, but cannot elevate when silent)"}),
      observer_.Errors());
}

TEST_F(InstallerTest, AllUsersWithoutElevationAsksForTheElevatedCopy) {
  privileges_.elevated_administrator = false;
  settings_.Set(ALL_USERS_FLAG, true);
  RunScripted({{0}});
  ASSERT_EQ(1u, privileges_.elevated_launches.size());
  EXPECT_NE(std::wstring::npos, privileges_.elevated_launches[0].find(L"--run-elevated"));
  // The fake refuses the prompt: elevation failed.
  EXPECT_EQ((std::vector<std::string>{"Error(6,,Elevated installation failed.)"}),
            observer_.Errors());
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerTest, StandardUserWithoutUacCannotElevate) {
  privileges_.elevated_administrator = false;
  privileges_.administrator = false;
  privileges_.uac_enabled = false;
  settings_.Set(ALL_USERS_FLAG, true);
  RunScripted({{0}});
  EXPECT_TRUE(privileges_.elevated_launches.empty());
  EXPECT_EQ((std::vector<std::string>{"Error(6,,Elevated installation failed.)"}),
            observer_.Errors());
}

TEST_F(InstallerTest, TemporaryFolderGrantIsTakenBackAtTheEnd) {
  privileges_.file_access = false;
  int restores_during_steps = -1;
  RunWithAction(base::BindRepeating(
      [](int* restores, FakePrivileges* privileges, InstallerStepHost*) {
        *restores = privileges->restores;
      },
      &restores_during_steps, &privileges_));
  ASSERT_TRUE(succeeded_);
  ASSERT_EQ(1u, privileges_.grants.size());
  EXPECT_EQ(install_, privileges_.grants[0].path);
  EXPECT_FALSE(privileges_.grants[0].keep);
  // Held while the steps work, taken back once the run has ended.
  EXPECT_EQ(0, restores_during_steps);
  EXPECT_EQ(1, privileges_.restores);
}

TEST_F(InstallerTest, ElevatedSingleProfileInstallGrantsOnlyTheProfileFolder) {
  settings_.Set(SINGLE_PROFILE, true);
  settings_.profile_folder = install_.Append(L"profile");
  RunScripted({{0}});
  ASSERT_EQ(1u, privileges_.grants.size());
  EXPECT_EQ(settings_.profile_folder, privileges_.grants[0].path);
  EXPECT_TRUE(privileges_.grants[0].keep);
}

TEST_F(InstallerTest, InterruptDuringARetryRollsBackWithoutError) {
  environment_.step_retry_delay = base::TimeDelta::FromMilliseconds(200);
  settings_.Analyse(install_, false);
  environment_.step_list_builder = base::BindRepeating(
      [](const base::FilePath& install, InstallationOperation, const InstallerStepListInput& input) {
        InstallerStepList steps;
        static std::vector<int> attempts;
        // The first run signals the interrupt, then asks to be run again.
        class InterruptingStep : public InstallerStep {
         public:
          InterruptingStep(InstallerStepHost* host, base::FilePath install)
              : InstallerStep(host), install_(install) {}
          void Run(StepResult* result, int attempt) override {
            base::win::ScopedHandle event(::OpenEventW(
                EVENT_MODIFY_STATE, FALSE,
                GetKernelObjectName(install_.value(), kernel_objects::kInstallationInterruptedEvent, true)
                    .c_str()));
            ::SetEvent(event.Get());
            *result = StepResult(StepResult::CODE_RETRY_THEN_FAIL);
          }
          base::FilePath install_;
        };
        steps.push_back(std::make_unique<InterruptingStep>(input.host, install));
        return steps;
      },
      install_);
  Installer installer(std::make_unique<NullOsOperations>(), environment_);
  RunInstallerToEnd(&installer, &settings_, &observer_);
  EXPECT_TRUE(observer_.Errors().empty());
  EXPECT_EQ("Terminated(0)", observer_.calls.back());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_FALSE(base::PathExists(install_));
}

// The front end gives up while the last step runs (its back end was killed
// while this installer worked for it): the run is not kept, although the
// event's watcher has not had its turn before the steps ran out.
TEST_F(InstallerTest, InterruptDuringTheLastStepKeepsNothing) {
  const std::wstring event =
      GetKernelObjectName(install_.value(), kernel_objects::kInstallationInterruptedEvent, true);
  RunWithAction(base::BindRepeating(
      [](const std::wstring& event, InstallerStepHost*) {
        base::win::ScopedHandle interrupted(::OpenEventW(EVENT_MODIFY_STATE, FALSE, event.c_str()));
        ASSERT_TRUE(interrupted.IsValid());
        ::SetEvent(interrupted.Get());
      },
      event));
  EXPECT_FALSE(succeeded_);
  EXPECT_TRUE(observer_.Errors().empty());
  EXPECT_EQ("Terminated(0)", observer_.calls.back());
  EXPECT_EQ(1, observer_.ends);
  EXPECT_FALSE(base::PathExists(install_));
}

// A run killed after it reported its success leaves nothing of its work
// undone: what it keeps is final before it says so.
TEST_F(InstallerTest, KeepsItsChangesBeforeItReportsSuccess) {
  RunWithAction(base::BindRepeating(
      [](std::vector<std::string>* calls, InstallerStepHost* host) {
        host->GetTransaction()->Do(std::make_unique<RunOnCommitOperation>(base::BindOnce(
            [](std::vector<std::string>* calls) { calls->push_back("Kept"); }, calls)));
      },
      &observer_.calls));
  ASSERT_TRUE(succeeded_);
  const std::vector<std::string>& calls = observer_.calls;
  const auto kept = std::find(calls.begin(), calls.end(), "Kept");
  const auto success = std::find(calls.begin(), calls.end(), "Success");
  ASSERT_NE(calls.end(), success);
  EXPECT_TRUE(kept < success) << testing::PrintToString(calls);
}

TEST_F(InstallerTest, InterruptAfterTheEndChangesNothing) {
  base::win::ScopedHandle interrupted = CreateInterruptedEvent(install_);
  RunScripted({{0}});
  ASSERT_TRUE(succeeded_);
  ::SetEvent(interrupted.Get());
  base::RunLoop().RunUntilIdle();
  EXPECT_EQ(1, observer_.ends);
  EXPECT_TRUE(base::DirectoryExists(install_.AppendASCII(GetVersion())));
}

// Told of the success, a front end may report it and its back end's process
// may end at once: by then the run has left no backup of what it replaced.
class BackupsAtSuccessObserver : public RunEndObserver {
 public:
  explicit BackupsAtSuccessObserver(const base::FilePath& folder) : folder_(folder) {}
  void OnSuccess() override {
    base::FileEnumerator backups(folder_, false, base::FileEnumerator::FILES, L"*.old");
    for (base::FilePath path = backups.Next(); !path.empty(); path = backups.Next())
      backups_at_success.push_back(path.BaseName().value());
    RunEndObserver::OnSuccess();
  }
  std::vector<std::wstring> backups_at_success;

 private:
  const base::FilePath folder_;
};

TEST_F(InstallerTest, BackupsAreGoneWhenTheSuccessIsTold) {
  ASSERT_TRUE(base::CreateDirectory(install_));
  const base::FilePath replaced = install_.Append(L"replaced.txt");
  ASSERT_TRUE(base::WriteFile(replaced, "old"));
  environment_.step_list_builder = base::BindRepeating(
      [](const base::FilePath& replaced, InstallationOperation,
         const InstallerStepListInput& input) {
        InstallerStepList steps;
        steps.push_back(std::make_unique<ActionStep>(
            input.host, base::BindRepeating(
                            [](const base::FilePath& replaced, InstallerStepHost* host) {
                              ASSERT_TRUE(host->GetTransaction()->Do(
                                  std::make_unique<DeleteFileOperation>(replaced.value(), false,
                                                                        false)));
                              // Kept aside until the run is final.
                              ASSERT_FALSE(base::PathExists(replaced));
                            },
                            replaced)));
        return steps;
      },
      replaced);
  settings_.Analyse(install_, false);
  BackupsAtSuccessObserver observer(install_);
  Installer installer(std::make_unique<NullOsOperations>(), environment_);
  RunInstallerToEnd(&installer, &settings_, &observer);
  ASSERT_TRUE(installer.succeeded());
  ASSERT_EQ(1, observer.ends);
  EXPECT_EQ(std::vector<std::wstring>{}, observer.backups_at_success);
  EXPECT_FALSE(base::PathExists(replaced));
}

// What an install or upgrade changes in the user's profile and how it starts
// the browser, once its steps are done.
class FinalizeInstallationTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    known_folders_ = std::make_unique<ScopedKnownFolders>(root_.Append(L"known"));
  }
  void TearDown() override {
    known_folders_.reset();
    InstallerTest::TearDown();
  }

  // An installation of an earlier version in the folder.
  void PlaceInstallation() {
    InstallationStatus record(PRIMARY);
    record.version = "46.0.0.1";
    record.subfolder = L"46.0.0.1";
    record.app_id = "1500000000";
    record.path = install_.value();
    ASSERT_TRUE(base::CreateDirectory(install_.Append(record.subfolder)));
    ASSERT_TRUE(base::WriteFile(install_.Append(kInstallationStatusFileName),
                                *InstallationStatusToJson(record)));
    ASSERT_TRUE(base::WriteFile(install_.Append(L"installer_prefs.json"), "{}"));
  }

  // The profile of the installation in the folder, holding |files|.
  base::FilePath PlaceProfile(const std::vector<std::pair<std::wstring, std::string>>& files) {
    settings_.Analyse(install_, false);
    base::FilePath profile = settings_.GetFolderDetails()->GetProfilePath();
    EXPECT_FALSE(profile.empty());
    EXPECT_TRUE(base::CreateDirectory(profile));
    for (const auto& [name, contents] : files)
      EXPECT_TRUE(base::WriteFile(profile.Append(name), contents));
    return profile;
  }

  static base::Value::Dict ReadJson(const base::FilePath& path) {
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path, &text)) << path.value();
    std::optional<base::Value::Dict> dict = base::JSONReader::ReadDict(text);
    EXPECT_TRUE(dict) << text;
    return dict ? std::move(*dict) : base::Value::Dict();
  }

  // A step action that writes |contents| as |name| into the resources of the
  // version folder the run installs.
  static base::RepeatingCallback<void(InstallerStepHost*)> WriteResource(std::wstring name,
                                                                          std::string contents) {
    return base::BindRepeating(
        [](const std::wstring& name, const std::string& contents, InstallerStepHost* host) {
          base::FilePath resources = host->GetInstallPath()
                                         .Append(host->GetInstallationStatus()->subfolder)
                                         .Append(L"resources");
          ASSERT_TRUE(base::CreateDirectory(resources));
          ASSERT_TRUE(base::WriteFile(resources.Append(name), contents));
        },
        std::move(name), std::move(contents));
  }

  std::unique_ptr<ScopedKnownFolders> known_folders_;
};

TEST_F(FinalizeInstallationTest, UpgradeTakesTheOldPartnerContentOutOfTheProfile) {
  base::FilePath profile;
  {
    // The preference pool made in here writes its files when it ends.
    base::ShadowingAtExitManager preferences_written;
    PlaceInstallation();
    profile = PlaceProfile({{L"Local State", R"({"intl":{"app_locale":"de"}})"},
                            {L"Preferences", R"({"statistics":{"collection_enabled":true},"a":1})"},
                            {L"custom_partner_content.json", "{}"},
                            {L"tracking_user_agent.json", "{}"}});
    settings_.language = L"fr";
    // The new version brings no partner content.
    RunWithAction(base::BindRepeating([](InstallerStepHost*) {}));
    ASSERT_TRUE(succeeded_);
  }
  EXPECT_FALSE(base::PathExists(profile.Append(L"custom_partner_content.json")));
  EXPECT_FALSE(base::PathExists(profile.Append(L"tracking_user_agent.json")));
  base::Value::Dict local_state = ReadJson(profile.Append(L"Local State"));
  const std::string* locale = local_state.FindStringByDottedPath("intl.app_locale");
  EXPECT_EQ("fr", locale ? *locale : "");
  EXPECT_EQ(true, local_state.FindBoolByDottedPath("custom_partner_content.updated"));
  base::Value::Dict preferences = ReadJson(profile.Append(L"Preferences"));
  EXPECT_FALSE(preferences.FindByDottedPath("statistics.collection_enabled"));
  EXPECT_EQ(1, preferences.FindIntByDottedPath("a"));
}

TEST_F(FinalizeInstallationTest, UpgradeKeepsThePartnerContentTheNewVersionBringsToo) {
  base::FilePath profile;
  {
    base::ShadowingAtExitManager preferences_written;
    PlaceInstallation();
    profile = PlaceProfile({{L"Local State", "{}"},
                            {L"custom_partner_content.json", "user"},
                            {L"tracking_user_agent.json", "user"}});
    RunWithAction(WriteResource(L"custom_partner_content.json", "new"));
    ASSERT_TRUE(succeeded_);
  }
  std::string text;
  EXPECT_TRUE(base::ReadFileToString(profile.Append(L"custom_partner_content.json"), &text));
  EXPECT_EQ("user", text);
  EXPECT_TRUE(base::PathExists(profile.Append(L"tracking_user_agent.json")));
  EXPECT_FALSE(ReadJson(profile.Append(L"Local State"))
                   .FindByDottedPath("custom_partner_content.updated"));
}

TEST_F(FinalizeInstallationTest, NewPartnerContentGoesIntoAProfileWithoutOneWhenTheFeatureIsOn) {
  GetFeatureRegistry()->RegisterFeature("keep-custom-partner-content-file-in-profile", true,
                                        false);
  base::FilePath profile;
  {
    base::ShadowingAtExitManager preferences_written;
    PlaceInstallation();
    profile = PlaceProfile({{L"Local State", "{}"}});
    RunWithAction(WriteResource(L"custom_partner_content.json", "new"));
    ASSERT_TRUE(succeeded_);
  }
  std::string text;
  EXPECT_TRUE(base::ReadFileToString(profile.Append(L"custom_partner_content.json"), &text));
  EXPECT_EQ("new", text);
  EXPECT_EQ(true, ReadJson(profile.Append(L"Local State"))
                      .FindBoolByDottedPath("custom_partner_content.updated"));
}

TEST_F(FinalizeInstallationTest, LauncherStartsMaximizedAfterAnInstallOnly) {
  settings_.Set(LAUNCH_VELTO, true);
  // The run's copy steps bring the launcher: the fake back end, which writes
  // its command line into the install folder.
  base::FilePath test_exe;
  ASSERT_TRUE(base::PathService::Get(base::FILE_EXE, &test_exe));
  auto place_launcher = base::BindRepeating(
      [](const base::FilePath& fake, InstallerStepHost* host) {
        const base::FilePath& install = host->GetInstallPath();
        ASSERT_TRUE(base::CopyFile(fake, install.Append(L"launcher.exe")));
        ASSERT_TRUE(base::WriteFile(install.Append(L"script.txt"), "record-command-line\nexit 0\n"));
      },
      test_exe.DirName().DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe"));
  RunWithAction(place_launcher);
  ASSERT_TRUE(succeeded_);
  PlaceInstallation();
  RunWithAction(place_launcher);
  ASSERT_TRUE(succeeded_);
  std::string result;
  ASSERT_TRUE(base::ReadFileToString(install_.Append(L"result.txt"), &result));
  std::vector<std::string> lines =
      base::SplitString(result, "\n", base::TRIM_WHITESPACE, base::SPLIT_WANT_NONEMPTY);
  ASSERT_EQ(2u, lines.size()) << result;
  EXPECT_NE(std::string::npos, lines[0].find("launcher.exe")) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find("--start-maximized")) << lines[0];
  EXPECT_EQ(std::string::npos, lines[1].find("--start-maximized")) << lines[1];
}

}  // namespace
}  // namespace installer
