// OsOperationsImpl: OsOperations through the installation model of the
// target folder (FolderInstallation), with the Windows version and the shell
// reached through the given platform seams (the real ones by default).

#ifndef DESKTOP_WINDOWS_INSTALLER_OS_OPERATIONS_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_OS_OPERATIONS_IMPL_H_

#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/installation_impl.h"

namespace installer {

class OsOperationsImpl : public OsOperations {
 public:
  explicit OsOperationsImpl(
      const InstallationImpl::Platform& platform = InstallationImpl::Platform::Real());
  OsOperationsImpl(const OsOperationsImpl&) = delete;
  OsOperationsImpl& operator=(const OsOperationsImpl&) = delete;
  ~OsOperationsImpl() override;

  void SetUpDefaultBrowser(const Settings& settings, const InstallationStatus* status) override;

  // The same for choices already taken from settings.
  void SetUpDefaultBrowserWithChoices(const DefaultBrowserChoices& choices,
                                      const InstallationStatus* status);

 private:
  InstallationImpl::Platform platform_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_OS_OPERATIONS_IMPL_H_
