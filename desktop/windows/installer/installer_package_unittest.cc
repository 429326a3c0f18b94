// Whole runs of Installer on the fixture packages (tests/fixtures/package):
// install, upgrade and uninstall for the current user and for all users, a
// failure at every step of each, and a file held open during an upgrade.
// Everything a run touches lies in the test's scratch folder (install folder
// and known folders) and the test process's redirected registry.

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/string_split.h"
#include "base/test/test_environment.h"
#include "base/time/time.h"
#include "base/win/registry.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/installation_status_reader_factory.h"
#include "desktop/windows/installer/service/task_scheduler_v1.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/service/test/real_machine_task_scheduler.h"
#include "desktop/windows/installer/steps/autoupdate_task.h"
#include "desktop/windows/installer/steps/shortcut_installer.h"
#include "desktop/windows/installer/steps/uninstall_process_launcher.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/steps/copy_file_step.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

class NullOsOperations : public OsOperations {
 public:
  void SetUpDefaultBrowser(const Settings& settings, const InstallationStatus* status) override {}
};

// Task Scheduler 1.0 as the system keeps it.
std::unique_ptr<TaskScheduler> SystemTaskSchedulerV1() {
  return std::make_unique<RealMachineTaskScheduler>(std::make_unique<TaskSchedulerV1>());
}

// Writes down what an uninstallation would start outside the installation.
class RecordingUninstallLauncher : public UninstallProcessLauncher {
 public:
  bool RunAndWait(const std::wstring& program, const std::wstring& parameters) override {
    started.push_back(program);
    return true;
  }
  bool StartThroughWmi(const std::wstring& command_line) override {
    started.push_back(command_line);
    return true;
  }
  std::vector<std::wstring> started;
};

// Runs the real step it wraps, then reports a failure: the run has to take
// back the step's own changes with all the others.
class FailingStep : public InstallerStep {
 public:
  FailingStep(InstallerStepHost* host, std::unique_ptr<InstallerStep> step, uint32_t category)
      : InstallerStep(host), step_(std::move(step)), category_(category) {}

  void Run(StepResult* result, int attempt) override {
    step_->Run(result, attempt);
    *result = StepResult(StepResult::CODE_FAILED, category_, L"injected", "injected failure");
  }

 private:
  std::unique_ptr<InstallerStep> step_;
  uint32_t category_;
};

class InstallerPackageTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"pkg"));
    // Copies of their own, for runs write into them.
    package_1_ = root_.Append(L"package-1");
    package_2_ = root_.Append(L"package-2");
    ASSERT_TRUE(base::CopyDirectory(FixturePackage(1), package_1_, true));
    ASSERT_TRUE(base::CopyDirectory(FixturePackage(2), package_2_, true));
    ASSERT_TRUE(base::PathExists(package_1_.Append(L"files_list"))) << package_1_.AsUTF8Unsafe();
    // What a run may change lies below |machine_|; the packages beside it
    // are the run's input (a run leaves its master shortcut there).
    machine_ = root_.Append(L"machine");
    known_folders_ = std::make_unique<ScopedKnownFolders>(machine_.Append(L"known"));
    install_ = machine_.Append(L"Programs\\Velto");
    command_line_.AppendSwitchASCII(switches::kServerTrackingData, "tracking_data.json");
    environment_.privileges = &privileges_;
    environment_.command_line = &command_line_;
    environment_.clock = &clock_;
    environment_.step_retry_delay = base::TimeDelta();
    // The autoupdate task goes to Task Scheduler 1.0, which Wine keeps for
    // real (2.0 stores no triggers there).
    environment_.task_scheduler_factory = base::BindRepeating(&SystemTaskSchedulerV1);
    environment_.uninstall_launcher = &uninstall_launcher_;
    for (SettingsFlag flag : {DESKTOP_SHORTCUT, START_MENU_SHORTCUT, QUICK_LAUNCH_SHORTCUT})
      settings_.Set(flag, true);
    // The shell caches the system's folders in HKEY_LOCAL_MACHINE the first
    // time a process makes a shell link; that happens here, not in a run.
    base::win::ShortcutProperties properties;
    properties.target = package_1_.Append(L"launcher.exe");
    ASSERT_TRUE(base::win::CreateShortcutLink(root_.Append(L"warm-up.lnk"), properties));
    ASSERT_TRUE(base::DeleteFile(root_.Append(L"warm-up.lnk")));
  }

  // The state of this installation's autoupdate task.
  TaskState AutoupdateTaskState(const std::string& app_id) {
    std::unique_ptr<TaskScheduler> scheduler = SystemTaskSchedulerV1();
    if (!scheduler->Init())
      return TASK_UNKNOWN;
    return scheduler->GetState(GetAutoupdateTaskSuffix(app_id));
  }
  // The Task Scheduler 1.0 files of this installation's tasks.
  static int TaskFiles(const std::string& app_id) {
    base::FilePath windows;
    base::PathService::Get(base::DIR_WINDOWS, &windows);
    int count = 0;
    base::FileEnumerator tasks(windows.Append(L"Tasks"), false, base::FileEnumerator::FILES,
                               L"*" + base::UTF8ToWide(app_id) + L"*.job");
    for (base::FilePath path = tasks.Next(); !path.empty(); path = tasks.Next())
      ++count;
    return count;
  }

  // Every registry value the status records is on disk with its data.
  void ExpectRecordedRegistryValuesOnDisk(const InstallationStatus& status) {
    size_t values = 0;
    for (const auto* keys : {&status.hkcu_keys, &status.hklm_keys}) {
      HKEY root = keys == &status.hkcu_keys ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
      for (const InstallationStatus::RegistryKey& key : *keys) {
        base::win::RegKey reg_key(root, base::UTF8ToWide(key.path).c_str(), KEY_READ);
        ASSERT_TRUE(reg_key.Valid()) << key.path;
        for (const InstallationStatus::RegistryValue& value : key.values) {
          ++values;
          std::wstring name = base::UTF8ToWide(value.name);
          if (value.type == "REG_SZ" || value.type == "REG_EXPAND_SZ") {
            std::wstring data;
            EXPECT_EQ(ERROR_SUCCESS, reg_key.ReadValue(name.c_str(), &data)) << key.path;
            EXPECT_EQ(value.data, base::WideToUTF8(data)) << key.path << " " << value.name;
          } else if (value.type == "REG_DWORD") {
            DWORD data = 0;
            EXPECT_EQ(ERROR_SUCCESS, reg_key.ReadValueDW(name.c_str(), &data)) << key.path;
            char text[16];
            snprintf(text, sizeof(text), "%.8lx", static_cast<unsigned long>(data));
            EXPECT_EQ(value.data, text) << key.path << " " << value.name;
          } else {
            EXPECT_TRUE(reg_key.HasValue(name.c_str())) << key.path << " " << value.name;
          }
        }
      }
    }
    EXPECT_GT(values, 0u);
  }

  // How many shortcuts of the build lie in the known folder |key|.
  static int ShortcutsIn(int key) {
    base::FilePath folder;
    base::PathService::Get(key, &folder);
    int count = 0;
    base::FileEnumerator shortcuts(folder, true, base::FileEnumerator::FILES,
                                   ShortcutInstaller::GetShortcutName());
    for (base::FilePath path = shortcuts.Next(); !path.empty(); path = shortcuts.Next())
      ++count;
    return count;
  }

  // The scratch folder, the registry and this test's scheduled tasks.
  MachineSnapshot Snapshot() {
    return MachineSnapshot::Take(machine_, base::UTF8ToWide(clock_.AppId()));
  }
  void TearDown() override {
    base::PathService::RemoveOverride(base::DIR_EXE);
    // The tasks are the system's: none may stay behind.
    std::unique_ptr<TaskScheduler> scheduler = SystemTaskSchedulerV1();
    if (scheduler->Init())
      scheduler->DeleteTask(GetAutoupdateTaskSuffix(clock_.AppId()));
  }

  // Runs |operation| from |package| (an upgrade or install as the folder
  // says, unless |uninstall|); true when the run succeeded.
  bool RunFrom(const base::FilePath& package, bool uninstall) {
    base::PathService::Override(base::DIR_EXE, package);
    settings_.Analyse(install_, uninstall);
    Installer installer(std::make_unique<NullOsOperations>(), environment_);
    observer_ = RunEndObserver();
    RunInstallerToEnd(&installer, &settings_, &observer_);
    EXPECT_EQ(1, observer_.ends);
    return installer.succeeded();
  }

  std::unique_ptr<InstallationStatus> ReadStatus() {
    std::string error;
    return ReadInstallationStatusFile(install_.Append(L"installation_status.json"), PRIMARY,
                                      &error);
  }

  // The files of the package's files_list, relative to its folder.
  static std::vector<std::wstring> ListedFiles(const base::FilePath& package) {
    std::string contents;
    base::ReadFileToString(package.Append(L"files_list"), &contents);
    std::vector<std::wstring> files;
    for (const std::string& line :
         base::SplitString(contents, "\r\n", base::KEEP_WHITESPACE, base::SPLIT_WANT_NONEMPTY)) {
      files.push_back(base::UTF8ToWide(line));
    }
    return files;
  }

  static bool SameFile(const base::FilePath& a, const base::FilePath& b) {
    return base::ContentsEqual(a, b);
  }

  void ExpectInstalledFrom(const base::FilePath& package, const std::wstring& subfolder) {
    base::FilePath version_folder = install_.Append(subfolder);
    for (const std::wstring& file : ListedFiles(package))
      EXPECT_TRUE(SameFile(package.Append(file), version_folder.Append(file))) << file;
    EXPECT_TRUE(SameFile(package.Append(L"launcher.exe"), install_.Append(L"launcher.exe")));
    EXPECT_TRUE(SameFile(package.Append(L"tracking_data.json"),
                         install_.Append(L"server_tracking_data")));
    EXPECT_TRUE(SameFile(package.Append(L"pref_default_overrides"),
                         install_.Append(L"pref_default_overrides")));
    EXPECT_TRUE(base::PathExists(install_.Append(L"installer_prefs.json")));
    std::unique_ptr<InstallationStatus> status = ReadStatus();
    ASSERT_TRUE(status);
    EXPECT_EQ(subfolder, status->subfolder);
    EXPECT_EQ(GetVersion(), status->version);
    EXPECT_EQ(install_.value(), status->path);
    std::vector<std::wstring> expected_files = ListedFiles(package);
    expected_files.push_back(L"installer_helper_64.exe");
    EXPECT_EQ(expected_files, status->files);
  }

  base::ShadowingAtExitManager at_exit_;
  base::win::ScopedCOMInitializer com_;
  base::MessageLoop loop_;
  base::FilePath package_1_;
  base::FilePath package_2_;
  base::FilePath root_;
  base::FilePath machine_;
  base::FilePath install_;
  std::unique_ptr<ScopedKnownFolders> known_folders_;
  FakePrivileges privileges_;
  UniqueProcessClock clock_;
  RecordingUninstallLauncher uninstall_launcher_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  InstallerEnvironment environment_;
  InstallerTestSettings settings_;
  RunEndObserver observer_;
};

