#include "desktop/windows/installer/steps/finalize_installation_step.h"

#include <mstask.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/functional/bind.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_co_mem.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/task_scheduler_v1.h"
#include "desktop/windows/installer/service/task_scheduler_v2.h"
#include "desktop/windows/installer/service/test/fake_firewall_rule_store.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/service/test/fake_task_service_v2.h"
#include "desktop/windows/installer/service/test/real_machine_task_scheduler.h"
#include "desktop/windows/installer/service/test/scoped_real_local_machine.h"
#include "desktop/windows/installer/steps/autoupdate_task.h"
#include "desktop/windows/installer/steps/transacted_file_write.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using Microsoft::WRL::ComPtr;

class FinalizeInstallationStepTest : public StepTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.CreateUniqueTempDir());
    host_.install_path = root_.GetPath().Append(L"Velto");
    ASSERT_TRUE(base::CreateDirectory(host_.install_path));
    ASSERT_TRUE(base::WriteFile(host_.install_path.Append(L"launcher.exe"), "MZ"));
    // Unique per test process: the 1.0 scheduler's tasks are the machine's.
    host_.status.app_id = base::WideToUTF8(base::test::UniqueName(L"7"));
    host_.status.subfolder = L"47.0";
    privileges_.elevated_administrator = false;
    host_.environment.privileges = &privileges_;
    // The user's name in the SAM form is read from the machine's settings.
    ScopedRealLocalMachine real_local_machine;
    ASSERT_TRUE(GetUserNameInFormat(NameSamCompatible, &user_));
  }

  // Task Scheduler 2.0 over a folder in memory.
  void UseSchedulerV2() {
    host_.environment.task_scheduler_factory = base::BindRepeating(
        [](FakeTaskServiceV2::Store* store, int* made) -> std::unique_ptr<TaskScheduler> {
          ++*made;
          return std::make_unique<RealMachineTaskScheduler>(std::make_unique<TaskSchedulerV2>(
              std::make_unique<FakeTaskServiceV2>(store), false));
        },
        &store_, &schedulers_made_);
  }

  const FakeTaskServiceV2::Task* RegisteredV2() {
    auto it = store_.tasks.find(L"Velto scheduled Autoupdate " +
                                base::UTF8ToWide(host_.status.app_id));
    return it == store_.tasks.end() ? nullptr : &it->second;
  }

  void RunStep() {
    FinalizeInstallationStep step(&host_);
    EXPECT_EQ(0u, RunOnce(&step).code);
  }

  base::win::ScopedCOMInitializer com_;
  base::ScopedTempDir root_;
  FakePrivileges privileges_;
  FakeTaskServiceV2::Store store_;
  int schedulers_made_ = 0;
  std::wstring user_;
};

TEST_F(FinalizeInstallationStepTest, CurrentUserTaskWithSchedulerV2) {
  UseSchedulerV2();
  RunStep();
  const FakeTaskServiceV2::Task* task = RegisteredV2();
  ASSERT_TRUE(task);
  EXPECT_EQ(host_.install_path.Append(L"launcher.exe").value(), task->definition.exec_path);
  EXPECT_EQ(L"--scheduledautoupdate -- $(Arg0)", task->definition.exec_arguments);
  EXPECT_EQ(L"Keeps Velto up to date.", task->definition.description);
  EXPECT_EQ(L"PT3600S", task->definition.execution_time_limit);
  EXPECT_TRUE(task->definition.run_only_if_network_available);
  EXPECT_EQ(user_, task->user);
  EXPECT_EQ(3, task->logon_type);  // TASK_LOGON_INTERACTIVE_TOKEN

  // Undone with the run.
  host_.transaction.Rollback();
  EXPECT_EQ(nullptr, RegisteredV2());
}

TEST_F(FinalizeInstallationStepTest, AllUsersTaskRunsAsSystemWithSchedulerV2) {
  UseSchedulerV2();
  settings_.Set(ALL_USERS_FLAG, true);
  // A second installer holding a done event still creates the machine's task.
  host_.done_event = true;
  RunStep();
  const FakeTaskServiceV2::Task* task = RegisteredV2();
  ASSERT_TRUE(task);
  EXPECT_EQ(L"SYSTEM", task->user);
  EXPECT_EQ(5, task->logon_type);  // TASK_LOGON_SERVICE_ACCOUNT
}

TEST_F(FinalizeInstallationStepTest, NoTaskForACopyOrForAUserInstallOfASecondInstaller) {
  UseSchedulerV2();
  settings_.Set(COPY_ONLY, true);
  RunStep();
  settings_.Set(COPY_ONLY, false);
  host_.done_event = true;
  RunStep();
  EXPECT_EQ(0, schedulers_made_);
  EXPECT_TRUE(store_.tasks.empty());
}

