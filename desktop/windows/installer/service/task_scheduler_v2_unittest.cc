#include "desktop/windows/installer/service/task_scheduler_v2.h"

#include <taskschd.h>

#include <regex>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/task_service_v2_impl.h"
#include "desktop/windows/installer/service/test/fake_task_service_v2.h"
#include "desktop/windows/installer/service/test/scoped_real_local_machine.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

class TaskSchedulerV2Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(GetUserNameInFormat(NameSamCompatible, &user_));
    program_ = temp_.GetPath().Append(L"launcher.exe");
    ASSERT_TRUE(base::WriteFile(program_, "stub"));
  }

  std::unique_ptr<TaskSchedulerV2> MakeScheduler(bool is_admin) {
    auto scheduler = std::make_unique<TaskSchedulerV2>(
        std::make_unique<FakeTaskServiceV2>(&store_), is_admin);
    EXPECT_TRUE(scheduler->Init());
    return scheduler;
  }

  ScheduledTaskInfo MakeInfo(uint32_t kind) {
    base::CommandLine command_line(program_);
    command_line.AppendSwitch("scheduledautoupdate");
    command_line.AppendArg("$(Arg0)");
    ScheduledTaskInfo info(command_line);
    info.name_suffix = L"Autoupdate 7";
    info.description = L"Keeps Velto up to date.";
    info.execution_limit_seconds = 3600;
    info.trigger_kind = kind;
    info.run_only_if_network_available = true;
    return info;
  }

  const FakeTaskServiceV2::Task* Registered() {
    auto it = store_.tasks.find(L"Velto scheduled Autoupdate 7");
    return it == store_.tasks.end() ? nullptr : &it->second;
  }

  static bool IsTimeText(const std::wstring& text) {
    return std::regex_match(base::WideToUTF8(text),
                            std::regex("\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}"));
  }

  // The user's name in the SAM form is read from the machine's settings.
  ScopedRealLocalMachine real_local_machine_;
  base::ScopedTempDir temp_;
  FakeTaskServiceV2::Store store_;
  std::wstring user_;
  base::FilePath program_;
};

TEST_F(TaskSchedulerV2Test, DailyUserTaskWithLogonTrigger) {
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerDaily);
  info.add_logon_trigger = true;
  ASSERT_TRUE(MakeScheduler(true)->CreateTask(info));

  const FakeTaskServiceV2::Task* task = Registered();
  ASSERT_TRUE(task);
  EXPECT_EQ(user_, task->user);
  EXPECT_EQ(TASK_LOGON_INTERACTIVE_TOKEN, task->logon_type);
  EXPECT_EQ(L"", task->sddl);
  const TaskDefinitionV2& definition = task->definition;
  EXPECT_EQ(user_, definition.author);
  EXPECT_EQ(L"Keeps Velto up to date.", definition.description);
  EXPECT_EQ(L"PT3600S", definition.execution_time_limit);
  EXPECT_EQ(TASK_INSTANCES_IGNORE_NEW, definition.multiple_instances);
  EXPECT_TRUE(definition.run_only_if_network_available);
  EXPECT_FALSE(definition.stop_if_going_on_batteries);
  EXPECT_FALSE(definition.disallow_start_if_on_batteries);
  EXPECT_TRUE(definition.start_when_available);
  EXPECT_EQ(L"", definition.delete_expired_task_after);
  EXPECT_EQ(program_.value(), definition.exec_path);
  EXPECT_EQ(L"--scheduledautoupdate -- $(Arg0)", definition.exec_arguments);
  EXPECT_TRUE(definition.run_level_highest);

  ASSERT_EQ(2u, definition.triggers.size());
  const TaskTriggerV2& daily = definition.triggers[0];
  EXPECT_EQ(TaskTriggerV2::Type::kDaily, daily.type);
  EXPECT_EQ(L"Daily run", daily.id);
  EXPECT_EQ(1, daily.days_interval);
  EXPECT_TRUE(IsTimeText(daily.start_boundary)) << daily.start_boundary;
  const TaskTriggerV2& logon = definition.triggers[1];
  EXPECT_EQ(TaskTriggerV2::Type::kLogon, logon.type);
  EXPECT_EQ(L"Logon run", logon.id);
  EXPECT_EQ(daily.start_boundary, logon.start_boundary);
  EXPECT_EQ(L"PT" + std::to_wstring(ProductConfig::GetScheduledAutoupdateDelayMin()) + L"M",
            logon.delay);
  EXPECT_EQ(user_, logon.user_id);
  EXPECT_TRUE(store_.deleted.size() == 1 && store_.deleted[0] == L"Velto scheduled Autoupdate 7");
}

