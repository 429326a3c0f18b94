// Support for tests that run whole installs, upgrades and uninstalls through
// Installer in the test process:
// - ScopedKnownFolders points the known folders (desktop, Start menu, quick
//   launch, Program Files, application data) of this process into a folder of
//   the test's scratch folder, so that parallel tests never share them.
// - MachineSnapshot records, byte for byte, the files below a folder and the
//   registry of this process (both redirected hives), to compare the machine
//   before and after a run.
// - InstallerTestSettings are settings whose folder analysis is the real one.
// - RunInstallerToEnd starts a run and runs the message loop until it ended.
// - FixturePackage locates the packages built by tests/fixtures/package.
// - EndChildProcesses waits for what the test started and did not wait for.
// - TryMutexAsAnotherInstaller tries an installation mutex as another
//   installer would.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_TEST_SUPPORT_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_TEST_SUPPORT_H_

#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/base_paths.h"
#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/process/launch.h"
#include "base/process/process.h"
#include "base/run_loop.h"
#include "base/strings/utf_string_conversions.h"
#include "base/time/clock.h"
#include "base/win/registry_key_iterator.h"
#include "base/win/registry_value_iterator.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_mutex.h"
#include "desktop/windows/installer/installer_observer.h"
#include "desktop/windows/installer/ipc/recording_installer_observer.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {

class ScopedKnownFolders {
 public:
  explicit ScopedKnownFolders(const base::FilePath& root) {
    const struct {
      int key;
      const wchar_t* name;
    } kFolders[] = {
        {base::DIR_USER_DESKTOP, L"Desktop"},
        {base::DIR_COMMON_DESKTOP, L"Public Desktop"},
        {base::DIR_START_MENU, L"Start Menu\\Programs"},
        {base::DIR_COMMON_START_MENU, L"Common Start Menu\\Programs"},
        {base::DIR_APP_DATA, L"AppData\\Roaming"},
        {base::DIR_LOCAL_APP_DATA, L"AppData\\Local"},
        {base::DIR_COMMON_APP_DATA, L"ProgramData"},
        {base::DIR_USER_QUICK_LAUNCH,
         L"AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"},
        {base::DIR_TASKBAR_PINS,
         L"AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar"},
        {base::DIR_PROGRAM_FILES, L"Program Files"},
        {base::DIR_PROGRAM_FILESX86, L"Program Files (x86)"},
    };
    for (const auto& folder : kFolders) {
      base::FilePath path = root.Append(folder.name);
      base::CreateDirectory(path);
      base::PathService::Override(folder.key, path);
      keys_.push_back(folder.key);
    }
  }
  ScopedKnownFolders(const ScopedKnownFolders&) = delete;
  ScopedKnownFolders& operator=(const ScopedKnownFolders&) = delete;
  ~ScopedKnownFolders() {
    for (int key : keys_)
      base::PathService::RemoveOverride(key);
  }

 private:
  std::vector<int> keys_;
};

class MachineSnapshot {
 public:
  // Files (with their contents) and folders below |root|, and every key and
  // value of both registry hives.
  // With |task_marker|, also the Task Scheduler 1.0 tasks of the system
  // whose names hold it (other processes' tasks share that folder).
  static MachineSnapshot Take(const base::FilePath& root, const std::wstring& task_marker = L"") {
    MachineSnapshot snapshot;
    snapshot.AddFiles(root, L"");
    base::FilePath windows;
    if (!task_marker.empty() && base::PathService::Get(base::DIR_WINDOWS, &windows))
      snapshot.AddTasks(windows.Append(L"Tasks"), L"*" + task_marker + L"*");
    snapshot.AddKey(HKEY_CURRENT_USER, L"HKCU", L"");
    snapshot.AddKey(HKEY_LOCAL_MACHINE, L"HKLM", L"");
    return snapshot;
  }

  bool operator==(const MachineSnapshot& other) const { return entries_ == other.entries_; }

  // What differs from |other|, one line per entry.
  std::string DescribeDifferences(const MachineSnapshot& other) const {
    std::ostringstream out;
    for (const auto& [name, value] : entries_) {
      auto it = other.entries_.find(name);
      if (it == other.entries_.end())
        out << "only before: " << name << "\n";
      else if (it->second != value)
        out << "changed: " << name << "\n";
    }
    for (const auto& [name, value] : other.entries_) {
      if (!entries_.count(name))
        out << "only after: " << name << "\n";
    }
    return out.str();
  }

