#include "desktop/windows/installer/service/task_scheduler_v1.h"

#include <atomic>
#include <utility>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/functional/bind.h"
#include "base/path_service.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/win/scoped_co_mem.h"
#include "base/win/scoped_com_initializer.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/scoped_real_local_machine.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using Microsoft::WRL::ComPtr;

// The system's Task Scheduler 1.0, except that it makes no new work item
// while |refuse_new_items| is set: a task that cannot be made.
class RefusingTaskScheduler : public ITaskScheduler {
 public:
  explicit RefusingTaskScheduler(ComPtr<ITaskScheduler> system) : system_(std::move(system)) {}

  bool refuse_new_items = false;

  HRESULT WINAPI QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_ITaskScheduler) {
      AddRef();
      *object = static_cast<ITaskScheduler*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG WINAPI AddRef() override { return ++references_; }
  ULONG WINAPI Release() override {
    const ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT WINAPI SetTargetComputer(LPCWSTR computer) override {
    return system_->SetTargetComputer(computer);
  }
  HRESULT WINAPI GetTargetComputer(LPWSTR* computer) override {
    return system_->GetTargetComputer(computer);
  }
  HRESULT WINAPI Enum(IEnumWorkItems** items) override { return system_->Enum(items); }
  HRESULT WINAPI Activate(LPCWSTR name, REFIID riid, IUnknown** item) override {
    return system_->Activate(name, riid, item);
  }
  HRESULT WINAPI Delete(LPCWSTR name) override { return system_->Delete(name); }
  HRESULT WINAPI NewWorkItem(LPCWSTR name, REFCLSID clsid, REFIID riid,
                             IUnknown** item) override {
    if (refuse_new_items)
      return E_ACCESSDENIED;
    return system_->NewWorkItem(name, clsid, riid, item);
  }
  HRESULT WINAPI AddWorkItem(LPCWSTR name, IScheduledWorkItem* item) override {
    return system_->AddWorkItem(name, item);
  }
  HRESULT WINAPI IsOfType(LPCWSTR name, REFIID riid) override {
    return system_->IsOfType(name, riid);
  }

 private:
  virtual ~RefusingTaskScheduler() = default;

  ComPtr<ITaskScheduler> system_;
  std::atomic<ULONG> references_{1};
};

// Runs against the system's Task Scheduler 1.0. Every task has a name of its
// own and is deleted at the end.
class TaskSchedulerV1Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(scheduler_.Init());
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_ITaskScheduler,
                                           reinterpret_cast<void**>(system_.GetAddressOf()))));
    suffix_ = base::test::UniqueName(L"Autoupdate");
    program_ = temp_.GetPath().Append(L"launcher.exe");
    ASSERT_TRUE(base::WriteFile(program_, "stub"));
  }

  void TearDown() override {
    for (const std::wstring& suffix : created_)
      scheduler_.DeleteTask(suffix);
  }

  ScheduledTaskInfo MakeInfo(const std::wstring& suffix, uint32_t kind) {
    base::CommandLine command_line(program_);
    command_line.AppendSwitch("scheduledautoupdate");
    command_line.AppendArg("$(Arg0)");
    ScheduledTaskInfo info(command_line);
    info.name_suffix = suffix;
    info.description = L"Keeps Velto up to date.";
    info.execution_limit_seconds = 3600;
    info.trigger_kind = kind;
    created_.push_back(suffix);
    return info;
  }

  ComPtr<ITask> Open(const std::wstring& suffix) {
    ComPtr<ITask> task;
    if (FAILED(TaskSchedulerV1::ActivateWorkItem(system_.Get(), GetScheduledTaskName(suffix),
                                                 &task))) {
      return nullptr;
    }
    return task;
  }

  // The fields of the task's trigger at |index|; a trigger that cannot be
  // read fails the test (and gives an unknown type).
  static TASK_TRIGGER TriggerOf(ITask* task, WORD index) {
    ComPtr<ITaskTrigger> trigger;
    TASK_TRIGGER fields = {};
    fields.cbTriggerSize = sizeof(fields);
    if (FAILED(task->GetTrigger(index, &trigger)) || FAILED(trigger->GetTrigger(&fields))) {
      ADD_FAILURE() << "trigger " << index << " cannot be read";
      fields.TriggerType = static_cast<TASK_TRIGGER_TYPE>(-1);
    }
    return fields;
  }

  // Some schedulers show a default daily trigger on a task saved without
  // any; what counts is that no start-up or run-once trigger was added.
  static void ExpectNoTriggersAdded(ITask* task) {
    WORD count = 5;
    ASSERT_TRUE(SUCCEEDED(task->GetTriggerCount(&count)));
    EXPECT_LE(count, 1);
    for (WORD i = 0; i < count; ++i) {
      const TASK_TRIGGER fields = TriggerOf(task, i);
      EXPECT_NE(TASK_EVENT_TRIGGER_AT_LOGON, fields.TriggerType);
      EXPECT_NE(TASK_TIME_TRIGGER_ONCE, fields.TriggerType);
    }
  }

  static std::wstring Text(HRESULT hr, const base::win::ScopedCoMem<wchar_t>& text) {
    return SUCCEEDED(hr) && text.get() ? std::wstring(text.get()) : L"<failed>";
  }

  base::win::ScopedCOMInitializer com_;
  ScopedRealLocalMachine real_local_machine_;
  base::ScopedTempDir temp_;
  TaskSchedulerV1 scheduler_;
  ComPtr<ITaskScheduler> system_;
  std::wstring suffix_;
  base::FilePath program_;
  std::vector<std::wstring> created_;
};

