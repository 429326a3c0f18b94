#include "desktop/windows/installer/installer_ui_lock.h"

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "product_config/product_config.h"

namespace installer {

// static
std::wstring InstallerUILock::GetMutexName() {
  return L"Local\\" + base::UTF8ToWide(GetProductName()) + L"/Installer/UI_lock";
}

DWORD InstallerUILock::Acquire(const base::FilePath& temp_folder,
                               const std::wstring& mutex_name) {
  if (file_.IsValid())
    return GetCurrentThreadId();
  LOG(INFO) << "Getting installer UI mutex";
  base::win::ScopedHandle mutex(CreateMutexW(nullptr, FALSE, mutex_name.c_str()));
  if (!mutex.IsValid()) {
    LOG(WARNING) << "Failed to create installer UI mutex.";
    return 0;
  }
  // An abandoned mutex still serialises: its holder died mid-check.
  WaitForSingleObject(mutex.Get(), INFINITE);
  const base::FilePath path = temp_folder.Append(kLockFileName);
  DWORD result = 0;
  file_.Set(CreateFileW(path.value().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                        nullptr));
  if (file_.IsValid()) {
    result = GetCurrentThreadId();
    DWORD written = 0;
    WriteFile(file_.Get(), &result, sizeof(result), &written, nullptr);
    FlushFileBuffers(file_.Get());
    VLOG(1) << "Obtained installer UI lock";
  } else {
    VLOG(1) << "Didn't obtain installer UI lock";
    base::win::ScopedHandle existing(
        CreateFileW(path.value().c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD read = 0;
    DWORD thread_id = 0;
    if (!existing.IsValid() ||
        !ReadFile(existing.Get(), &thread_id, sizeof(thread_id), &read, nullptr) ||
        read != sizeof(thread_id)) {
      LOG(WARNING) << "Existing installer UI lock file is invalid";
    } else {
      result = thread_id;
    }
  }
  ReleaseMutex(mutex.Get());
  return result;
}

}  // namespace installer