TEST_F(TaskSchedulerV2Test, SystemTaskBootsAndIsReadableByAuthenticatedUsers) {
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerNone);
  info.run_as_system = 1;
  info.add_logon_trigger = true;
  info.execution_limit_seconds = 0;
  ASSERT_TRUE(MakeScheduler(false)->CreateTask(info));
  const FakeTaskServiceV2::Task* task = Registered();
  ASSERT_TRUE(task);
  EXPECT_EQ(L"SYSTEM", task->user);
  EXPECT_EQ(TASK_LOGON_SERVICE_ACCOUNT, task->logon_type);
  EXPECT_EQ(L"D:(A;;GRGX;;;AU)", task->sddl);
  EXPECT_EQ(L"PT0S", task->definition.execution_time_limit);
  EXPECT_FALSE(task->definition.run_level_highest);
  ASSERT_EQ(1u, task->definition.triggers.size());
  EXPECT_EQ(TaskTriggerV2::Type::kBoot, task->definition.triggers[0].type);
  EXPECT_EQ(L"", task->definition.triggers[0].user_id);
}

TEST_F(TaskSchedulerV2Test, FailedSecurityDescriptorStillCreates) {
  store_.sddl_result = E_ACCESSDENIED;
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerDaily);
  info.run_as_system = 1;
  EXPECT_TRUE(MakeScheduler(true)->CreateTask(info));
  EXPECT_TRUE(Registered());
}

TEST_F(TaskSchedulerV2Test, RunOnceTaskIsRegisteredThenDeleted) {
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerOnce);
  info.add_logon_trigger = true;
  store_.register_result = S_OK;
  std::unique_ptr<TaskSchedulerV2> scheduler = MakeScheduler(true);
  // Keep a copy of what was registered before the scheduler deletes it.
  ASSERT_TRUE(scheduler->CreateTask(info));
  EXPECT_FALSE(Registered());
  ASSERT_EQ(2u, store_.deleted.size());
  EXPECT_EQ(store_.deleted[0], store_.deleted[1]);
}

TEST_F(TaskSchedulerV2Test, RunOnceDefinition) {
  // A service that refuses deletion shows the definition a run-once task had.
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerOnce);
  info.add_logon_trigger = true;
  class KeepingService : public FakeTaskServiceV2 {
   public:
    using FakeTaskServiceV2::FakeTaskServiceV2;
    bool DeleteTask(const std::wstring& name) override { return false; }
  };
  TaskSchedulerV2 scheduler(std::make_unique<KeepingService>(&store_), false);
  ASSERT_TRUE(scheduler.CreateTask(info));
  const FakeTaskServiceV2::Task* task = Registered();
  ASSERT_TRUE(task);
  EXPECT_EQ(L"PT0S", task->definition.delete_expired_task_after);
  ASSERT_EQ(1u, task->definition.triggers.size());
  const TaskTriggerV2& once = task->definition.triggers[0];
  EXPECT_EQ(TaskTriggerV2::Type::kRegistration, once.type);
  EXPECT_EQ(L"Run once", once.id);
  EXPECT_TRUE(IsTimeText(once.end_boundary)) << once.end_boundary;
  EXPECT_EQ(L"", once.start_boundary);
}

TEST_F(TaskSchedulerV2Test, FailedRegistrationFails) {
  store_.register_result = E_ACCESSDENIED;
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerDaily);
  info.run_as_system = 1;
  EXPECT_FALSE(MakeScheduler(true)->CreateTask(info));
  EXPECT_FALSE(Registered());
}

TEST_F(TaskSchedulerV2Test, DailyIntervalStoredOnlyWhenItChanges) {
  std::unique_ptr<TaskSchedulerV2> scheduler = MakeScheduler(true);
  ASSERT_TRUE(scheduler->CreateTask(MakeInfo(kTaskTriggerDaily)));
  store_.tasks.begin()->second.state.first_daily_interval = 1;
  scheduler->SetDailyInterval(L"Autoupdate 7", 1);
  EXPECT_EQ(0, store_.interval_updates);
  scheduler->SetDailyInterval(L"Autoupdate 7", 3);
  EXPECT_EQ(1, store_.interval_updates);
  scheduler->SetDailyInterval(L"missing", 3);
  EXPECT_EQ(1, store_.interval_updates);
}

