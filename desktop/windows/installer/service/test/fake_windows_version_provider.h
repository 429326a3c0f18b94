// A WindowsVersionProvider for tests: reports the version it was given.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_WINDOWS_VERSION_PROVIDER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_WINDOWS_VERSION_PROVIDER_H_

#include "desktop/windows/installer/service/windows_version_provider.h"

namespace installer {

class FakeWindowsVersionProvider : public WindowsVersionProvider {
 public:
  explicit FakeWindowsVersionProvider(base::win::Version version) : version_(version) {}

  base::win::Version GetVersion() const override { return version_; }
  void set_version(base::win::Version version) { version_ = version; }

 private:
  base::win::Version version_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_WINDOWS_VERSION_PROVIDER_H_
