#include "desktop/windows/installer/service/task_service_v2_impl.h"

#include <oleauto.h>

#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"
#include "desktop/windows/installer/service/task_scheduler.h"

// The start-up and registration triggers are missing from some taskschd.h
// versions; their layouts are those of the system's type library.
#ifndef __ILogonTrigger_INTERFACE_DEFINED__
MIDL_INTERFACE("72dade38-fae4-4b3e-baf4-5d009af02b1c")
ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
__CRT_UUID_DECL(ILogonTrigger, 0x72dade38, 0xfae4, 0x4b3e, 0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0,
                0x2b, 0x1c)
#endif
#ifndef __IBootTrigger_INTERFACE_DEFINED__
MIDL_INTERFACE("2a9c35da-d357-41f4-bbc1-207ac1b1f3cb")
IBootTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IBootTrigger, 0x2a9c35da, 0xd357, 0x41f4, 0xbb, 0xc1, 0x20, 0x7a, 0xc1, 0xb1,
                0xf3, 0xcb)
#endif
#ifndef __IRegistrationTrigger_INTERFACE_DEFINED__
MIDL_INTERFACE("4c8fec3a-c218-4e0c-b23d-629024db91a2")
IRegistrationTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IRegistrationTrigger, 0x4c8fec3a, 0xc218, 0x4e0c, 0xb2, 0x3d, 0x62, 0x90, 0x24,
                0xdb, 0x91, 0xa2)
#endif