TEST_F(InstallerPackageTest, InstallUpgradeAndUninstallForTheCurrentUser) {
  const std::wstring version = base::UTF8ToWide(GetVersion());
  // The installed launcher is started at the end; it exits at once.
  settings_.Set(LAUNCH_VELTO, true);
  ASSERT_TRUE(RunFrom(package_1_, false)) << observer_.Errors().front();
  ExpectInstalledFrom(package_1_, version);
  std::string app_id = ReadStatus()->app_id;
  EXPECT_EQ(clock_.AppId(), app_id);
  ExpectRecordedRegistryValuesOnDisk(*ReadStatus());
  EXPECT_EQ(1, ShortcutsIn(base::DIR_USER_DESKTOP));
  EXPECT_EQ(1, ShortcutsIn(base::DIR_START_MENU));
  EXPECT_EQ(1, ShortcutsIn(base::DIR_USER_QUICK_LAUNCH));
  EXPECT_EQ(1, TaskFiles(app_id)) << AutoupdateTaskState(app_id);

  ASSERT_TRUE(RunFrom(package_2_, false));
  EXPECT_EQ(UPGRADING, settings_.operation);
  // The running installer's version folder was taken: the next free name.
  ExpectInstalledFrom(package_2_, version + L"_0");
  EXPECT_EQ(app_id, ReadStatus()->app_id);
  // The previous status is kept for the removal of the previous files.
  {
    base::FileEnumerator old_status(install_.Append(L"old_status"), false,
                                    base::FileEnumerator::FILES);
    base::FilePath kept = old_status.Next();
    EXPECT_NE(std::wstring::npos, kept.BaseName().value().find(L"installation_status.json."));
  }
  // Root files of the previous version that the new one lacks are gone.
  EXPECT_FALSE(base::PathExists(install_.Append(L"license.txt")));
  EXPECT_TRUE(base::PathExists(install_.Append(L"third_party_notices.txt")));
  ExpectRecordedRegistryValuesOnDisk(*ReadStatus());
  EXPECT_EQ(1, ShortcutsIn(base::DIR_USER_DESKTOP));
  EXPECT_EQ(1, TaskFiles(app_id)) << AutoupdateTaskState(app_id);
  std::unique_ptr<InstallationStatus> upgraded = ReadStatus();

  ASSERT_TRUE(RunFrom(package_2_, true));
  // The first version's files went with its kept status, the second's with
  // the uninstallation; what the uninstallation keeps is the last install
  // path of the user (no other registry value of the run stays), and
  // folders the browser's own data may still need.
  EXPECT_FALSE(base::PathExists(install_.Append(version)));
  EXPECT_FALSE(base::PathExists(install_.Append(L"old_status")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"installation_status.json")));
  EXPECT_FALSE(base::PathExists(install_.Append(L"launcher.exe")));
  for (const std::wstring& file : upgraded->files)
    EXPECT_FALSE(base::PathExists(install_.Append(upgraded->subfolder).Append(file))) << file;
  for (const std::wstring& file : upgraded->root_files)
    EXPECT_FALSE(base::PathExists(install_.Append(file))) << file;
  for (const auto& key : upgraded->hkcu_keys) {
    base::win::RegKey reg_key(HKEY_CURRENT_USER, base::UTF8ToWide(key.path).c_str(), KEY_READ);
    for (const auto& value : key.values)
      EXPECT_FALSE(reg_key.Valid() && reg_key.HasValue(base::UTF8ToWide(value.name).c_str()))
          << key.path << " " << value.name;
  }
  EXPECT_EQ(0, ShortcutsIn(base::DIR_USER_DESKTOP));
  EXPECT_EQ(0, ShortcutsIn(base::DIR_START_MENU));
  EXPECT_EQ(0, ShortcutsIn(base::DIR_USER_QUICK_LAUNCH));
  EXPECT_EQ(0, TaskFiles(app_id)) << AutoupdateTaskState(app_id);
}