  bool HasEntry(const std::string& name) const { return entries_.count(name) != 0; }
  const std::map<std::string, std::string>& entries() const { return entries_; }

 private:
  // A task's file records times of its own (creation, last run), so tasks
  // are compared by name.
  void AddTasks(const base::FilePath& folder, const std::wstring& pattern) {
    base::FileEnumerator tasks(folder, false, base::FileEnumerator::FILES, pattern);
    for (base::FilePath path = tasks.Next(); !path.empty(); path = tasks.Next())
      entries_["task:" + path.BaseName().AsUTF8Unsafe()] = "";
  }

  void AddFiles(const base::FilePath& root, const std::wstring& pattern) {
    base::FileEnumerator enumerator(root, pattern.empty(),
                                    base::FileEnumerator::FILES |
                                        base::FileEnumerator::DIRECTORIES,
                                    pattern);
    for (base::FilePath path = enumerator.Next(); !path.empty(); path = enumerator.Next()) {
      std::string contents = "<folder>";
      if (!enumerator.GetInfo().IsDirectory() && !base::ReadFileToString(path, &contents))
        contents = "<unreadable>";
      entries_["file:" + path.AsUTF8Unsafe()] = contents;
    }
  }

  void AddKey(HKEY root, const std::wstring& label, const std::wstring& path) {
    entries_["key:" + base::WideToUTF8(label + L"\\" + path)] = "";
    for (base::win::RegistryValueIterator value(root, path.c_str()); value.Valid(); ++value) {
      entries_["value:" + base::WideToUTF8(label + L"\\" + path + L":" + value.Name())] =
          std::to_string(value.Type()) + ":" +
          std::string(reinterpret_cast<const char*>(value.Data()), value.ValueSize());
    }
    std::vector<std::wstring> subkeys;
    for (base::win::RegistryKeyIterator key(root, path.c_str()); key.Valid(); ++key)
      subkeys.push_back(key.Name());
    for (const std::wstring& subkey : subkeys)
      AddKey(root, label, path.empty() ? subkey : path + L"\\" + subkey);
  }

  std::map<std::string, std::string> entries_;
};

// A clock whose time is unique to this test process, so that the app ids
// (and the task names made from them) of parallel tests never meet: the
// process id (unique among running processes) and the process's start.
class UniqueProcessClock : public base::Clock {
 public:
  UniqueProcessClock()
      : seconds_(1600000000 + static_cast<time_t>(::GetCurrentProcessId() % 4096) * 65536 +
                 static_cast<time_t>(::GetTickCount64() / 1000 % 65536)) {}
  base::Time Now() const override { return base::Time::FromTimeT(seconds_); }
  // The decimal app id a new installation gets from this clock.
  std::string AppId() const { return std::to_string(Now().ToTimeT()); }

 private:
  time_t seconds_;
};

class InstallerTestSettings : public FakeSettings {
 public:
  // Analyses |folder| as the settings would and picks the operation from it:
  // an upgrade where an installation is found, else an install; |uninstall|
  // asks for the uninstall of what is found.
  void Analyse(const base::FilePath& folder, bool uninstall) {
    install_path = folder;
    details_ = std::make_unique<InstallationFolderDetailsImpl>(false);
    details_->Initialize(folder, 0);
    if (uninstall)
      operation = UNINSTALLING;
    else
      operation = details_->IsExistingInstallation() ? UPGRADING : INSTALLING;
    Set(UNINSTALL_FLAG, uninstall);
  }

  const InstallationFolderDetails* GetFolderDetails() const override { return details_.get(); }

 private:
  std::unique_ptr<InstallationFolderDetailsImpl> details_;
};

// Quits a run loop at the end of a run and keeps the calls for the test.
class RunEndObserver : public RecordingInstallerObserver {
 public:
  void OnSuccess() override {
    RecordingInstallerObserver::OnSuccess();
    ++ends;
    if (quit)
      quit.Run();
  }
  void OnInstallerTerminated(bool success) override {
    RecordingInstallerObserver::OnInstallerTerminated(success);
    ++ends;
    if (quit)
      quit.Run();
  }
  // The OnError calls recorded.
  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const std::string& call : calls) {
      if (call.rfind("Error(", 0) == 0)
        errors.push_back(call);
    }
    return errors;
  }

  base::RepeatingClosure quit;
  int ends = 0;
};

