#include "desktop/windows/installer/installer_runner.h"

#include <string>
#include <thread>
#include <vector>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "crash_reporting/crash_client.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/ipc/mailslot_reader.h"
#include "desktop/windows/installer/service/kernel_object_security.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/kernel_object_test_util.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"
#include "desktop/windows/installer/installer_kernel_objects.h"

namespace installer {
namespace {

// A folder analysis that only knows its path.
class PathOnlySettings : public FakeSettings {
 public:
  const InstallationFolderDetails* GetFolderDetails() const override { return &details_; }
  void Analyse() { details_.Initialize(install_path, 0); }

 private:
  InstallationFolderDetailsImpl details_{false};
};

std::string Hex(const base::Pickle& pickle) {
  return base::HexEncode(pickle.data(), pickle.size());
}

// Quits at the back end's end and records every observer call.
class TerminationObserver : public RecordingInstallerObserver {
 public:
  void OnInstallerTerminated(bool success) override {
    RecordingInstallerObserver::OnInstallerTerminated(success);
    if (quit)
      quit.Run();
  }
  base::RepeatingClosure quit;
};

class InstallerRunnerTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"runner"));
    package_ = root_.Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(package_));
    base::FilePath exe_folder;
    base::PathService::Get(base::DIR_EXE, &exe_folder);
    ASSERT_TRUE(base::CopyFile(
        exe_folder.DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe"),
        package_.Append(L"installer.exe")));
    settings_.install_path = root_.Append(L"Velto");
    settings_.Analyse();
    mailslot_ = kInstallerMailslotName + settings_.install_path.value();
  }

  void WriteScript(const std::vector<std::string>& lines) {
    std::string script = "mailslot " + base::WideToUTF8(mailslot_) + "\n";
    for (const std::string& line : lines)
      script += line + "\n";
    ASSERT_TRUE(base::WriteFile(package_.Append(L"script.txt"), script));
  }

  // Starts the back end and runs the loop until it has ended. The observer
  // stays: messages may arrive after the end of the process.
  bool RunToEnd(InstallerRunner* runner) {
    base::RunLoop run_loop;
    if (!Start(runner, &run_loop))
      return false;
    run_loop.Run();
    observer_.quit.Reset();
    return true;
  }

  // Starts the back end; |run_loop| quits once it has ended.
  bool Start(InstallerRunner* runner, base::RunLoop* run_loop) {
    observer_.quit = run_loop->QuitClosure();
    runner->AddObserver(&observer_);
    return runner->StartInstallation(&settings_);
  }

  // A start that is to fail at once; true when it did not.
  bool StartFails(InstallerRunner* runner) {
    runner->AddObserver(&observer_);
    const bool started = runner->StartInstallation(&settings_);
    runner->RemoveObserver(&observer_);
    return !started;
  }

  // Starts a runner, with the package there or not, that must fail at once
  // with |error| before any back end runs.
  void ExpectStartFailsBeforeAnyBackend(bool have_package, const std::string& error) {
    WriteScript({"check-initial", "exit 0"});
    // Without the package the back end would be this executable.
    base::PathService::Override(base::FILE_EXE, package_.Append(L"installer.exe"));
    InstallerRunner runner(package_, base::FilePath());
    if (have_package)
      runner.NotifyPackageReady();
    const bool failed = StartFails(&runner);
    base::PathService::RemoveOverride(base::FILE_EXE);
    EXPECT_TRUE(failed);
    EXPECT_EQ(std::vector<std::string>{error}, observer_.calls);
    EXPECT_FALSE(runner.backend_running());
    EXPECT_EQ("", Result());
    observer_.calls.clear();
  }

  std::wstring RunEventName(const wchar_t* base_name) {
    return GetKernelObjectName(settings_.install_path.value(), base_name, true);
  }

  // Runs the loop until the observer has |count| calls, for at most 5 s.
  void WaitForCalls(size_t count) {
    for (int i = 0; i < 100 && observer_.calls.size() < count; ++i) {
      base::RunLoop run_loop;
      base::MessageLoop::current()->task_runner()->PostDelayedTask(
          FROM_HERE, run_loop.QuitClosure(), base::TimeDelta::FromMilliseconds(50));
      run_loop.Run();
    }
  }

  std::string Result() {
    std::string result;
    base::ReadFileToString(package_.Append(L"result.txt"), &result);
    return result;
  }

  base::MessageLoop loop_;
  base::FilePath root_;
  base::FilePath package_;
  PathOnlySettings settings_;
  std::wstring mailslot_;
  TerminationObserver observer_;
};

