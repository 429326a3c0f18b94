// A Task Scheduler 2.0 root folder in memory, for tests of TaskSchedulerV2:
// it keeps every registration with its definition, user and logon type, and
// counts the calls that change a task.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_TASK_SERVICE_V2_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_TASK_SERVICE_V2_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "desktop/windows/installer/service/task_service_v2.h"

namespace installer {

class FakeTaskServiceV2 : public TaskServiceV2 {
 public:
  struct Task {
    TaskDefinitionV2 definition;
    std::wstring user;
    int logon_type = 0;
    std::wstring sddl;
    RegisteredTaskV2 state;
    HRESULT read_result = S_OK;  // A failure: the task is there but cannot be read.
  };

  // What the fake holds; it outlives the scheduler that owns the fake.
  struct Store {
    std::map<std::wstring, Task> tasks;
    std::vector<std::wstring> deleted;  // Every DeleteTask call, in order.
    // Every started run: the task's name and its arguments.
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> runs;
    int interval_updates = 0;
    bool connect_result = true;
    HRESULT register_result = S_OK;
    HRESULT sddl_result = S_OK;
  };

  explicit FakeTaskServiceV2(Store* store) : store_(store) {}

  bool Connect() override { return store_->connect_result; }
  bool GetTaskNames(std::vector<std::wstring>* names) override {
    for (const auto& [name, task] : store_->tasks)
      names->push_back(name);
    return true;
  }
  HRESULT GetTask(const std::wstring& name, RegisteredTaskV2* task) override {
    auto it = store_->tasks.find(name);
    if (it == store_->tasks.end())
      return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (FAILED(it->second.read_result))
      return it->second.read_result;
    *task = it->second.state;
    task->name = name;
    return S_OK;
  }
  HRESULT RegisterTask(const std::wstring& name, const TaskDefinitionV2& definition,
                       const std::wstring& user, int logon_type) override {
    if (FAILED(store_->register_result))
      return store_->register_result;
    Task& task = store_->tasks[name];
    task.definition = definition;
    task.user = user;
    task.logon_type = logon_type;
    task.state.enabled = true;
    task.state.first_exec_path = definition.exec_path;
    return S_OK;
  }
  HRESULT SetSecurityDescriptor(const std::wstring& name, const std::wstring& sddl) override {
    if (SUCCEEDED(store_->sddl_result))
      store_->tasks[name].sddl = sddl;
    return store_->sddl_result;
  }
  bool DeleteTask(const std::wstring& name) override {
    store_->deleted.push_back(name);
    return store_->tasks.erase(name) != 0;
  }
  bool SetEnabled(const std::wstring& name, bool enabled) override {
    auto it = store_->tasks.find(name);
    if (it == store_->tasks.end())
      return false;
    it->second.state.enabled = enabled;
    return true;
  }
  bool SetDailyInterval(const std::wstring& name, int days) override {
    auto it = store_->tasks.find(name);
    if (it == store_->tasks.end())
      return false;
    ++store_->interval_updates;
    it->second.state.first_daily_interval = days;
    return true;
  }
  bool Run(const std::wstring& name, const std::vector<std::wstring>& arguments) override {
    if (store_->tasks.count(name) == 0)
      return false;
    store_->runs.push_back({name, arguments});
    return true;
  }

 private:
  Store* store_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_TASK_SERVICE_V2_H_
