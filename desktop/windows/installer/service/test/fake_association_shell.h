// An AssociationShell for tests: records every call as one line of text in
// calls() and answers with the results the test set (failure by default).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_ASSOCIATION_SHELL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_ASSOCIATION_SHELL_H_

#include <string>
#include <vector>

#include "desktop/windows/installer/service/association_shell.h"

namespace installer {

class FakeAssociationShell : public AssociationShell {
 public:
  bool QueryAppIsDefault(const std::wstring& query, ASSOCIATIONTYPE type,
                         const std::wstring& app_name, bool* is_default) override {
    calls_.push_back(L"QueryAppIsDefault " + query + L" " + std::to_wstring(type) + L" " +
                     app_name);
    if (query_succeeds)
      *is_default = is_default_answer;
    return query_succeeds;
  }
  bool SetAppAsDefault(const std::wstring& app_name, const std::wstring& query,
                       ASSOCIATIONTYPE type) override {
    calls_.push_back(L"SetAppAsDefault " + app_name + L" " + query + L" " +
                     std::to_wstring(type));
    return set_app_as_default_succeeds;
  }
  bool HasAppAssociationRegistration() override { return has_association_registration; }
  bool SetDefaultThroughAssociationRegistration(const std::wstring& app_name,
                                                const std::wstring& name,
                                                bool is_extension) override {
    calls_.push_back(L"SetDefaultThroughAssociationRegistration " + app_name + L" " + name +
                     (is_extension ? L" extension" : L" protocol"));
    return has_association_registration;
  }
  bool ShowOpenWithDialog(const std::wstring& name) override {
    calls_.push_back(L"ShowOpenWithDialog " + name);
    return open_with_succeeds;
  }
  bool OpenDefaultAppsSettings(const std::wstring& target) override {
    calls_.push_back(L"OpenDefaultAppsSettings " + target);
    return settings_open;
  }
  void NotifyAssociationsChanged() override { calls_.push_back(L"NotifyAssociationsChanged"); }
  void BroadcastSettingChange(const std::wstring& area) override {
    calls_.push_back(L"BroadcastSettingChange " + area);
  }

  const std::vector<std::wstring>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  bool query_succeeds = false;
  bool is_default_answer = false;
  bool set_app_as_default_succeeds = false;
  bool has_association_registration = false;
  bool open_with_succeeds = false;
  bool settings_open = false;

 private:
  std::vector<std::wstring> calls_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_ASSOCIATION_SHELL_H_