TEST_F(TaskSchedulerV1Test, CreatesDailyUserTask) {
  ScheduledTaskInfo info = MakeInfo(suffix_, kTaskTriggerDaily);
  info.add_logon_trigger = true;
  ASSERT_TRUE(scheduler_.CreateTask(info));

  ComPtr<ITask> task = Open(suffix_);
  ASSERT_TRUE(task);
  base::win::ScopedCoMem<wchar_t> program, parameters, comment, account;
  EXPECT_EQ(program_.value(), Text(task->GetApplicationName(&program), program));
  EXPECT_EQ(L"--scheduledautoupdate -- $(Arg0)",
            Text(task->GetParameters(&parameters), parameters));
  EXPECT_EQ(L"Keeps Velto up to date.", Text(task->GetComment(&comment), comment));
  std::wstring user;
  ASSERT_TRUE(GetUserNameInFormat(NameSamCompatible, &user));
  // Not every scheduler hands the account back.
  const HRESULT account_hr = task->GetAccountInformation(&account);
  if (SUCCEEDED(account_hr)) {
    EXPECT_EQ(user, Text(account_hr, account));
  }
  base::win::ScopedCoMem<wchar_t> creator;
  EXPECT_EQ(user, Text(task->GetCreator(&creator), creator));
  DWORD max_run_time = 0;
  ASSERT_TRUE(SUCCEEDED(task->GetMaxRunTime(&max_run_time)));
  EXPECT_EQ(3600000u, max_run_time);
  DWORD flags = 0;
  ASSERT_TRUE(SUCCEEDED(task->GetFlags(&flags)));
  EXPECT_EQ(static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON), flags);

  WORD count = 0;
  ASSERT_TRUE(SUCCEEDED(task->GetTriggerCount(&count)));
  ASSERT_EQ(2, count);
  const TASK_TRIGGER daily = TriggerOf(task.Get(), 0);
  EXPECT_EQ(TASK_TIME_TRIGGER_DAILY, daily.TriggerType);
  EXPECT_EQ(1, daily.Type.Daily.DaysInterval);
  EXPECT_EQ(TASK_EVENT_TRIGGER_AT_LOGON, TriggerOf(task.Get(), 1).TriggerType);
}

TEST_F(TaskSchedulerV1Test, NoTimeTriggerAndSystemAccount) {
  ScheduledTaskInfo info = MakeInfo(suffix_, kTaskTriggerNone);
  info.run_as_system = 1;
  info.execution_limit_seconds = 0;
  ASSERT_TRUE(scheduler_.CreateTask(info));
  ComPtr<ITask> task = Open(suffix_);
  ASSERT_TRUE(task);
  ExpectNoTriggersAdded(task.Get());
  DWORD max_run_time = 0;
  ASSERT_TRUE(SUCCEEDED(task->GetMaxRunTime(&max_run_time)));
  EXPECT_EQ(static_cast<DWORD>(INFINITE), max_run_time);
  base::win::ScopedCoMem<wchar_t> account;
  const HRESULT hr = task->GetAccountInformation(&account);
  // The local SYSTEM account is stored as the empty account.
  if (SUCCEEDED(hr)) {
    EXPECT_EQ(L"", std::wstring(account.get() ? account.get() : L""));
  }
}