TEST_F(FinalizeInstallationStepTest, TaskWithSchedulerV1OfTheSystem) {
  host_.environment.task_scheduler_factory =
      base::BindRepeating([]() -> std::unique_ptr<TaskScheduler> {
        return std::make_unique<RealMachineTaskScheduler>(std::make_unique<TaskSchedulerV1>());
      });
  settings_.Set(ALL_USERS_FLAG, true);
  RunStep();

  ComPtr<ITaskScheduler> system;
  {
    ScopedRealLocalMachine real_local_machine;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_ITaskScheduler,
                                           reinterpret_cast<void**>(system.GetAddressOf()))));
  }
  const std::wstring name = GetScheduledTaskName(GetAutoupdateTaskSuffix(host_.status.app_id));
  ComPtr<ITask> task;
  ASSERT_TRUE(SUCCEEDED(TaskSchedulerV1::ActivateWorkItem(system.Get(), name, &task)));
  base::win::ScopedCoMem<wchar_t> program, parameters, account;
  ASSERT_TRUE(SUCCEEDED(task->GetApplicationName(&program)));
  EXPECT_EQ(host_.install_path.Append(L"launcher.exe").value(), std::wstring(program.get()));
  ASSERT_TRUE(SUCCEEDED(task->GetParameters(&parameters)));
  EXPECT_EQ(L"--scheduledautoupdate -- $(Arg0)", std::wstring(parameters.get()));
  // The local SYSTEM account is stored as the empty account, where the
  // scheduler hands it back at all.
  if (SUCCEEDED(task->GetAccountInformation(&account))) {
    EXPECT_EQ(L"", std::wstring(account.get() ? account.get() : L""));
  }
  task.Reset();

  host_.transaction.Rollback();
  EXPECT_FALSE(SUCCEEDED(TaskSchedulerV1::ActivateWorkItem(system.Get(), name, &task)));
}

TEST_F(FinalizeInstallationStepTest, TaskCreationLowersAPositiveErrorCountWithTheRun) {
  UseSchedulerV2();
  const base::FilePath prefs = host_.install_path.Append(L"installer_prefs.json");
  ASSERT_TRUE(base::WriteFile(prefs, "{\"au_task_error_count\": 2, \"language\": \"nb\"}"));
  RunStep();
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(prefs, &text));
  EXPECT_NE(std::string::npos, text.find("\"au_task_error_count\":1")) << text;
  EXPECT_NE(std::string::npos, text.find("\"language\":\"nb\"")) << text;
  host_.transaction.Rollback();
  ASSERT_TRUE(base::ReadFileToString(prefs, &text));
  EXPECT_NE(std::string::npos, text.find("\"au_task_error_count\": 2")) << text;
}

// The run wrote the preferences a moment before (as the preferences step
// does), so the file's backup of that write still waits for the commit.
TEST_F(FinalizeInstallationStepTest, ErrorCountIsLoweredInPrefsTheRunJustWrote) {
  UseSchedulerV2();
  const base::FilePath prefs = host_.install_path.Append(L"installer_prefs.json");
  ASSERT_TRUE(base::WriteFile(prefs, "{\"au_task_error_count\": 3}"));
  ASSERT_TRUE(WriteFileInTransaction(&host_.transaction, prefs,
                                     "{\"au_task_error_count\": 2, \"language\": \"nb\"}"));
  RunStep();
  host_.CommitTransaction();
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(prefs, &text));
  EXPECT_NE(std::string::npos, text.find("\"au_task_error_count\":1")) << text;
  // Both writes' backups went with the commit.
  std::vector<std::wstring> names;
  base::FileEnumerator files(host_.install_path, false, base::FileEnumerator::FILES);
  for (base::FilePath file = files.Next(); !file.empty(); file = files.Next())
    names.push_back(file.BaseName().value());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::wstring>{L"installer_prefs.json", L"launcher.exe"}), names);
}

TEST_F(FinalizeInstallationStepTest, ErrorCountOfZeroIsKept) {
  UseSchedulerV2();
  const base::FilePath prefs = host_.install_path.Append(L"installer_prefs.json");
  ASSERT_TRUE(base::WriteFile(prefs, "{\"au_task_error_count\": 0}"));
  RunStep();
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(prefs, &text));
  EXPECT_EQ("{\"au_task_error_count\": 0}", text);
}

TEST_F(FinalizeInstallationStepTest, AdministratorAddsTheFirewallRuleOfTheNewVersion) {
  UseSchedulerV2();
  privileges_.elevated_administrator = true;
  FakeFirewallRuleStore::State firewall;
  host_.environment.firewall_manager_factory = base::BindRepeating(
      [](FakeFirewallRuleStore::State* state, const base::FilePath& path) {
        return FirewallManager::CreateWithStore(FirewallProductInfo::GetInstance(), path,
                                                std::make_unique<FakeFirewallRuleStore>(state));
      },
      &firewall);
  RunStep();
  ASSERT_EQ(1u, firewall.rules.size());
  EXPECT_EQ(host_.install_path.Append(L"47.0").Append(L"velto.exe").value(),
            firewall.rules[0].application_name);
  EXPECT_EQ(L"5353", firewall.rules[0].local_ports);
}

}  // namespace
}  // namespace installer
