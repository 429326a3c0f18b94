#include "desktop/windows/installer/service/task_scheduler_v1.h"

#include <aclapi.h>

#include <utility>

#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/strings/string_util.h"
#include "base/win/scoped_co_mem.h"
#include "base/win/scoped_localalloc.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kJobExtension[] = L".job";
// The scheduler service reads a task's file when it changes and keeps others
// out meanwhile: a call that meets it tries again, for at most about a second.
constexpr int kSharingRetries = 20;
constexpr DWORD kSharingRetryDelayMs = 50;

template <class Call>
HRESULT RetryWhileShared(Call call) {
  HRESULT hr = call();
  for (int i = 0; i < kSharingRetries && hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
       ++i) {
    Sleep(kSharingRetryDelayMs);
    hr = call();
  }
  return hr;
}

// Lets Authenticated Users read and run the saved task file, so that
// processes that are not elevated can see a SYSTEM task.
void AllowAuthenticatedUsers(ITask* task) {
  ComPtr<IPersistFile> file;
  if (FAILED(task->QueryInterface(IID_PPV_ARGS(&file))))
    return;
  base::win::ScopedCoMem<wchar_t> path;
  if (FAILED(file->GetCurFile(&path)) || !path.get())
    return;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sid_size = sizeof(sid);
  if (!CreateWellKnownSid(WinAuthenticatedUserSid, nullptr, sid, &sid_size))
    return;
  PACL old_dacl = nullptr;
  PSECURITY_DESCRIPTOR raw_descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &old_dacl, nullptr, &raw_descriptor) != ERROR_SUCCESS) {
    return;
  }
  base::win::ScopedLocalAlloc descriptor(raw_descriptor);
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = GENERIC_READ | GENERIC_EXECUTE;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  access.Trustee.ptstrName = reinterpret_cast<wchar_t*>(sid);
  PACL raw_dacl = nullptr;
  if (SetEntriesInAclW(1, &access, old_dacl, &raw_dacl) != ERROR_SUCCESS)
    return;
  base::win::ScopedLocalAlloc new_dacl(raw_dacl);
  SetNamedSecurityInfoW(path.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, raw_dacl, nullptr);
}

HRESULT CreateSystemScheduler(ITaskScheduler** scheduler) {
  return CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                          reinterpret_cast<void**>(scheduler));
}

bool AddTrigger(ITask* task, TASK_TRIGGER_TYPE type, const SYSTEMTIME& start) {
  WORD index = 0;
  ComPtr<ITaskTrigger> trigger;
  if (FAILED(task->CreateTrigger(&index, &trigger)))
    return false;
  TASK_TRIGGER fields = {};
  fields.cbTriggerSize = sizeof(fields);
  fields.wBeginYear = start.wYear;
  fields.wBeginMonth = start.wMonth;
  fields.wBeginDay = start.wDay;
  fields.wStartHour = start.wHour;
  fields.wStartMinute = start.wMinute;
  fields.TriggerType = type;
  if (type == TASK_TIME_TRIGGER_DAILY)
    fields.Type.Daily.DaysInterval = 1;
  return SUCCEEDED(trigger->SetTrigger(&fields));
}

}  // namespace

// static
HRESULT TaskSchedulerV1::ActivateWorkItem(ITaskScheduler* scheduler, const std::wstring& name,
                                          ComPtr<ITask>* task) {
  return RetryWhileShared([&] {
    return scheduler->Activate(name.c_str(), IID_ITask,
                               reinterpret_cast<IUnknown**>(task->ReleaseAndGetAddressOf()));
  });
}

// static
HRESULT TaskSchedulerV1::SaveWorkItem(ITask* task) {
  ComPtr<IPersistFile> file;
  const HRESULT hr = task->QueryInterface(IID_PPV_ARGS(&file));
  if (FAILED(hr))
    return hr;
  return RetryWhileShared([&file] { return file->Save(nullptr, TRUE); });
}

// static
HRESULT TaskSchedulerV1::DeleteWorkItem(ITaskScheduler* scheduler, const std::wstring& name) {
  return RetryWhileShared([&] { return scheduler->Delete(name.c_str()); });
}

TaskSchedulerV1::TaskSchedulerV1() : TaskSchedulerV1(base::BindRepeating(&CreateSystemScheduler)) {}

TaskSchedulerV1::TaskSchedulerV1(SchedulerFactory factory) : factory_(std::move(factory)) {}

TaskSchedulerV1::~TaskSchedulerV1() = default;