TEST_F(InstallerRunnerTest, MessagesBecomeObserverCallsAndForeignOnesAreDropped) {
  base::Pickle foreign;
  foreign.WriteString(":Other message:");
  foreign.WriteInt(IPC_MESSAGE_SUCCESS);
  base::Pickle truncated = InstallerMessage::BeginPickle(IPC_MESSAGE_ERROR);
  truncated.WriteInt(8);
  base::Pickle unknown_type = InstallerMessage::BeginPickle(static_cast<InstallerMessageType>(42));
  WriteScript({"check-initial", "send " + Hex(InstallerMessage::ImportantEvent().ToPickle()),
               "send " + Hex(InstallerMessage::TotalSteps(3).ToPickle()),
               "send " + Hex(InstallerMessage::Step().ToPickle()),
               "send " + Hex(InstallerMessage::FileCopyRetry("file_copy_retry").ToPickle()),
               "send " + Hex(InstallerMessage::Error(8, L"C:\\x", "Failed copying x").ToPickle()),
               "send " + Hex(foreign), "send " + Hex(truncated), "send " + Hex(unknown_type),
               "send 0102", "exit 1"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  ASSERT_TRUE(RunToEnd(&runner));
  // Messages written before the back end ended may still be on their way.
  WaitForCalls(6);
  std::vector<std::string> expected = {"Terminated(0)", "ImportantEvent", "TotalSteps(3)", "Step",
                                       "FileCopyRetry(file_copy_retry)",
                                       "Error(8,C:\\x,Failed copying x)"};
  std::vector<std::string> calls = observer_.calls;
  // The end of the process may overtake the messages; their own order holds.
  calls.erase(std::remove(calls.begin(), calls.end(), "Terminated(0)"), calls.end());
  EXPECT_EQ(std::vector<std::string>(expected.begin() + 1, expected.end()), calls);
  EXPECT_EQ(1, std::count(observer_.calls.begin(), observer_.calls.end(), "Terminated(0)"));
  // The back end inherited a handle of the front end's process.
  EXPECT_EQ("initial-alive\n", Result());
}

TEST_F(InstallerRunnerTest, BackendExitCodeDecidesSuccess) {
  for (int code : {0, 3, 1}) {
    WriteScript({"exit " + base::NumberToString(code)});
    InstallerRunner runner(package_, base::FilePath());
    runner.NotifyPackageReady();
    observer_.calls.clear();
    ASSERT_TRUE(RunToEnd(&runner));
    EXPECT_EQ(std::vector<std::string>{code == 0 ? "Terminated(1)" : "Terminated(0)"},
              observer_.calls)
        << code;
    EXPECT_FALSE(runner.backend_running());
  }
}

// A back end that ended without a word leaves its exit code in the log.
TEST_F(InstallerRunnerTest, EndWithoutReportIsLoggedWithTheExitCode) {
  const base::FilePath log = root_.Append(L"runner.log");
  logging::LoggingSettings log_settings;
  log_settings.log_file_path = log;
  ASSERT_TRUE(logging::InitLogging(log_settings));
  WriteScript({"exit 3"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  const bool ran = RunToEnd(&runner);
  runner.LogEndWithoutReport();
  logging::CloseLogFile();
  ASSERT_TRUE(ran);
  std::string text;
  ASSERT_TRUE(base::ReadFileToString(log, &text));
  EXPECT_NE(std::string::npos,
            text.find("Installer backend ended without reporting success or an error, "
                      "exit code 3\n"))
      << text;
}

TEST_F(InstallerRunnerTest, BackendJoinsTheFrontEndsCrashReporter) {
  base::CommandLine front_end(base::FilePath(L"installer.exe"));
  front_end.AppendSwitchASCII(switches::kCrashReporterPid, "4321");
  ASSERT_TRUE(crash_reporting::StartCrashReporter(front_end, 1));
  WriteScript({"record-switch crash-reporter-pid", "exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  ASSERT_TRUE(RunToEnd(&runner));
  crash_reporting::ResetCrashClientForTesting();
  EXPECT_EQ("crash-reporter-pid=4321\n", Result());
}

TEST_F(InstallerRunnerTest, FolderLockedByAnotherInstallerGivesCategory10) {
  // The other installer spells the folder with other case and slashes.
  std::wstring other = settings_.install_path.value();
  for (wchar_t& c : other)
    c = c == L'\\' ? L'/' : static_cast<wchar_t>(towupper(c));
  InstallerMutex holder;
  ASSERT_TRUE(holder.HoldInBackground(InstallerMutex::GetName(base::FilePath(other + L"/"))));
  ASSERT_TRUE(holder.WaitUntilHeld(60000));
  WriteScript({"exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  EXPECT_TRUE(StartFails(&runner));
  EXPECT_EQ(std::vector<std::string>{"Error(10,,Could not acquire installer mutex)"},
            observer_.calls);
  EXPECT_FALSE(runner.backend_running());
}

// Another account of the machine has made the folder's mutex first: the
// folder is held elsewhere, whoever may take the mutex.
TEST_F(InstallerRunnerTest, MutexMadeByAnotherAccountGivesCategory10) {
  base::win::ScopedHandle foreign =
      test::CreateForeignMutex(InstallerMutex::GetName(settings_.install_path));
  ASSERT_TRUE(foreign.IsValid());
  ExpectStartFailsBeforeAnyBackend(true, "Error(10,,Could not acquire installer mutex)");
}

// Another account has made a run event of the folder first (and could set
// it): the run does not use it, and no back end starts.
TEST_F(InstallerRunnerTest, RunEventMadeByAnotherAccountFailsTheStart) {
  {
    base::win::ScopedHandle foreign =
        test::CreateForeignEvent(RunEventName(kernel_objects::kInstallationInterruptedEvent), false);
    ASSERT_TRUE(foreign.IsValid());
    ExpectStartFailsBeforeAnyBackend(
        true, "Error(0,,Could not create installation interruption event)");
  }
  base::win::ScopedHandle foreign =
      test::CreateForeignEvent(RunEventName(kernel_objects::kPackageReadyEvent), true);
  ASSERT_TRUE(foreign.IsValid());
  ExpectStartFailsBeforeAnyBackend(false, "Error(0,,Could not create package ready event)");
}

// What the runner makes lets in only the user, the Administrators (the
// elevated copy may run as another one) and the system.
TEST_F(InstallerRunnerTest, RunObjectsLetInOnlyTheUserAdministratorsAndSystem) {
  const std::wstring interrupted = RunEventName(kernel_objects::kInstallationInterruptedEvent);
  const std::wstring ready = RunEventName(kernel_objects::kPackageReadyEvent);
  WriteScript({"exit 0"});
  base::PathService::Override(base::FILE_EXE, package_.Append(L"installer.exe"));
  InstallerRunner runner(package_, base::FilePath());
  runner.AddObserver(&observer_);
  const bool started = runner.StartInstallation(&settings_);
  base::PathService::RemoveOverride(base::FILE_EXE);
  ASSERT_TRUE(started);
  base::win::ScopedHandle mutex(
      ::OpenMutexW(READ_CONTROL, FALSE, InstallerMutex::GetName(settings_.install_path).c_str()));
  base::win::ScopedHandle interrupted_event(::OpenEventW(READ_CONTROL, FALSE, interrupted.c_str()));
  base::win::ScopedHandle ready_event(::OpenEventW(READ_CONTROL, FALSE, ready.c_str()));
  ASSERT_TRUE(mutex.IsValid() && interrupted_event.IsValid() && ready_event.IsValid());
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(mutex.Get(), MUTEX_ALL_ACCESS));
  EXPECT_EQ(test::ExpectedAccessList(),
            test::AccessListOf(interrupted_event.Get(), EVENT_ALL_ACCESS));
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(ready_event.Get(), EVENT_ALL_ACCESS));
  runner.StopInstallation();
  EXPECT_TRUE(runner.WaitForBackendExit(60000));
}

// Another process holds the folder's mailslot (say the front end of an
// earlier run that has not ended): a back end could never report to this
// one, so none is started and the start fails as such.
TEST_F(InstallerRunnerTest, MailslotHeldElsewhereFailsTheStartBeforeAnyBackend) {
  std::unique_ptr<MailslotReader> other = MailslotReader::Create(
      kMailslotPathPrefix + mailslot_, MailslotReader::MessageCallback());
  ASSERT_TRUE(other);
  ExpectStartFailsBeforeAnyBackend(true, "Error(0,,Could not connect to mailslot)");
}

TEST_F(InstallerRunnerTest, AbandonedMutexIsTakenOver) {
  std::wstring name = InstallerMutex::GetName(settings_.install_path);
  std::thread owner([&name] {
    InstallerMutex mutex;
    ASSERT_EQ(InstallerMutex::ACQUIRED, mutex.TryAcquire(name));
    // The thread ends still owning it: the mutex is abandoned.
  });
  owner.join();
  WriteScript({"exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  ASSERT_TRUE(RunToEnd(&runner));
  EXPECT_EQ(std::vector<std::string>{"Terminated(1)"}, observer_.calls);
}

TEST_F(InstallerRunnerTest, StopSetsTheInterruptedEventForTheRunningBackend) {
  std::wstring event = GetKernelObjectName(settings_.install_path.value(),
                                           kernel_objects::kInstallationInterruptedEvent, true);
  WriteScript({"wait-event " + base::WideToUTF8(event), "exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  base::RunLoop run_loop;
  ASSERT_TRUE(Start(&runner, &run_loop));
  EXPECT_TRUE(runner.backend_running());
  // Kept open so the event outlives the runner's handle until the back end
  // has opened its own.
  base::win::ScopedHandle keep(::OpenEventW(SYNCHRONIZE, FALSE, event.c_str()));
  ASSERT_TRUE(keep.IsValid());
  runner.StopInstallation();
  run_loop.Run();
  runner.RemoveObserver(&observer_);
  EXPECT_EQ("event\n", Result());
}

// The back end ends without a word (killed while the package's installer,
// which it started, works on): that installer, holding the run's
// interrupted event, finds it set and rolls back instead of keeping a run
// the front end reports as failed.
TEST_F(InstallerRunnerTest, BackendEndInterruptsWhatOfTheRunOutlivesIt) {
  WriteScript({"exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  base::RunLoop run_loop;
  ASSERT_TRUE(Start(&runner, &run_loop));
  base::win::ScopedHandle outliving(::OpenEventW(
      SYNCHRONIZE, FALSE, RunEventName(kernel_objects::kInstallationInterruptedEvent).c_str()));
  ASSERT_TRUE(outliving.IsValid());
  run_loop.Run();
  runner.RemoveObserver(&observer_);
  EXPECT_EQ(std::vector<std::string>{"Terminated(1)"}, observer_.calls);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(outliving.Get(), 0));
}

TEST_F(InstallerRunnerTest, PackageAlreadyThereCreatesNoPackageReadyEvent) {
  std::wstring ready =
      GetKernelObjectName(settings_.install_path.value(), kernel_objects::kPackageReadyEvent, true);
  std::wstring interrupted = GetKernelObjectName(
      settings_.install_path.value(), kernel_objects::kInstallationInterruptedEvent, true);
  // Looked at by the back end while it runs, when the runner's events exist.
  WriteScript({"record-event " + base::WideToUTF8(ready),
               "record-event " + base::WideToUTF8(interrupted), "exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  ASSERT_TRUE(RunToEnd(&runner));
  EXPECT_EQ(base::WideToUTF8(ready) + " missing\n" + base::WideToUTF8(interrupted) + " not set\n",
            Result());
}

TEST_F(InstallerRunnerTest, StoppedRunKeepsTheFolderUntilItsBackendHasEnded) {
  std::wstring interrupted = GetKernelObjectName(
      settings_.install_path.value(), kernel_objects::kInstallationInterruptedEvent, true);
  // The back end rolls back (here: waits for the test's word) once told.
  const std::wstring rolled_back_name = base::test::UniqueName(L"Local\\rolled_back");
  base::win::ScopedHandle rolled_back(
      ::CreateEventW(nullptr, TRUE, FALSE, rolled_back_name.c_str()));
  ASSERT_TRUE(rolled_back.IsValid());
  WriteScript({"wait-event " + base::WideToUTF8(interrupted),
               "wait-event " + base::WideToUTF8(rolled_back_name), "exit 0"});
  const std::wstring name = InstallerMutex::GetName(settings_.install_path);
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  base::RunLoop run_loop;
  ASSERT_TRUE(Start(&runner, &run_loop));
  // A back end's holder keeps the mutex in existence, as the real one does.
  base::win::ScopedHandle back_end_handle(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
  ASSERT_TRUE(back_end_handle.IsValid());

  runner.StopInstallation();
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, TryMutexAsAnotherInstaller(name));
  ::SetEvent(rolled_back.Get());
  run_loop.Run();
  runner.RemoveObserver(&observer_);
  // The back end has ended: the folder is free while this front end lives on.
  EXPECT_EQ(InstallerMutex::ACQUIRED, TryMutexAsAnotherInstaller(name));
  EXPECT_EQ("event\nevent\n", Result());
}

// The installer that takes the folder the moment this run lets go of it
// makes the folder's mailslot at once.
TEST_F(InstallerRunnerTest, FolderLetGoOfHasItsMailslotFree) {
  WriteScript({"send " + Hex(InstallerMessage::Success().ToPickle()), "exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  base::RunLoop run_loop;
  ASSERT_TRUE(Start(&runner, &run_loop));
  // Waits for the folder from now on, as a back end of the next run does.
  InstallerMutex next;
  ASSERT_TRUE(next.HoldInBackground(InstallerMutex::GetName(settings_.install_path)));
  bool held = false;
  bool mailslot_made = false;
  std::thread next_run([&] {
    held = next.WaitUntilHeld(60000);
    base::win::ScopedHandle mailslot(::CreateMailslotW(
        (kMailslotPathPrefix + mailslot_).c_str(), 0, 0, nullptr));
    mailslot_made = mailslot.IsValid();
  });
  run_loop.Run();
  next_run.join();
  runner.RemoveObserver(&observer_);
  EXPECT_TRUE(held);
  EXPECT_TRUE(mailslot_made);
  // What the back end wrote before its end still arrives.
  WaitForCalls(2);
  EXPECT_EQ(1, std::count(observer_.calls.begin(), observer_.calls.end(), "Success"));
}

TEST_F(InstallerRunnerTest, EventsLeftSetByAnEarlierRunAreReset) {
  // A process of an earlier run of the folder still holds its events, set
  // (the package was ready, the run was interrupted).
  std::wstring interrupted = GetKernelObjectName(
      settings_.install_path.value(), kernel_objects::kInstallationInterruptedEvent, true);
  std::wstring ready =
      GetKernelObjectName(settings_.install_path.value(), kernel_objects::kPackageReadyEvent, true);
  KernelObjectSecurity security;
  base::win::ScopedHandle old_interrupted(
      ::CreateEventW(security.GetAttributes(false), TRUE, TRUE, interrupted.c_str()));
  base::win::ScopedHandle old_ready(
      ::CreateEventW(security.GetAttributes(false), TRUE, TRUE, ready.c_str()));
  ASSERT_TRUE(old_interrupted.IsValid() && old_ready.IsValid());
  WriteScript({"record-event " + base::WideToUTF8(interrupted),
               "record-event " + base::WideToUTF8(ready), "exit 0"});
  // The back end is the package's installer.exe, started with wait-for-package
  // (the package is not there yet).
  base::PathService::Override(base::FILE_EXE, package_.Append(L"installer.exe"));
  InstallerRunner runner(package_, base::FilePath());
  bool started = RunToEnd(&runner);
  base::PathService::RemoveOverride(base::FILE_EXE);
  ASSERT_TRUE(started);
  EXPECT_EQ(base::WideToUTF8(interrupted) + " not set\n" + base::WideToUTF8(ready) + " not set\n",
            Result());
}

TEST_F(InstallerRunnerTest, FolderIsFreeOnceTheBackendHasEnded) {
  // The front end lives on after its back end (it sends its statistics).
  WriteScript({"send " + Hex(InstallerMessage::Success().ToPickle()), "exit 0"});
  InstallerRunner runner(package_, base::FilePath());
  runner.NotifyPackageReady();
  ASSERT_TRUE(RunToEnd(&runner));
  // What the back end wrote before its end still arrives.
  WaitForCalls(2);
  // (The end of the process may overtake it.)
  EXPECT_EQ(1, std::count(observer_.calls.begin(), observer_.calls.end(), "Success"));
  // Another installer of the folder gets the mutex and the mailslot.
  EXPECT_EQ(InstallerMutex::ACQUIRED,
            TryMutexAsAnotherInstaller(InstallerMutex::GetName(settings_.install_path)));
  std::unique_ptr<MailslotReader> other_reader;
  for (int i = 0; i < 100 && !other_reader; ++i) {
    other_reader = MailslotReader::Create(kMailslotPathPrefix + mailslot_,
                                          MailslotReader::MessageCallback());
    if (!other_reader)
      ::Sleep(50);
  }
  EXPECT_TRUE(other_reader);
}

TEST_F(InstallerRunnerTest, InvalidSettingsAreRefused) {
  settings_.operation = INVALID_PATH;
  InstallerRunner runner(package_, base::FilePath());
  EXPECT_TRUE(StartFails(&runner));
  EXPECT_EQ(std::vector<std::string>{
                "Error(2,,Attempting to start installation with invalid settings)"},
            observer_.calls);
}

TEST(InstallerMutexTest, NameIgnoresCaseAndSeparators) {
  EXPECT_EQ(InstallerMutex::GetName(base::FilePath(L"C:\\Program Files\\Velto")),
            InstallerMutex::GetName(base::FilePath(L"c:/program files//VELTO/")));
  EXPECT_EQ(L"Global\\Velto/Installer/c:/x", InstallerMutex::GetName(base::FilePath(L"C:\\X\\")));
  EXPECT_NE(InstallerMutex::GetName(base::FilePath(L"C:\\X")),
            InstallerMutex::GetName(base::FilePath(L"C:\\Y")));
}

// The owner dies right after the holder was started: the holder, waiting
// from its start, gets the abandoned mutex before anyone else can.
TEST(InstallerMutexTest, HolderTakesOverFromAnOwnerThatDies) {
  std::wstring name = InstallerMutex::GetName(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"mutex")));
  base::win::ScopedHandle owner_ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle owner_ends(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread owner([&] {
    InstallerMutex mutex;
    EXPECT_EQ(InstallerMutex::ACQUIRED, mutex.TryAcquire(name));
    ::SetEvent(owner_ready.Get());
    ::WaitForSingleObject(owner_ends.Get(), INFINITE);
    // Ends owning it: the mutex is abandoned.
  });
  ::WaitForSingleObject(owner_ready.Get(), INFINITE);
  InstallerMutex holder;
  ASSERT_TRUE(holder.HoldInBackground(name));
  ::SetEvent(owner_ends.Get());
  owner.join();
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, TryMutexAsAnotherInstaller(name));
  EXPECT_TRUE(holder.WaitUntilHeld(60000));
}

// Holds the process's loader lock while it lives. Every new thread passes
// through that lock before its own code runs, so none starts meanwhile;
// threads already running go on.
class ScopedLoaderLock {
 public:
  ScopedLoaderLock() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    // Both looked up first: a look-up takes the lock too.
    lock_ = reinterpret_cast<LockFunction>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "LdrLockLoaderLock")));
    unlock_ = reinterpret_cast<UnlockFunction>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    ULONG disposition = 0;
    locked_ = lock_ && unlock_ && lock_(0, &disposition, &cookie_) >= 0;
  }
  ScopedLoaderLock(const ScopedLoaderLock&) = delete;
  ScopedLoaderLock& operator=(const ScopedLoaderLock&) = delete;
  ~ScopedLoaderLock() { Release(); }

  bool locked() const { return locked_; }
  void Release() {
    if (locked_)
      unlock_(0, cookie_);
    locked_ = false;
  }

 private:
  using LockFunction = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
  using UnlockFunction = LONG(NTAPI*)(ULONG, ULONG_PTR);
  LockFunction lock_ = nullptr;
  UnlockFunction unlock_ = nullptr;
  ULONG_PTR cookie_ = 0;
  bool locked_ = false;
};

// The holder's thread is kept from starting: its start must not return before
// that thread waits for the mutex, or the owner's release would leave the
// folder to whichever installer comes next. The test's other threads all run
// before the lock is taken.
TEST(InstallerMutexTest, HolderStartReturnsOnlyOnceItsThreadWaits) {
  const std::wstring name = InstallerMutex::GetName(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"mutex")));
  base::win::ScopedHandle owner_ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle owner_lets_go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle owner_let_go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle start(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle tried(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread owner([&] {
    InstallerMutex mutex;
    EXPECT_EQ(InstallerMutex::ACQUIRED, mutex.TryAcquire(name));
    ::SetEvent(owner_ready.Get());
    ::WaitForSingleObject(owner_lets_go.Get(), INFINITE);
    mutex.Release();
    ::SetEvent(owner_let_go.Get());
  });
  ::WaitForSingleObject(owner_ready.Get(), INFINITE);
  InstallerMutex holder;
  bool holding = false;
  InstallerMutex::AcquireResult other = InstallerMutex::NOT_CREATED;
  // Starts the holder, and once that returns lets the owner go and tries the
  // mutex as the next installer would.
  std::thread starter([&] {
    ::WaitForSingleObject(start.Get(), INFINITE);
    holding = holder.HoldInBackground(name);
    ::SetEvent(owner_lets_go.Get());
    ::WaitForSingleObject(owner_let_go.Get(), INFINITE);
    InstallerMutex next;
    other = next.TryAcquire(name);
    next.Release();
    ::SetEvent(tried.Get());
  });
  ScopedLoaderLock lock;
  ASSERT_TRUE(lock.locked());
  ::SetEvent(start.Get());
  // A start that does not wait for its thread comes through at once, and the
  // next installer has tried long before this ends; one that waits cannot
  // return while the lock is held.
  const DWORD before_the_holder_ran = ::WaitForSingleObject(tried.Get(), 3000);
  lock.Release();
  ::WaitForSingleObject(tried.Get(), INFINITE);
  starter.join();
  owner.join();
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), before_the_holder_ran);
  EXPECT_TRUE(holding);
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, other);
  EXPECT_TRUE(holder.WaitUntilHeld(60000));
}

TEST(InstallerMutexTest, MutexMadeByAnotherAccountIsHeldElsewhere) {
  const std::wstring name = InstallerMutex::GetName(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"mutex")));
  base::win::ScopedHandle foreign = test::CreateForeignMutex(name);
  ASSERT_TRUE(foreign.IsValid());
  InstallerMutex mutex;
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, mutex.TryAcquire(name));
  EXPECT_FALSE(mutex.owned());
  InstallerMutex holder;
  EXPECT_FALSE(holder.HoldInBackground(name));
  // The other account's mutex is untouched: free for whoever waits on it.
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(foreign.Get(), 0));
  ::ReleaseMutex(foreign.Get());
}

TEST(InstallerMutexTest, NewMutexLetsInOnlyTheUserAdministratorsAndSystem) {
  const std::wstring name = InstallerMutex::GetName(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"mutex")));
  {
    InstallerMutex mutex;
    ASSERT_EQ(InstallerMutex::ACQUIRED, mutex.TryAcquire(name));
    base::win::ScopedHandle read(::OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
    ASSERT_TRUE(read.IsValid());
    EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(read.Get(), MUTEX_ALL_ACCESS));
    mutex.Release();
  }
  // The back end makes it when its front end's is gone.
  InstallerMutex holder;
  ASSERT_TRUE(holder.HoldInBackground(name));
  ASSERT_TRUE(holder.WaitUntilHeld(60000));
  base::win::ScopedHandle read(::OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
  ASSERT_TRUE(read.IsValid());
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(read.Get(), MUTEX_ALL_ACCESS));
}

