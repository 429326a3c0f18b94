// AssociationShellImpl: AssociationShell over the real shell and COM calls.
// Stateless; the process-wide instance from GetInstance() lives until the
// process ends.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_ASSOCIATION_SHELL_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_ASSOCIATION_SHELL_IMPL_H_

#include "desktop/windows/installer/service/association_shell.h"

namespace installer {

class AssociationShellImpl : public AssociationShell {
 public:
  static AssociationShell* GetInstance();

  bool QueryAppIsDefault(const std::wstring& query, ASSOCIATIONTYPE type,
                         const std::wstring& app_name, bool* is_default) override;
  bool SetAppAsDefault(const std::wstring& app_name, const std::wstring& query,
                       ASSOCIATIONTYPE type) override;
  bool HasAppAssociationRegistration() override;
  bool SetDefaultThroughAssociationRegistration(const std::wstring& app_name,
                                                const std::wstring& name,
                                                bool is_extension) override;
  bool ShowOpenWithDialog(const std::wstring& name) override;
  bool OpenDefaultAppsSettings(const std::wstring& target) override;
  void NotifyAssociationsChanged() override;
  void BroadcastSettingChange(const std::wstring& area) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_ASSOCIATION_SHELL_IMPL_H_
