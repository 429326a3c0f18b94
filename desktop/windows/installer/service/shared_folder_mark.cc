#include "desktop/windows/installer/service/shared_folder_mark.h"

#include <windows.h>

#include <map>
#include <string>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/synchronization/lock.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

namespace {

constexpr wchar_t kSharedFolderMarkName[] = L"VeltoInstaller/SharedFolderChanges";

// One name per folder, whatever the case or trailing separator of its path.
std::wstring MarkName(const base::FilePath& folder) {
  return GetKernelObjectName(base::ToLowerASCII(folder.StripTrailingSeparators().value()),
                             kSharedFolderMarkName, true);
}

base::Lock& MarksLock() {
  static base::Lock* lock = new base::Lock();
  return *lock;
}

// The marks this process holds, by name; they live as long as the process.
std::map<std::wstring, base::win::ScopedHandle>& Marks() {
  static auto* marks = new std::map<std::wstring, base::win::ScopedHandle>();
  return *marks;
}

}  // namespace

// static
void SharedFolderMark::Set(const base::FilePath& folder) {
  const std::wstring name = MarkName(folder);
  base::AutoLock hold(MarksLock());
  base::win::ScopedHandle& mark = Marks()[name];
  if (mark.IsValid())
    return;
  mark.Set(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  if (!mark.IsValid())
    PLOG(WARNING) << "Cannot mark " << folder.AsUTF8Unsafe() << " as changed by this run";
}

// static
bool SharedFolderMark::IsSet(const base::FilePath& folder) {
  HANDLE handle = ::OpenEventW(SYNCHRONIZE, FALSE, MarkName(folder).c_str());
  const DWORD error = ::GetLastError();
  base::win::ScopedHandle mark(handle);
  return mark.IsValid() || error != ERROR_FILE_NOT_FOUND;
}

}  // namespace installer
