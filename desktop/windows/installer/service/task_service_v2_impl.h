// TaskServiceV2Impl: TaskServiceV2 through the Task Scheduler 2.0 COM
// interfaces of the local machine, as the current user. COM must be
// initialised on the calling thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_V2_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_V2_IMPL_H_

#include <windows.h>

#include <taskschd.h>
#include <wrl/client.h>

#include "desktop/windows/installer/service/task_service_v2.h"

namespace installer {

class TaskServiceV2Impl : public TaskServiceV2 {
 public:
  TaskServiceV2Impl();
  ~TaskServiceV2Impl() override;

  bool Connect() override;
  bool GetTaskNames(std::vector<std::wstring>* names) override;
  HRESULT GetTask(const std::wstring& name, RegisteredTaskV2* task) override;
  HRESULT RegisterTask(const std::wstring& name,
                       const TaskDefinitionV2& definition,
                       const std::wstring& user,
                       int logon_type) override;
  HRESULT SetSecurityDescriptor(const std::wstring& name, const std::wstring& sddl) override;
  bool DeleteTask(const std::wstring& name) override;
  bool SetEnabled(const std::wstring& name, bool enabled) override;
  bool SetDailyInterval(const std::wstring& name, int days) override;
  bool Run(const std::wstring& name, const std::vector<std::wstring>& arguments) override;

 private:
  // Null when the task cannot be had; |result| (optional) tells why.
  Microsoft::WRL::ComPtr<IRegisteredTask> GetRegisteredTask(const std::wstring& name,
                                                            HRESULT* result = nullptr);

  Microsoft::WRL::ComPtr<ITaskService> service_;
  Microsoft::WRL::ComPtr<ITaskFolder> root_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TASK_SERVICE_V2_IMPL_H_