namespace installer {

namespace {

using Microsoft::WRL::ComPtr;
using base::win::ScopedBstr;

VARIANT_BOOL ToVariantBool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// The calls that fill a definition, in order: the first failure ends the
// series and stays its result, so that the log names what the system refused.
class CallSeries {
 public:
  // False from the first failed call on.
  bool Ok(HRESULT hr) {
    if (SUCCEEDED(result_) && FAILED(hr))
      result_ = hr;
    return SUCCEEDED(result_);
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_ = S_OK;
};

HRESULT SetTrigger(ITriggerCollection* triggers, const TaskTriggerV2& trigger_data) {
  TASK_TRIGGER_TYPE2 type = TASK_TRIGGER_DAILY;
  switch (trigger_data.type) {
    case TaskTriggerV2::Type::kDaily:
      type = TASK_TRIGGER_DAILY;
      break;
    case TaskTriggerV2::Type::kRegistration:
      type = TASK_TRIGGER_REGISTRATION;
      break;
    case TaskTriggerV2::Type::kBoot:
      type = TASK_TRIGGER_BOOT;
      break;
    case TaskTriggerV2::Type::kLogon:
      type = TASK_TRIGGER_LOGON;
      break;
  }
  CallSeries calls;
  ComPtr<ITrigger> trigger;
  if (!calls.Ok(triggers->Create(type, &trigger)) ||
      !calls.Ok(trigger->put_Id(ScopedBstr(trigger_data.id).Get()))) {
    return calls.result();
  }
  if (!trigger_data.start_boundary.empty() &&
      !calls.Ok(trigger->put_StartBoundary(ScopedBstr(trigger_data.start_boundary).Get()))) {
    return calls.result();
  }
  if (!trigger_data.end_boundary.empty() &&
      !calls.Ok(trigger->put_EndBoundary(ScopedBstr(trigger_data.end_boundary).Get()))) {
    return calls.result();
  }
  switch (trigger_data.type) {
    case TaskTriggerV2::Type::kDaily: {
      ComPtr<IDailyTrigger> daily;
      if (calls.Ok(trigger.As(&daily)))
        calls.Ok(daily->put_DaysInterval(trigger_data.days_interval));
      break;
    }
    case TaskTriggerV2::Type::kRegistration:
      break;
    case TaskTriggerV2::Type::kBoot: {
      ComPtr<IBootTrigger> boot;
      if (calls.Ok(trigger.As(&boot)))
        calls.Ok(boot->put_Delay(ScopedBstr(trigger_data.delay).Get()));
      break;
    }
    case TaskTriggerV2::Type::kLogon: {
      ComPtr<ILogonTrigger> logon;
      if (calls.Ok(trigger.As(&logon)) &&
          calls.Ok(logon->put_Delay(ScopedBstr(trigger_data.delay).Get()))) {
        calls.Ok(logon->put_UserId(ScopedBstr(trigger_data.user_id).Get()));
      }
      break;
    }
  }
  return calls.result();
}

// Fills |task| from |definition|; the result of the first failed call.
HRESULT FillDefinition(ITaskDefinition* task, const TaskDefinitionV2& definition) {
  CallSeries calls;
  ComPtr<IRegistrationInfo> info;
  if (!calls.Ok(task->get_RegistrationInfo(&info)) ||
      !calls.Ok(info->put_Author(ScopedBstr(definition.author).Get())) ||
      !calls.Ok(info->put_Description(ScopedBstr(definition.description).Get()))) {
    return calls.result();
  }
  ComPtr<ITaskSettings> settings;
  if (!calls.Ok(task->get_Settings(&settings)) ||
      !calls.Ok(settings->put_ExecutionTimeLimit(
          ScopedBstr(definition.execution_time_limit).Get())) ||
      !calls.Ok(settings->put_MultipleInstances(
          static_cast<TASK_INSTANCES_POLICY>(definition.multiple_instances))) ||
      !calls.Ok(settings->put_RunOnlyIfNetworkAvailable(
          ToVariantBool(definition.run_only_if_network_available))) ||
      !calls.Ok(settings->put_StopIfGoingOnBatteries(
          ToVariantBool(definition.stop_if_going_on_batteries))) ||
      !calls.Ok(settings->put_DisallowStartIfOnBatteries(
          ToVariantBool(definition.disallow_start_if_on_batteries))) ||
      !calls.Ok(settings->put_StartWhenAvailable(ToVariantBool(definition.start_when_available)))) {
    return calls.result();
  }
  if (!definition.delete_expired_task_after.empty() &&
      !calls.Ok(settings->put_DeleteExpiredTaskAfter(
          ScopedBstr(definition.delete_expired_task_after).Get()))) {
    return calls.result();
  }
  ComPtr<ITriggerCollection> triggers;
  if (!calls.Ok(task->get_Triggers(&triggers)))
    return calls.result();
  for (const TaskTriggerV2& trigger : definition.triggers) {
    if (!calls.Ok(SetTrigger(triggers.Get(), trigger)))
      return calls.result();
  }
  ComPtr<IActionCollection> actions;
  ComPtr<IAction> action;
  ComPtr<IExecAction> exec;
  if (!calls.Ok(task->get_Actions(&actions)) ||
      !calls.Ok(actions->Create(TASK_ACTION_EXEC, &action)) || !calls.Ok(action.As(&exec)) ||
      !calls.Ok(exec->put_Path(ScopedBstr(definition.exec_path).Get())) ||
      !calls.Ok(exec->put_Arguments(ScopedBstr(definition.exec_arguments).Get()))) {
    return calls.result();
  }
  if (definition.run_level_highest) {
    ComPtr<IPrincipal> principal;
    if (calls.Ok(task->get_Principal(&principal)))
      calls.Ok(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST));
  }
  return calls.result();
}

std::wstring FirstExecPath(ITaskDefinition* definition) {
  ComPtr<IActionCollection> actions;
  long count = 0;
  if (FAILED(definition->get_Actions(&actions)) || FAILED(actions->get_Count(&count)))
    return std::wstring();
  for (long i = 1; i <= count; ++i) {
    ComPtr<IAction> action;
    ComPtr<IExecAction> exec;
    ScopedBstr path;
    if (FAILED(actions->get_Item(i, &action)) || FAILED(action.As(&exec)))
      continue;
    if (FAILED(exec->get_Path(path.Receive())) || !path.Get())
      return std::wstring();
    return std::wstring(path.Get(), path.Length());
  }
  return std::wstring();
}

// The first daily trigger of |definition|, or null.
ComPtr<IDailyTrigger> FirstDailyTrigger(ITaskDefinition* definition) {
  ComPtr<ITriggerCollection> triggers;
  long count = 0;
  if (FAILED(definition->get_Triggers(&triggers)) || FAILED(triggers->get_Count(&count)))
    return nullptr;
  for (long i = 1; i <= count; ++i) {
    ComPtr<ITrigger> trigger;
    ComPtr<IDailyTrigger> daily;
    if (SUCCEEDED(triggers->get_Item(i, &trigger)) && SUCCEEDED(trigger.As(&daily)))
      return daily;
  }
  return nullptr;
}

}  // namespace

TaskServiceV2Impl::TaskServiceV2Impl() = default;
TaskServiceV2Impl::~TaskServiceV2Impl() = default;

bool TaskServiceV2Impl::Connect() {
  if (FAILED(CoCreateInstance(__uuidof(::TaskScheduler), nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&service_)))) {
    return false;
  }
  base::win::ScopedVariant empty[4];
  if (FAILED(service_->Connect(empty[0].get(), empty[1].get(), empty[2].get(), empty[3].get())))
    return false;
  return SUCCEEDED(service_->GetFolder(ScopedBstr(L"\\").Get(), &root_));
}

bool TaskServiceV2Impl::GetTaskNames(std::vector<std::wstring>* names) {
  ComPtr<IRegisteredTaskCollection> tasks;
  long count = 0;
  if (FAILED(root_->GetTasks(0, &tasks)) || FAILED(tasks->get_Count(&count)))
    return false;
  for (long i = 1; i <= count; ++i) {
    ComPtr<IRegisteredTask> task;
    ScopedBstr name;
    if (FAILED(tasks->get_Item(base::win::ScopedVariant(static_cast<int32_t>(i)).get(), &task)) ||
        FAILED(task->get_Name(name.Receive())) || !name.Get()) {
      continue;
    }
    names->emplace_back(name.Get(), name.Length());
  }
  return true;
}