bool TaskSchedulerV1::Init() {
  return SUCCEEDED(factory_.Run(scheduler_.ReleaseAndGetAddressOf()));
}

bool TaskSchedulerV1::CreateTask(const ScheduledTaskInfo& info) {
  std::wstring user;
  if (!GetUserNameInFormat(NameSamCompatible, &user))
    return false;
  const std::wstring name = GetScheduledTaskName(info.name_suffix);
  // Task Scheduler 1.0 makes no work item under a name that is taken, so a
  // task of the name goes first; the copy loaded here brings it back when
  // the new one cannot be made.
  ComPtr<ITask> previous = Activate(name);
  DeleteJob(name);
  if (MakeTask(name, user, info))
    return true;
  if (previous) {
    DeleteJob(name);
    if (SUCCEEDED(SaveWorkItem(previous.Get()))) {
      base::win::ScopedCoMem<wchar_t> account;
      if (SUCCEEDED(previous->GetAccountInformation(&account)) && account.get() && !*account.get())
        AllowAuthenticatedUsers(previous.Get());
    }
  }
  return false;
}

bool TaskSchedulerV1::MakeTask(const std::wstring& name, const std::wstring& user,
                               const ScheduledTaskInfo& info) {
  ComPtr<ITask> task;
  if (FAILED(scheduler_->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask,
                                     reinterpret_cast<IUnknown**>(task.GetAddressOf())))) {
    return false;
  }
  DWORD flags = TASK_FLAG_RUN_ONLY_IF_LOGGED_ON;
  if (info.trigger_kind == kTaskTriggerOnce)
    flags |= TASK_FLAG_DELETE_WHEN_DONE;
  const std::wstring account = info.run_as_system == 1 ? L"" : user;
  const std::wstring program = info.command_line.GetProgram().value();
  const std::wstring parameters = info.command_line.GetArgumentsString();
  // Milliseconds in 32 bits: a limit too long to count that way means none
  // rather than a wrapped, much shorter one.
  const uint64_t limit_ms = uint64_t{info.execution_limit_seconds} * 1000;
  const DWORD max_run_time = info.execution_limit_seconds == 0 || limit_ms >= INFINITE
                                 ? INFINITE
                                 : static_cast<DWORD>(limit_ms);
  if (FAILED(task->SetAccountInformation(account.c_str(), nullptr)) ||
      FAILED(task->SetApplicationName(program.c_str())) ||
      FAILED(task->SetComment(info.description.c_str())) ||
      FAILED(task->SetCreator(user.c_str())) || FAILED(task->SetFlags(flags)) ||
      FAILED(task->SetMaxRunTime(max_run_time)) ||
      FAILED(task->SetParameters(parameters.c_str()))) {
    return false;
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  if (info.trigger_kind == kTaskTriggerOnce || info.trigger_kind == kTaskTriggerDaily) {
    const TASK_TRIGGER_TYPE type = info.trigger_kind == kTaskTriggerOnce
                                       ? TASK_TIME_TRIGGER_ONCE
                                       : TASK_TIME_TRIGGER_DAILY;
    if (!AddTrigger(task.Get(), type, now))
      return false;
  }
  if (info.add_logon_trigger && info.trigger_kind != kTaskTriggerOnce &&
      !AddTrigger(task.Get(), TASK_EVENT_TRIGGER_AT_LOGON, now)) {
    return false;
  }
  if (FAILED(SaveWorkItem(task.Get())))
    return false;
  if (info.run_as_system == 1 && info.trigger_kind != kTaskTriggerOnce)
    AllowAuthenticatedUsers(task.Get());
  if (info.trigger_kind == kTaskTriggerOnce)
    task->Run();
  return true;
}

void TaskSchedulerV1::DeleteStaleTasks() {
  ComPtr<IEnumWorkItems> items;
  if (FAILED(scheduler_->Enum(&items)))
    return;
  std::vector<std::wstring> stale;
  for (;;) {
    base::win::ScopedCoMem<LPWSTR> names;
    ULONG fetched = 0;
    if (items->Next(1, &names, &fetched) != S_OK || fetched == 0)
      break;
    // Both the array and the name in it are the caller's to free.
    base::win::ScopedCoMem<wchar_t> first;
    first.Reset(names[0]);
    std::wstring name = first.get();
    if (base::EndsWith(name, kJobExtension, base::CompareCase::INSENSITIVE_ASCII))
      name.resize(name.size() - wcslen(kJobExtension));
    if (!IsProductTaskName(name))
      continue;
    ComPtr<ITask> task = Activate(name);
    DWORD flags = 0;
    if (!task || FAILED(task->GetFlags(&flags)) || (flags & TASK_FLAG_DISABLED))
      continue;
    base::win::ScopedCoMem<wchar_t> program;
    if (FAILED(task->GetApplicationName(&program)) || !program.get())
      continue;
    if (!base::PathExists(base::FilePath(program.get())))
      stale.push_back(name);
  }
  // Deleting while enumerating would disturb the enumeration.
  for (const std::wstring& name : stale)
    DeleteJob(name);
}