// The task's program waits until the test lets it go, so that a scheduler
// that starts it at once cannot remove the task (once it has run) before the
// test has looked at it.
TEST_F(TaskSchedulerV1Test, RunOnceTaskRemovesItselfWhenDoneAndHasNoStartUpTrigger) {
  base::FilePath exe_folder;
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_folder));
  ASSERT_TRUE(base::CopyFile(
      exe_folder.DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe"), program_));
  const std::wstring release_name = base::test::UniqueName(L"Global\\release");
  base::win::ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, release_name.c_str()));
  ASSERT_TRUE(base::WriteFile(temp_.GetPath().Append(L"script.txt"),
                              "wait-event " + base::WideToUTF8(release_name) + "\nexit 0\n"));
  ScheduledTaskInfo info = MakeInfo(suffix_, kTaskTriggerOnce);
  info.add_logon_trigger = true;
  ASSERT_TRUE(scheduler_.CreateTask(info));

  ComPtr<ITask> task = Open(suffix_);
  ASSERT_TRUE(task);
  DWORD flags = 0;
  ASSERT_TRUE(SUCCEEDED(task->GetFlags(&flags)));
  EXPECT_EQ(static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_DELETE_WHEN_DONE),
            flags);
  WORD count = 0;
  ASSERT_TRUE(SUCCEEDED(task->GetTriggerCount(&count)));
  ASSERT_EQ(1, count);  // No start-up trigger for a task that runs once.
  EXPECT_EQ(TASK_TIME_TRIGGER_ONCE, TriggerOf(task.Get(), 0).TriggerType);
  SetEvent(release.Get());
}

TEST_F(TaskSchedulerV1Test, LimitTooLongForMillisecondsMeansNoLimit) {
  ScheduledTaskInfo info = MakeInfo(suffix_, kTaskTriggerDaily);
  info.execution_limit_seconds = 5'000'000;  // 5e9 ms does not fit 32 bits.
  ASSERT_TRUE(scheduler_.CreateTask(info));
  DWORD max_run_time = 0;
  ASSERT_TRUE(SUCCEEDED(Open(suffix_)->GetMaxRunTime(&max_run_time)));
  EXPECT_EQ(static_cast<DWORD>(INFINITE), max_run_time);
}

TEST_F(TaskSchedulerV1Test, CreatingAgainReplacesTheTask) {
  ASSERT_TRUE(scheduler_.CreateTask(MakeInfo(suffix_, kTaskTriggerDaily)));
  ScheduledTaskInfo info = MakeInfo(suffix_, kTaskTriggerNone);
  info.description = L"second";
  ASSERT_TRUE(scheduler_.CreateTask(info));
  ComPtr<ITask> task = Open(suffix_);
  ASSERT_TRUE(task);
  base::win::ScopedCoMem<wchar_t> comment;
  EXPECT_EQ(L"second", Text(task->GetComment(&comment), comment));
  ExpectNoTriggersAdded(task.Get());
}

// The task of the name goes before the new one is made; when the new one
// cannot be made, the earlier one is there again as it was.
TEST_F(TaskSchedulerV1Test, TaskThatCannotBeMadeLeavesTheEarlierOne) {
  ComPtr<RefusingTaskScheduler> refusing;
  refusing.Attach(new RefusingTaskScheduler(system_));
  TaskSchedulerV1 scheduler(base::BindRepeating(
      [](ComPtr<RefusingTaskScheduler> refusing, ITaskScheduler** out) {
        *out = refusing.Get();
        (*out)->AddRef();
        return S_OK;
      },
      refusing));
  ASSERT_TRUE(scheduler.Init());
  ScheduledTaskInfo first = MakeInfo(suffix_, kTaskTriggerDaily);
  first.description = L"first";
  ASSERT_TRUE(scheduler.CreateTask(first));

  refusing->refuse_new_items = true;
  ScheduledTaskInfo second = MakeInfo(suffix_, kTaskTriggerNone);
  second.description = L"second";
  second.command_line = base::CommandLine(temp_.GetPath().Append(L"other.exe"));
  EXPECT_FALSE(scheduler.CreateTask(second));

  ComPtr<ITask> task = Open(suffix_);
  ASSERT_TRUE(task);
  base::win::ScopedCoMem<wchar_t> comment, program, parameters;
  EXPECT_EQ(L"first", Text(task->GetComment(&comment), comment));
  EXPECT_EQ(program_.value(), Text(task->GetApplicationName(&program), program));
  EXPECT_EQ(L"--scheduledautoupdate -- $(Arg0)",
            Text(task->GetParameters(&parameters), parameters));
  EXPECT_EQ(TASK_TIME_TRIGGER_DAILY, TriggerOf(task.Get(), 0).TriggerType);
  EXPECT_NE(TASK_NOT_FOUND, scheduler.GetState(suffix_));
}