TEST_F(TaskSchedulerV2Test, StatesAndLastRunTime) {
  std::unique_ptr<TaskSchedulerV2> scheduler = MakeScheduler(true);
  EXPECT_EQ(TASK_NOT_FOUND, scheduler->GetState(L"Autoupdate 7"));
  ASSERT_TRUE(scheduler->CreateTask(MakeInfo(kTaskTriggerDaily)));
  RegisteredTaskV2& state = store_.tasks.begin()->second.state;
  const struct {
    int system_state;
    TaskState expected;
  } cases[] = {{TASK_STATE_DISABLED, TASK_DISABLED}, {TASK_STATE_QUEUED, TASK_READY},
               {TASK_STATE_READY, TASK_READY},       {TASK_STATE_RUNNING, TASK_RUNNING},
               {TASK_STATE_UNKNOWN, TASK_UNKNOWN}};
  for (const auto& c : cases) {
    state.state = c.system_state;
    EXPECT_EQ(c.expected, scheduler->GetState(L"Autoupdate 7")) << c.system_state;
  }
  const base::Time when = base::Time::Now();
  state.last_run_time = when;
  EXPECT_EQ(when, scheduler->GetLastRunTime(L"Autoupdate 7"));
  EXPECT_TRUE(scheduler->GetLastRunTime(L"missing").is_null());
  scheduler->SetEnabled(L"Autoupdate 7", false);
  EXPECT_FALSE(state.enabled);
  EXPECT_TRUE(scheduler->RunNow(L"Autoupdate 7", {L"a"}));
  scheduler->DeleteTask(L"Autoupdate 7");
  EXPECT_EQ(TASK_NOT_FOUND, scheduler->GetState(L"Autoupdate 7"));
}

TEST_F(TaskSchedulerV2Test, DeleteStaleTasks) {
  auto add = [this](const std::wstring& name, const base::FilePath& program, bool enabled) {
    FakeTaskServiceV2::Task& task = store_.tasks[name];
    task.state.enabled = enabled;
    task.state.first_exec_path = program.value();
  };
  const base::FilePath gone = temp_.GetPath().Append(L"gone.exe");
  add(L"Velto scheduled Autoupdate 1", program_, true);
  add(L"Velto scheduled Autoupdate 2", gone, true);
  add(L"Velto scheduled Autoupdate 3", gone, false);
  add(L"Other scheduled Autoupdate 4", gone, true);
  MakeScheduler(true)->DeleteStaleTasks();
  EXPECT_EQ(1u, store_.tasks.count(L"Velto scheduled Autoupdate 1"));
  EXPECT_EQ(0u, store_.tasks.count(L"Velto scheduled Autoupdate 2"));
  EXPECT_EQ(1u, store_.tasks.count(L"Velto scheduled Autoupdate 3"));
  EXPECT_EQ(1u, store_.tasks.count(L"Other scheduled Autoupdate 4"));
}

// The real service: connecting and asking for a missing task (the rest of
// the service cannot be exercised where the system keeps no triggers).
TEST(TaskServiceV2ImplTest, ConnectsToTheSystemService) {
  base::win::ScopedCOMInitializer com;
  ScopedRealLocalMachine real_local_machine;
  TaskServiceV2Impl service;
  ASSERT_TRUE(service.Connect());
  RegisteredTaskV2 task;
  EXPECT_FALSE(service.GetTask(L"Velto scheduled no such task", &task));
}

// Registration and deletion of a task without triggers through the real
// service.
TEST(TaskServiceV2ImplTest, RegistersAndDeletes) {
  base::win::ScopedCOMInitializer com;
  ScopedRealLocalMachine real_local_machine;
  TaskServiceV2Impl service;
  ASSERT_TRUE(service.Connect());
  std::wstring user;
  ASSERT_TRUE(GetUserNameInFormat(NameSamCompatible, &user));
  const std::wstring name = base::test::UniqueName(L"Velto scheduled probe");
  TaskDefinitionV2 definition;
  definition.author = user;
  definition.description = L"probe";
  definition.execution_time_limit = L"PT0S";
  definition.exec_path = L"C:\\windows\\system32\\cmd.exe";
  definition.exec_arguments = L"/c exit";
  const HRESULT hr = service.RegisterTask(name, definition, user, TASK_LOGON_INTERACTIVE_TOKEN);
  ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  RegisteredTaskV2 task;
  EXPECT_TRUE(service.GetTask(name, &task));
  EXPECT_EQ(name, task.name);
  EXPECT_TRUE(service.DeleteTask(name));
  EXPECT_FALSE(service.GetTask(name, &task));
}

}  // namespace
}  // namespace installer