void TaskSchedulerV1::DeleteTask(const std::wstring& name_suffix) {
  DeleteJob(GetScheduledTaskName(name_suffix));
}

void TaskSchedulerV1::SetDailyInterval(const std::wstring& name_suffix, int days) {
  ComPtr<ITask> task = Activate(GetScheduledTaskName(name_suffix));
  WORD count = 0;
  if (!task || FAILED(task->GetTriggerCount(&count)))
    return;
  for (WORD i = 0; i < count; ++i) {
    ComPtr<ITaskTrigger> trigger;
    TASK_TRIGGER fields = {};
    fields.cbTriggerSize = sizeof(fields);
    if (FAILED(task->GetTrigger(i, &trigger)) || FAILED(trigger->GetTrigger(&fields)))
      return;
    if (fields.TriggerType != TASK_TIME_TRIGGER_DAILY)
      continue;
    if (fields.Type.Daily.DaysInterval != days) {
      fields.Type.Daily.DaysInterval = static_cast<WORD>(days);
      if (SUCCEEDED(trigger->SetTrigger(&fields)))
        SaveWorkItem(task.Get());
    }
    return;
  }
}

void TaskSchedulerV1::SetEnabled(const std::wstring& name_suffix, bool enabled) {
  ComPtr<ITask> task = Activate(GetScheduledTaskName(name_suffix));
  DWORD flags = 0;
  if (!task || FAILED(task->GetFlags(&flags)))
    return;
  flags = enabled ? (flags & ~TASK_FLAG_DISABLED) : (flags | TASK_FLAG_DISABLED);
  if (SUCCEEDED(task->SetFlags(flags)))
    SaveWorkItem(task.Get());
}

bool TaskSchedulerV1::RunNow(const std::wstring& name_suffix,
                             const std::vector<std::wstring>& arguments) {
  ComPtr<ITask> task = Activate(GetScheduledTaskName(name_suffix));
  return task && SUCCEEDED(task->Run());
}

TaskState TaskSchedulerV1::GetState(const std::wstring& name_suffix) {
  ComPtr<ITask> task;
  const HRESULT hr = ActivateWorkItem(scheduler_.Get(), GetScheduledTaskName(name_suffix), &task);
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == STG_E_FILENOTFOUND)
    return TASK_NOT_FOUND;
  HRESULT status = S_OK;
  if (FAILED(hr) || FAILED(task->GetStatus(&status)))
    return TASK_UNKNOWN;
  switch (status) {
    case SCHED_S_TASK_READY:
    case SCHED_S_TASK_HAS_NOT_RUN:
      return TASK_READY;
    case SCHED_S_TASK_RUNNING:
      return TASK_RUNNING;
    case SCHED_S_TASK_DISABLED:
      return TASK_DISABLED;
    case SCHED_S_TASK_NO_MORE_RUNS:
    case SCHED_S_TASK_NOT_SCHEDULED:
    case SCHED_S_TASK_NO_VALID_TRIGGERS:
      return TASK_WILL_NOT_RUN;
    default:
      return TASK_UNKNOWN;
  }
}

base::Time TaskSchedulerV1::GetLastRunTime(const std::wstring& name_suffix) {
  ComPtr<ITask> task = Activate(GetScheduledTaskName(name_suffix));
  SYSTEMTIME fields = {};
  if (!task)
    return base::Time();
  const HRESULT hr = task->GetMostRecentRunTime(&fields);
  if (FAILED(hr) || hr == SCHED_S_TASK_HAS_NOT_RUN)
    return base::Time();
  return TimeFromTaskTimeFields(fields);
}

ComPtr<ITask> TaskSchedulerV1::Activate(const std::wstring& task_name) {
  ComPtr<ITask> task;
  if (FAILED(ActivateWorkItem(scheduler_.Get(), task_name, &task)))
    return nullptr;
  return task;
}

void TaskSchedulerV1::DeleteJob(const std::wstring& task_name) {
  DeleteWorkItem(scheduler_.Get(), task_name);
}

}  // namespace installer