TEST_F(TaskSchedulerV1Test, StateEnabledIntervalAndDelete) {
  ASSERT_TRUE(scheduler_.CreateTask(MakeInfo(suffix_, kTaskTriggerDaily)));
  EXPECT_NE(TASK_NOT_FOUND, scheduler_.GetState(suffix_));
  EXPECT_NE(TASK_DISABLED, scheduler_.GetState(suffix_));
  EXPECT_TRUE(scheduler_.GetLastRunTime(suffix_).is_null());

  scheduler_.SetEnabled(suffix_, false);
  DWORD flags = 0;
  ASSERT_TRUE(SUCCEEDED(Open(suffix_)->GetFlags(&flags)));
  EXPECT_EQ(static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_DISABLED), flags);
  scheduler_.SetEnabled(suffix_, true);
  ASSERT_TRUE(SUCCEEDED(Open(suffix_)->GetFlags(&flags)));
  EXPECT_EQ(static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON), flags);

  scheduler_.SetDailyInterval(suffix_, 3);
  EXPECT_EQ(3, TriggerOf(Open(suffix_).Get(), 0).Type.Daily.DaysInterval);

  scheduler_.DeleteTask(suffix_);
  EXPECT_FALSE(Open(suffix_));
  EXPECT_EQ(TASK_NOT_FOUND, scheduler_.GetState(suffix_));
  EXPECT_TRUE(scheduler_.GetLastRunTime(suffix_).is_null());
}

TEST_F(TaskSchedulerV1Test, DeleteStaleTasksRemovesOnlyEnabledProductTasksWithoutProgram) {
  const std::wstring kept = suffix_ + L"-kept";
  const std::wstring stale = suffix_ + L"-stale";
  const std::wstring disabled = suffix_ + L"-disabled";
  ASSERT_TRUE(scheduler_.CreateTask(MakeInfo(kept, kTaskTriggerDaily)));
  // The disabled task is made while its program is there and loses it only
  // once it is disabled: an enabled task without its program is stale to
  // every installer's clean-up, those of tests running beside this one
  // included, which would take it away first.
  const base::FilePath kept_program = program_;
  program_ = temp_.GetPath().Append(L"disabled.exe");
  ASSERT_TRUE(base::WriteFile(program_, "stub"));
  ASSERT_TRUE(scheduler_.CreateTask(MakeInfo(disabled, kTaskTriggerDaily)));
  scheduler_.SetEnabled(disabled, false);
  ComPtr<ITask> disabled_task = Open(disabled);
  ASSERT_TRUE(disabled_task);
  DWORD flags = 0;
  ASSERT_TRUE(SUCCEEDED(disabled_task->GetFlags(&flags)));
  ASSERT_TRUE(flags & TASK_FLAG_DISABLED);
  disabled_task.Reset();
  ASSERT_TRUE(base::DeleteFile(program_));
  program_ = temp_.GetPath().Append(L"gone.exe");
  ASSERT_TRUE(scheduler_.CreateTask(MakeInfo(stale, kTaskTriggerDaily)));
  // A task of another product whose program is gone as well.
  const std::wstring foreign = L"Other " + suffix_;
  ComPtr<ITask> task;
  ASSERT_TRUE(SUCCEEDED(system_->NewWorkItem(foreign.c_str(), CLSID_CTask, IID_ITask,
                                             reinterpret_cast<IUnknown**>(task.GetAddressOf()))));
  ASSERT_TRUE(SUCCEEDED(task->SetApplicationName(program_.value().c_str())));
  ASSERT_TRUE(SUCCEEDED(TaskSchedulerV1::SaveWorkItem(task.Get())));

  scheduler_.DeleteStaleTasks();

  EXPECT_TRUE(Open(kept));
  EXPECT_FALSE(Open(stale));
  EXPECT_TRUE(Open(disabled));
  ComPtr<ITask> foreign_task;
  EXPECT_TRUE(SUCCEEDED(TaskSchedulerV1::ActivateWorkItem(system_.Get(), foreign, &foreign_task)));
  EXPECT_TRUE(SUCCEEDED(TaskSchedulerV1::DeleteWorkItem(system_.Get(), foreign)));
}

TEST(TaskSchedulerNameTest, NamesAreTheProductsOwn) {
  EXPECT_EQ(L"Velto scheduled Autoupdate 12", GetScheduledTaskName(L"Autoupdate 12"));
  EXPECT_TRUE(IsProductTaskName(L"velto SCHEDULED Autoupdate 12"));
  EXPECT_FALSE(IsProductTaskName(L"Other scheduled Autoupdate 12"));
  EXPECT_FALSE(IsProductTaskName(L" scheduled Autoupdate"));
}

}  // namespace
}  // namespace installer
