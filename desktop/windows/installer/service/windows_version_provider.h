// WindowsVersionProvider answers which Windows version the process runs on.
// Code whose behaviour differs per Windows version asks it instead of the
// system directly, so that every branch can be exercised on any machine: the
// real implementation (WindowsVersionProviderImpl) asks the system, tests hand
// in a provider that reports the version they need.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_WINDOWS_VERSION_PROVIDER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_WINDOWS_VERSION_PROVIDER_H_

#include "base/win/windows_version.h"

namespace installer {

class WindowsVersionProvider {
 public:
  virtual ~WindowsVersionProvider() = default;

  virtual base::win::Version GetVersion() const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_WINDOWS_VERSION_PROVIDER_H_