// Another process of this user made the mutex first, open to everyone, and
// let it go: the installer that takes it gives it its own access list.
TEST(InstallerMutexTest, MutexMadeFirstWithoutAnAccessListGetsTheRunsListWhenTaken) {
  const std::wstring name = InstallerMutex::GetName(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"mutex")));
  test::NoAccessListSecurity open_to_everyone;
  base::win::ScopedHandle first(::CreateMutexW(open_to_everyone.get(), FALSE, name.c_str()));
  ASSERT_TRUE(first.IsValid());
  ASSERT_EQ(std::vector<std::wstring>{L"none"}, test::AccessListOf(first.Get(), MUTEX_ALL_ACCESS));
  InstallerMutex mutex;
  ASSERT_EQ(InstallerMutex::ACQUIRED, mutex.TryAcquire(name));
  EXPECT_EQ(test::ExpectedAccessList(), test::AccessListOf(first.Get(), MUTEX_ALL_ACCESS));
  mutex.Release();
}

TEST(InstallerMutexTest, BackgroundHolderTakesOverWhenTheOwnerLetsGo) {
  std::wstring name = InstallerMutex::GetName(
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"mutex")));
  InstallerMutex owner;
  ASSERT_EQ(InstallerMutex::ACQUIRED, owner.TryAcquire(name));
  InstallerMutex holder;
  ASSERT_TRUE(holder.HoldInBackground(name));
  EXPECT_FALSE(holder.WaitUntilHeld(0));
  owner.Release();
  // At once: the holder has waited from its start, so nobody else gets it in
  // between.
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, TryMutexAsAnotherInstaller(name));
  ASSERT_TRUE(holder.WaitUntilHeld(60000));
  // Nor while the holder lives.
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, TryMutexAsAnotherInstaller(name));
}

}  // namespace
}  // namespace installer