// The installation-interrupted event a front end creates for a run into
// |install_path|; the installer refuses to run without it.
inline base::win::ScopedHandle CreateInterruptedEvent(const base::FilePath& install_path) {
  return base::win::ScopedHandle(::CreateEventW(
      nullptr, TRUE, FALSE,
      GetKernelObjectName(install_path.value(), kernel_objects::kInstallationInterruptedEvent, true)
          .c_str()));
}

// Runs |installer| with |settings| until the run has ended; |observer| is
// added for the run. The message loop of the calling thread must exist.
inline void RunInstallerToEnd(Installer* installer, Settings* settings,
                              RunEndObserver* observer) {
  base::win::ScopedHandle interrupted = CreateInterruptedEvent(settings->GetInstallPath());
  base::RunLoop run_loop;
  observer->quit = run_loop.QuitClosure();
  installer->AddObserver(observer);
  installer->Start(settings);
  run_loop.Run();
  installer->RemoveObserver(observer);
  observer->quit.Reset();
}

// The fixture package of |version| (1 or 2) built beside the test programs.
inline base::FilePath FixturePackage(int version) {
  base::FilePath exe_folder;
  base::PathService::Get(base::DIR_EXE, &exe_folder);
  return exe_folder.DirName().Append(L"fixtures").Append(L"package-" +
                                                         std::to_wstring(version));
}

// The id of a process that has ended, for a clean-up batch file that is to
// wait for none.
inline uint32_t EndedProcessId() {
  base::LaunchOptions hidden;
  hidden.start_hidden = true;
  base::Process ended = base::LaunchProcess(L"cmd.exe /c exit", hidden);
  if (!ended.IsValid() || !ended.WaitForExitWithTimeout(60 * 1000, nullptr))
    return 0;
  return ended.Pid();
}

// The system's desktop process when it is a child of this one: Wine starts
// it (explorer.exe /desktop) on demand as a child of the first process that
// needs a window, and it outlives that process. It owns the desktop window;
// on Windows that belongs to no process a test starts. 0 when |entry| is not
// it.
inline DWORD DesktopProcessAmongChildren(const PROCESSENTRY32W& entry) {
  if (_wcsicmp(entry.szExeFile, L"explorer.exe") != 0)
    return 0;
  DWORD desktop_process = 0;
  ::GetWindowThreadProcessId(::GetDesktopWindow(), &desktop_process);
  return desktop_process == entry.th32ProcessID ? desktop_process : 0;
}

// Waits up to |timeout_ms| for every process this one started that still
// runs (a child the code under test launched without waiting for it), then
// ends those still there. False when some had to be ended. A test that left
// a child running would race later tests and keep its files in use. The
// system's desktop process is not among them.
inline bool EndChildProcesses(DWORD timeout_ms) {
  FILETIME own_start, unused1, unused2, unused3;
  ::GetProcessTimes(::GetCurrentProcess(), &own_start, &unused1, &unused2, &unused3);
  std::vector<base::Process> children;
  base::win::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot.IsValid() && ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID != ::GetCurrentProcessId() ||
        DesktopProcessAmongChildren(entry)) {
      continue;
    }
    base::Process child = base::Process::Open(entry.th32ProcessID);
    FILETIME start;
    // A process started before this one had an earlier holder of this id as
    // its parent.
    if (child.IsValid() &&
        ::GetProcessTimes(child.Handle(), &start, &unused1, &unused2, &unused3) &&
        ::CompareFileTime(&start, &own_start) >= 0) {
      children.push_back(std::move(child));
    }
  }
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  bool all_ended = true;
  for (const base::Process& child : children) {
    const ULONGLONG now = ::GetTickCount64();
    if (!child.WaitForExitWithTimeout(now < deadline ? static_cast<DWORD>(deadline - now) : 0,
                                      nullptr)) {
      all_ended = false;
      child.Terminate(1, /*wait=*/true);
    }
  }
  return all_ended;
}

// What another installer gets when it tries the installation mutex |name|
// now (from a thread of its own, as from another process); it lets go at
// once.
inline InstallerMutex::AcquireResult TryMutexAsAnotherInstaller(const std::wstring& name) {
  InstallerMutex::AcquireResult result = InstallerMutex::NOT_CREATED;
  std::thread([&name, &result] {
    InstallerMutex other;
    result = other.TryAcquire(name);
    other.Release();
  }).join();
  return result;
}

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_INSTALLER_TEST_SUPPORT_H_
