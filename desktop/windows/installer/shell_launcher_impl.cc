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
  // The failure is logged and handed back; the shell's own error box would
  // stop the window's thread until it is answered.
  info.fMask = SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI;
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
