#include "desktop/windows/installer/shell_launcher_impl.h"

#include <windows.h>
#include <shellapi.h>

#include "base/logging.h"

namespace installer {

// static
ShellLauncher* ShellLauncherImpl::GetInstance() {
  static ShellLauncherImpl* instance = new ShellLauncherImpl();
  return instance;
}

bool ShellLauncherImpl::Open(const std::wstring& file, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info = {sizeof(info)};
  info.fMask = SEE_MASK_DOENVSUBST;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    PLOG(WARNING) << "The shell could not open the file";
    return false;
  }
  return true;
}

}  // namespace installer
