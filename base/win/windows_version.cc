#include "base/win/windows_version.h"

#include "base/logging.h"

namespace base::win {

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

Version MajorMinorToVersion(DWORD major, DWORD minor) {
  if (major < 5)
    return VERSION_PRE_XP;
  if (major == 5) {
    if (minor == 0)
      return VERSION_PRE_XP;
    return minor == 1 ? VERSION_XP : VERSION_SERVER_2003;
  }
  if (major == 6) {
    switch (minor) {
      case 0:
        return VERSION_VISTA;
      case 1:
        return VERSION_WIN7;
      case 2:
        return VERSION_WIN8;
      default:
        return VERSION_WIN8_1;
    }
  }
  // 10.0 and anything newer that this code does not know yet.
  return VERSION_WIN10;
}

// The update build revision kept in the registry (Windows 10 and later).
int ReadUpdateBuildRevision() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = REG_NONE;
  LONG result = ::RegQueryValueExW(key, L"UBR", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                   &size);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_DWORD)
    return 0;
  return static_cast<int>(value);
}

}  // namespace

OSInfo* OSInfo::GetInstance() {
  static OSInfo* instance = new OSInfo();
  return instance;
}

OSInfo::WOW64Status OSInfo::GetWOW64StatusForProcess(HANDLE process_handle) {
  BOOL is_wow64 = FALSE;
  if (!::IsWow64Process(process_handle, &is_wow64))
    return WOW64_UNKNOWN;
  return is_wow64 ? WOW64_ENABLED : WOW64_DISABLED;
}

OSInfo::OSInfo() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  // RtlGetVersion reports the true version whatever the executable's manifest
  // says; GetVersionEx would stop at 6.2 without one.
  auto rtl_get_version = reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  bool have_version = rtl_get_version && rtl_get_version(&info) == 0;
  if (!have_version) {
    LOG(ERROR) << "Cannot read the Windows version";
  } else {
    version_number_.major = static_cast<int>(info.dwMajorVersion);
    version_number_.minor = static_cast<int>(info.dwMinorVersion);
    version_number_.build = static_cast<int>(info.dwBuildNumber);
    service_pack_.major = info.wServicePackMajor;
    service_pack_.minor = info.wServicePackMinor;
    is_workstation_ = info.wProductType == VER_NT_WORKSTATION;
    version_ = MajorMinorToVersion(info.dwMajorVersion, info.dwMinorVersion);
    if (version_ >= VERSION_WIN10)
      version_number_.patch = ReadUpdateBuildRevision();
  }

  SYSTEM_INFO system_info = {};
  ::GetNativeSystemInfo(&system_info);
  switch (system_info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      architecture_ = X86_ARCHITECTURE;
      break;
    case PROCESSOR_ARCHITECTURE_AMD64:
      architecture_ = X64_ARCHITECTURE;
      break;
    case PROCESSOR_ARCHITECTURE_IA64:
      architecture_ = IA64_ARCHITECTURE;
      break;
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64
      architecture_ = ARM64_ARCHITECTURE;
      break;
    default:
      architecture_ = OTHER_ARCHITECTURE;
      break;
  }
  processors_ = static_cast<int>(system_info.dwNumberOfProcessors);
  allocation_granularity_ = system_info.dwAllocationGranularity;
  wow64_status_ = GetWOW64StatusForProcess(::GetCurrentProcess());
}

Version GetVersion() {
  return OSInfo::GetInstance()->version();
}

}  // namespace base::win
