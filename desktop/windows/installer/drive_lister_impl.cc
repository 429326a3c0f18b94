#include "desktop/windows/installer/drive_lister_impl.h"

#include <winioctl.h>

#include <string>

#include "base/win/scoped_handle.h"

namespace installer {

std::vector<DriveLister::Drive> DriveListerImpl::ListReadyDrives() const {
  std::vector<Drive> drives;
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i)))
      continue;
    const wchar_t letter = static_cast<wchar_t>(L'A' + i);
    const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
    base::win::ScopedHandle handle(CreateFileW(device.c_str(), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    if (!handle.IsValid())
      continue;
    DWORD returned = 0;
    if (!DeviceIoControl(handle.Get(), IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, nullptr, 0,
                         &returned, nullptr) &&
        GetLastError() != ERROR_MEDIA_CHANGED) {
      continue;
    }
    const std::wstring root = std::wstring(1, letter) + L":\\";
    drives.push_back({letter, GetDriveTypeW(root.c_str())});
  }
  return drives;
}

}  // namespace installer
