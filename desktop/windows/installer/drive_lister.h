// DriveLister: the machine's drives that are present and ready, for the
// folders offered to a stand-alone copy. DriveListerImpl asks Windows
// (logical drive mask, a device open and a media check per drive, the drive
// type); tests hand in the drives they need.

#ifndef DESKTOP_WINDOWS_INSTALLER_DRIVE_LISTER_H_
#define DESKTOP_WINDOWS_INSTALLER_DRIVE_LISTER_H_

#include <windows.h>

#include <vector>

namespace installer {

class DriveLister {
 public:
  struct Drive {
    wchar_t letter = 0;  // 'A' to 'Z'
    UINT type = DRIVE_UNKNOWN;  // GetDriveTypeW of the root
  };

  virtual ~DriveLister() = default;

  // The drives in letter order, skipping those that cannot be opened or
  // whose media check fails (a changed medium still counts as ready).
  virtual std::vector<Drive> ListReadyDrives() const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_DRIVE_LISTER_H_
