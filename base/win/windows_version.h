// The Windows version this process runs on, read once from RtlGetVersion in
// ntdll (looked up at run time), so the answer does not depend on the host
// executable's compatibility manifest. Architecture comes from
// GetNativeSystemInfo, the WOW64 state from IsWow64Process.
//
// GetVersion() is the plain system answer. Code whose behaviour depends on the
// version and needs tests for other versions takes a version provider interface
// of its own whose real implementation calls GetVersion().

#ifndef BASE_WIN_WINDOWS_VERSION_H_
#define BASE_WIN_WINDOWS_VERSION_H_

#include <windows.h>

namespace base::win {

// Ordered: later versions compare greater. Windows 11 reports 10.0 and is
// VERSION_WIN10 here.
enum Version {
  VERSION_PRE_XP = 0,  // Not supported.
  VERSION_XP = 1,
  VERSION_SERVER_2003 = 2,  // Also XP Professional x64.
  VERSION_VISTA = 3,        // Also Server 2008.
  VERSION_WIN7 = 4,         // Also Server 2008 R2.
  VERSION_WIN8 = 5,         // Also Server 2012.
  VERSION_WIN8_1 = 6,       // Also Server 2012 R2.
  VERSION_WIN10 = 7,        // Also Windows 11 and Server 2016 and later.
  VERSION_WIN_LAST,         // Always last: compares above every known version.
};

class OSInfo {
 public:
  struct VersionNumber {
    int major = 0;
    int minor = 0;
    int build = 0;
    int patch = 0;  // The update build revision where the system keeps one, else 0.
  };

  struct ServicePack {
    int major = 0;
    int minor = 0;
  };

  enum WindowsArchitecture {
    X86_ARCHITECTURE,
    X64_ARCHITECTURE,
    IA64_ARCHITECTURE,
    ARM64_ARCHITECTURE,
    OTHER_ARCHITECTURE,
  };

  enum WOW64Status {
    WOW64_DISABLED,  // A native process (64-bit on 64-bit, or 32-bit Windows).
    WOW64_ENABLED,   // A 32-bit process on 64-bit Windows.
    WOW64_UNKNOWN,
  };

  // The process-wide instance, built on first use (thread-safe).
  static OSInfo* GetInstance();
  // The WOW64 state of |process_handle|.
  static WOW64Status GetWOW64StatusForProcess(HANDLE process_handle);

  OSInfo(const OSInfo&) = delete;
  OSInfo& operator=(const OSInfo&) = delete;

  Version version() const { return version_; }
  VersionNumber version_number() const { return version_number_; }
  ServicePack service_pack() const { return service_pack_; }
  // The native architecture of the machine (X64 also for a 32-bit process on it).
  WindowsArchitecture architecture() const { return architecture_; }
  WOW64Status wow64_status() const { return wow64_status_; }
  int processors() const { return processors_; }
  size_t allocation_granularity() const { return allocation_granularity_; }
  // True for client editions (VER_NT_WORKSTATION), false for servers.
  bool is_workstation() const { return is_workstation_; }

 private:
  OSInfo();

  Version version_ = VERSION_PRE_XP;
  VersionNumber version_number_;
  ServicePack service_pack_;
  WindowsArchitecture architecture_ = OTHER_ARCHITECTURE;
  WOW64Status wow64_status_ = WOW64_UNKNOWN;
  int processors_ = 0;
  size_t allocation_granularity_ = 0;
  bool is_workstation_ = true;
};

// OSInfo::GetInstance()->version().
Version GetVersion();

}  // namespace base::win

#endif  // BASE_WIN_WINDOWS_VERSION_H_
