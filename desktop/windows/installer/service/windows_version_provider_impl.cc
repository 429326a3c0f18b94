#include "desktop/windows/installer/service/windows_version_provider_impl.h"

namespace installer {

// static
const WindowsVersionProvider* WindowsVersionProviderImpl::GetInstance() {
  // Never destroyed, so it stays usable from at-exit callbacks.
  static const WindowsVersionProvider* const instance = new WindowsVersionProviderImpl();
  return instance;
}

base::win::Version WindowsVersionProviderImpl::GetVersion() const {
  return base::win::GetVersion();
}

}  // namespace installer