TEST_F(InstallerPackageTest, InstallForAllUsersThroughThePrivilegesSeam) {
  settings_.Set(ALL_USERS_FLAG, true);
  install_ = machine_.Append(L"known\\Program Files\\Velto");
  ASSERT_TRUE(RunFrom(package_1_, false));
  ExpectInstalledFrom(package_1_, base::UTF8ToWide(GetVersion()));
  EXPECT_TRUE(ReadStatus()->all_users);
  EXPECT_TRUE(privileges_.elevated_launches.empty());
  ExpectRecordedRegistryValuesOnDisk(*ReadStatus());
  EXPECT_FALSE(ReadStatus()->hklm_keys.empty());
  EXPECT_EQ(1, ShortcutsIn(base::DIR_COMMON_DESKTOP));
  EXPECT_EQ(1, ShortcutsIn(base::DIR_COMMON_START_MENU));
  EXPECT_EQ(0, ShortcutsIn(base::DIR_USER_DESKTOP));
  std::string app_id = ReadStatus()->app_id;
  EXPECT_EQ(1, TaskFiles(app_id)) << AutoupdateTaskState(app_id);
  ASSERT_TRUE(RunFrom(package_2_, false));
  ExpectRecordedRegistryValuesOnDisk(*ReadStatus());
  ASSERT_TRUE(RunFrom(package_2_, true));
  EXPECT_EQ(0, ShortcutsIn(base::DIR_COMMON_DESKTOP));
  EXPECT_EQ(0, TaskFiles(app_id)) << AutoupdateTaskState(app_id);
  EXPECT_FALSE(base::PathExists(install_.Append(L"installation_status.json")));

  // Without the rights, the same run hands over to an elevated copy.
  privileges_.elevated_administrator = false;
  install_ = machine_.Append(L"known\\Program Files\\Velto2");
  EXPECT_FALSE(RunFrom(package_1_, false));
  EXPECT_EQ(1u, privileges_.elevated_launches.size());
  EXPECT_FALSE(base::PathExists(install_));
}

