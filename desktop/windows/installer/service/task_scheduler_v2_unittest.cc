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
  EXPECT_EQ(L"PT5M", logon.delay);  // The configuration's 5 minutes.
  EXPECT_EQ(user_, logon.user_id);
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
  ASSERT_TRUE(MakeScheduler(true)->CreateTask(info));
  EXPECT_FALSE(Registered());
  EXPECT_EQ(std::vector<std::wstring>{L"Velto scheduled Autoupdate 7"}, store_.deleted);
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

TEST_F(TaskSchedulerV2Test, ReplacementThatFailsKeepsTheTaskItWouldReplace) {
  std::unique_ptr<TaskSchedulerV2> scheduler = MakeScheduler(true);
  ASSERT_TRUE(scheduler->CreateTask(MakeInfo(kTaskTriggerDaily)));
  store_.register_result = E_ACCESSDENIED;
  ScheduledTaskInfo info = MakeInfo(kTaskTriggerNone);
  info.description = L"second";
  EXPECT_FALSE(scheduler->CreateTask(info));
  ASSERT_TRUE(Registered());
  EXPECT_EQ(L"Keeps Velto up to date.", Registered()->definition.description);
  EXPECT_EQ(1u, Registered()->definition.triggers.size());
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
  // A task that is there but cannot be read is not a missing one.
  store_.tasks.begin()->second.read_result = E_ACCESSDENIED;
  EXPECT_EQ(TASK_UNKNOWN, scheduler->GetState(L"Autoupdate 7"));
  store_.tasks.begin()->second.read_result = S_OK;
  EXPECT_TRUE(scheduler->GetLastRunTime(L"missing").is_null());
  scheduler->SetEnabled(L"Autoupdate 7", false);
  EXPECT_FALSE(state.enabled);
  EXPECT_TRUE(scheduler->RunNow(L"Autoupdate 7", {L"a", L"b c"}));
  EXPECT_FALSE(scheduler->RunNow(L"missing", {}));
  ASSERT_EQ(1u, store_.runs.size());
  EXPECT_EQ(L"Velto scheduled Autoupdate 7", store_.runs[0].first);
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b c"}), store_.runs[0].second);
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

// The real service, with a task name of the test's own (the rest of the
// service cannot be exercised where the system keeps no triggers).
class TaskServiceV2ImplTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.Connect());
    ASSERT_TRUE(GetUserNameInFormat(NameSamCompatible, &user_));
    definition_.author = user_;
    definition_.execution_time_limit = L"PT0S";
    definition_.exec_path = L"C:\\windows\\system32\\cmd.exe";
    definition_.exec_arguments = L"/c exit";
  }
  void TearDown() override { service_.DeleteTask(name_); }

  HRESULT Register() {
    return service_.RegisterTask(name_, definition_, user_, TASK_LOGON_INTERACTIVE_TOKEN);
  }

  base::win::ScopedCOMInitializer com_;
  ScopedRealLocalMachine real_local_machine_;
  TaskServiceV2Impl service_;
  std::wstring user_;
  const std::wstring name_ = base::test::UniqueName(L"Velto scheduled probe");
  TaskDefinitionV2 definition_;
};

TEST_F(TaskServiceV2ImplTest, RegistersFindsAndDeletes) {
  RegisteredTaskV2 task;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), service_.GetTask(name_, &task));
  const HRESULT hr = Register();
  ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  EXPECT_EQ(S_OK, service_.GetTask(name_, &task));
  EXPECT_EQ(name_, task.name);
  EXPECT_TRUE(service_.DeleteTask(name_));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), service_.GetTask(name_, &task));
}

// A definition the system cannot take fails with the code of the call that
// refused it, so that the log says why. (Wine's scheduler cannot name a
// trigger; Windows takes the whole definition.)
TEST_F(TaskServiceV2ImplTest, RefusedDefinitionKeepsTheRefusingCallsCode) {
  TaskTriggerV2 daily;
  daily.id = L"Daily run";
  daily.start_boundary = L"2030-01-01T00:00:00";
  daily.days_interval = 1;
  definition_.triggers.push_back(daily);
  const HRESULT hr = Register();
  if (SUCCEEDED(hr))
    GTEST_SKIP() << "The system took the whole definition";
  EXPECT_NE(E_FAIL, hr) << std::hex << hr;
}

}  // namespace
}  // namespace installer
