// DriveListerImpl: the drives Windows reports in its logical drive mask that
// can be opened as devices and whose media check passes (see drive_lister.h).

#ifndef DESKTOP_WINDOWS_INSTALLER_DRIVE_LISTER_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_DRIVE_LISTER_IMPL_H_

#include "desktop/windows/installer/drive_lister.h"

namespace installer {

class DriveListerImpl : public DriveLister {
 public:
  std::vector<Drive> ListReadyDrives() const override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_DRIVE_LISTER_IMPL_H_