class FailureSweepTest : public InstallerPackageTest {
 protected:
  // Runs the operation once for every step, each time with that step
  // failing, and checks that the machine is as before and that exactly one
  // error with the step's category was reported. Returns the runs made.
  int Sweep(const base::FilePath& package, bool uninstall) {
    // The number of steps of the operation, from a run that is cut short.
    size_t step_count = 0;
    environment_.step_list_builder = base::BindRepeating(
        [](size_t* count, InstallationOperation operation, const InstallerStepListInput& input) {
          InstallerStepList steps = BuildInstallerStepList(operation, input);
          *count = steps.size();
          return steps;
        },
        &step_count);
    const MachineSnapshot before = Snapshot();
    environment_.privileges = &privileges_;
    privileges_.file_access = true;
    int runs = 0;
    for (size_t failing = 0; runs == 0 || failing < step_count; ++failing) {
      uint32_t category = uninstall ? ERROR_CATEGORY_UNINSTALLATION : ERROR_CATEGORY_INSTALLATION;
      environment_.step_list_builder = base::BindRepeating(
          [](size_t failing, uint32_t category, size_t* count, InstallationOperation operation,
             const InstallerStepListInput& input) {
            InstallerStepList steps = BuildInstallerStepList(operation, input);
            *count = steps.size();
            uint32_t step_category =
                dynamic_cast<CopyFileStep*>(steps[failing].get()) ? ERROR_CATEGORY_FILE_COPY
                                                                  : category;
            steps[failing] = std::make_unique<FailingStep>(input.host, std::move(steps[failing]),
                                                           step_category);
            return steps;
          },
          failing, category, &step_count);
      EXPECT_FALSE(RunFrom(package, uninstall)) << "step " << failing;
      ++runs;
      MachineSnapshot after = Snapshot();
      EXPECT_TRUE(before == after) << "step " << failing << " of " << step_count << ":\n"
                                   << before.DescribeDifferences(after);
      std::vector<std::string> errors = observer_.Errors();
      EXPECT_EQ(1u, errors.size()) << "step " << failing;
      if (errors.size() != 1)
        break;
      bool copy_step = errors[0].rfind("Error(8,", 0) == 0;
      std::string expected_prefix = "Error(" + std::to_string(category) + ",injected,";
      EXPECT_TRUE(copy_step || errors[0].rfind(expected_prefix, 0) == 0) << errors[0];
      EXPECT_EQ("Terminated(0)", observer_.calls.back());
    }
    environment_.step_list_builder.Reset();
    return runs;
  }
};

TEST_F(FailureSweepTest, EveryStepOfInstallUpgradeAndUninstallRollsBack) {
  base::TimeTicks start = base::TimeTicks::Now();
  int runs = Sweep(package_1_, false);
  ASSERT_TRUE(RunFrom(package_1_, false));
  runs += Sweep(package_2_, false);
  ASSERT_TRUE(RunFrom(package_2_, false));
  runs += Sweep(package_2_, true);
  printf("failure sweep: %d runs in %lld ms\n", runs,
         static_cast<long long>((base::TimeTicks::Now() - start).InMilliseconds()));
}

TEST_F(InstallerPackageTest, FileHeldOpenDuringAnUpgradeFailsWithItsNameAfterTheRetries) {
  ASSERT_TRUE(RunFrom(package_1_, false));
  // The upgrade copies into a fresh version folder; the launcher is replaced
  // in place, so it is the file another process holds.
  base::FilePath launcher = install_.Append(L"launcher.exe");
  const MachineSnapshot before = Snapshot();
  base::win::ScopedHandle held(::CreateFileW(launcher.value().c_str(), GENERIC_READ,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                             nullptr));
  ASSERT_TRUE(held.IsValid());
  environment_.step_retry_delay = base::TimeDelta::FromSeconds(1);
  base::TimeTicks start = base::TimeTicks::Now();
  EXPECT_FALSE(RunFrom(package_2_, false));
  base::TimeDelta elapsed = base::TimeTicks::Now() - start;
  held.Close();

  std::vector<std::string> retries;
  for (const std::string& call : observer_.calls) {
    if (call.rfind("FileCopyRetry(", 0) == 0)
      retries.push_back(call);
  }
  EXPECT_EQ(5u, retries.size());
  EXPECT_EQ("FileCopyRetry(file_copy_retry)", retries.front());
  // Five retries one second apart.
  EXPECT_GE(elapsed.InMilliseconds(), 4900);
  EXPECT_EQ((std::vector<std::string>{"Error(8," + launcher.AsUTF8Unsafe() +
                                      ",Failed copying launcher.exe)"}),
            observer_.Errors());
  MachineSnapshot after = Snapshot();
  EXPECT_TRUE(before == after) << before.DescribeDifferences(after);
}

}  // namespace
}  // namespace installer
