// WindowsVersionProviderImpl: the Windows version as the system reports it
// (base::win::GetVersion). Stateless; the process-wide instance returned by
// GetInstance() lives until the process ends and may be used from any thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_WINDOWS_VERSION_PROVIDER_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_WINDOWS_VERSION_PROVIDER_IMPL_H_

#include "desktop/windows/installer/service/windows_version_provider.h"

namespace installer {

class WindowsVersionProviderImpl : public WindowsVersionProvider {
 public:
  static const WindowsVersionProvider* GetInstance();

  base::win::Version GetVersion() const override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_WINDOWS_VERSION_PROVIDER_IMPL_H_