HRESULT TaskServiceV2Impl::GetTask(const std::wstring& name, RegisteredTaskV2* task) {
  HRESULT hr = S_OK;
  ComPtr<IRegisteredTask> registered = GetRegisteredTask(name, &hr);
  if (!registered)
    return hr;
  *task = RegisteredTaskV2();
  task->name = name;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  if (SUCCEEDED(registered->get_Enabled(&enabled)))
    task->enabled = enabled != VARIANT_FALSE;
  TASK_STATE state = TASK_STATE_UNKNOWN;
  if (SUCCEEDED(registered->get_State(&state)))
    task->state = state;
  DATE last_run = 0;
  SYSTEMTIME fields = {};
  if (SUCCEEDED(registered->get_LastRunTime(&last_run)) &&
      VariantTimeToSystemTime(last_run, &fields)) {
    task->last_run_time = TimeFromTaskTimeFields(fields);
  }
  ComPtr<ITaskDefinition> definition;
  if (SUCCEEDED(registered->get_Definition(&definition))) {
    task->first_exec_path = FirstExecPath(definition.Get());
    ComPtr<IDailyTrigger> daily = FirstDailyTrigger(definition.Get());
    short days = 0;
    if (daily && SUCCEEDED(daily->get_DaysInterval(&days)))
      task->first_daily_interval = days;
  }
  return S_OK;
}

HRESULT TaskServiceV2Impl::RegisterTask(const std::wstring& name,
                                        const TaskDefinitionV2& definition,
                                        const std::wstring& user,
                                        int logon_type) {
  ComPtr<ITaskDefinition> task;
  HRESULT hr = service_->NewTask(0, &task);
  if (FAILED(hr))
    return hr;
  hr = FillDefinition(task.Get(), definition);
  if (FAILED(hr))
    return hr;
  ComPtr<IRegisteredTask> registered;
  return root_->RegisterTaskDefinition(
      ScopedBstr(name).Get(), task.Get(), TASK_CREATE_OR_UPDATE,
      base::win::ScopedVariant(user).get(), base::win::ScopedVariant(L"").get(),
      static_cast<TASK_LOGON_TYPE>(logon_type), base::win::ScopedVariant().get(), &registered);
}

HRESULT TaskServiceV2Impl::SetSecurityDescriptor(const std::wstring& name,
                                                 const std::wstring& sddl) {
  ComPtr<IRegisteredTask> registered = GetRegisteredTask(name);
  if (!registered)
    return E_FAIL;
  return registered->SetSecurityDescriptor(ScopedBstr(sddl).Get(), 0);
}

bool TaskServiceV2Impl::DeleteTask(const std::wstring& name) {
  return SUCCEEDED(root_->DeleteTask(ScopedBstr(name).Get(), 0));
}

bool TaskServiceV2Impl::SetEnabled(const std::wstring& name, bool enabled) {
  ComPtr<IRegisteredTask> registered = GetRegisteredTask(name);
  return registered && SUCCEEDED(registered->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE));
}

bool TaskServiceV2Impl::SetDailyInterval(const std::wstring& name, int days) {
  ComPtr<IRegisteredTask> registered = GetRegisteredTask(name);
  ComPtr<ITaskDefinition> definition;
  if (!registered || FAILED(registered->get_Definition(&definition)))
    return false;
  ComPtr<IDailyTrigger> daily = FirstDailyTrigger(definition.Get());
  if (!daily || FAILED(daily->put_DaysInterval(static_cast<short>(days))))
    return false;
  ComPtr<IRegisteredTask> updated;
  base::win::ScopedVariant none;
  return SUCCEEDED(root_->RegisterTaskDefinition(ScopedBstr(name).Get(), definition.Get(),
                                                 TASK_UPDATE, none.get(), none.get(),
                                                 TASK_LOGON_NONE, none.get(), &updated));
}

bool TaskServiceV2Impl::Run(const std::wstring& name, const std::vector<std::wstring>& arguments) {
  ComPtr<IRegisteredTask> registered = GetRegisteredTask(name);
  if (!registered)
    return false;
  base::win::ScopedVariant parameters;
  if (!arguments.empty()) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(arguments.size()));
    if (!array)
      return false;
    for (LONG i = 0; i < static_cast<LONG>(arguments.size()); ++i) {
      ScopedBstr argument(arguments[i]);
      SafeArrayPutElement(array, &i, argument.Get());
    }
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_ARRAY | VT_BSTR;
    value.parray = array;
    parameters.Reset(value);  // Takes the array.
  }
  ComPtr<IRunningTask> running;
  return SUCCEEDED(registered->Run(parameters.get(), &running));
}

ComPtr<IRegisteredTask> TaskServiceV2Impl::GetRegisteredTask(const std::wstring& name,
                                                             HRESULT* result) {
  ComPtr<IRegisteredTask> task;
  const HRESULT hr = root_ ? root_->GetTask(ScopedBstr(name).Get(), &task) : E_UNEXPECTED;
  if (result)
    *result = hr;
  if (FAILED(hr))
    return nullptr;
  return task;
}

}  // namespace installer
