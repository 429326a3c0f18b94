#include "desktop/windows/installer/service/taskbar_pinning.h"

#include <windows.h>

#include <shellapi.h>

#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/windows_version_provider_impl.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr wchar_t kPinCheckSuffix[] = L" Last Band Check";
constexpr wchar_t kHelperCopyName[] = L"explorer.exe";
constexpr REGSAM kPinCheckAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
// The helper pins in a moment; a helper that hangs must not hold the
// installer for good.
constexpr DWORD kHelperTimeoutMs = 2 * 60 * 1000;

std::wstring GetPinCheckValueName() {
  return base::ASCIIToWide(GetStreamName()) + kPinCheckSuffix;
}

bool StorePinCheckTime(base::Time now) {
  base::win::RegKey key;
  if (key.Create(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), kPinCheckAccess) !=
      ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = base::NumberToWString(now.ToInternalValue());
  return key.WriteValue(GetPinCheckValueName().c_str(), text.c_str()) == ERROR_SUCCESS;
}

}  // namespace

const wchar_t* GetPinHelperName() {
  return base::win::OSInfo::GetInstance()->architecture() ==
                 base::win::OSInfo::X64_ARCHITECTURE
             ? L"installer_helper_64.exe"
             : L"installer_helper.exe";
}

bool PinShortcutToTaskbar(const base::FilePath& helper_folder,
                          const base::FilePath& shortcut,
                          int mode) {
  return PinShortcutToTaskbar(helper_folder, shortcut, mode,
                              *WindowsVersionProviderImpl::GetInstance(), base::Time::Now());
}

bool PinShortcutToTaskbar(const base::FilePath& helper_folder,
                          const base::FilePath& shortcut,
                          int mode,
                          const WindowsVersionProvider& version,
                          base::Time now) {
  if (mode == kPinPeriodically) {
    base::win::RegKey key;
    if (key.Create(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), kPinCheckAccess) !=
        ERROR_SUCCESS) {
      return false;
    }
    std::wstring text;
    int64_t last = 0;
    const bool known = key.ReadValue(GetPinCheckValueName().c_str(), &text) == ERROR_SUCCESS &&
                       base::StringToInt64(base::WideToUTF8(text), &last) && last != 0 &&
                       last <= now.ToInternalValue();
    if (!known) {
      // The first call only starts the clock.
      StorePinCheckTime(now);
      return false;
    }
    if (now - base::Time::FromInternalValue(last) < kRepinInterval)
      return false;
  }

  const base::win::Version windows = version.GetVersion();
  bool pinned = false;
  if (windows >= base::win::VERSION_WIN7 && windows <= base::win::VERSION_WIN8_1) {
    pinned = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"taskbarpin",
                                                     shortcut.value().c_str(), nullptr,
                                                     nullptr, 0)) > 32;
  }
  if (!pinned) {
    if (windows < base::win::VERSION_WIN10 || !PinWithHelper(helper_folder, shortcut))
      return false;
  }
  if (mode == kPinPeriodically)
    StorePinCheckTime(now);
  return true;
}

bool PinWithHelper(const base::FilePath& helper_folder, const base::FilePath& shortcut) {
  base::FilePath temp;
  if (!base::PathService::Get(base::DIR_TEMP, &temp))
    return false;
  const base::FilePath copy = temp.Append(kHelperCopyName);
  if (!base::DeleteFile(copy)) {
    VLOG(2) << "Could not delete the previous helper";
    return false;
  }
  // CopyFile refuses paths that reach a parent folder or are too long, and
  // clears the copy's read-only attribute.
  if (!base::CopyFile(helper_folder.Append(GetPinHelperName()), copy) ||
      !base::PathExists(copy)) {
    VLOG(2) << "Could not copy the new helper";
    return false;
  }
  // The shortcut is the helper's one argument: no switch terminator before it.
  const std::wstring command_line =
      base::CommandLine::QuoteForCommandLineToArgvW(copy.value()) + L" " +
      base::CommandLine::QuoteForCommandLineToArgvW(shortcut.value());
  base::Process process = base::LaunchProcess(command_line, base::LaunchOptions());
  bool succeeded = false;
  if (!process.IsValid()) {
    VLOG(2) << "Could not launch the helper process";
  } else {
    int exit_code = -1;
    if (!process.WaitForExitWithTimeout(kHelperTimeoutMs, &exit_code)) {
      VLOG(2) << "Could not wait for helper";
      process.Terminate(1, true);
    } else if (exit_code == 0) {
      succeeded = true;
    } else {
      VLOG(2) << "The helper returned status " << exit_code;
    }
  }
  base::DeleteFile(copy);
  return succeeded;
}

}  // namespace installer
