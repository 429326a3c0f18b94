#include "desktop/windows/installer/installer_runner_backend.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/message_loop/message_loop.h"
#include "base/process/launch.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/installer_kernel_objects.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/ipc/installer_message.h"
#include "desktop/windows/installer/ipc/ipc_receiver.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_privileges.h"
#include "desktop/windows/installer/service/test/fake_user_token.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/settings_impl.h"
#include "desktop/windows/installer/steps/installer_step.h"
#include "desktop/windows/installer/test/installer_test_support.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class NullOsOperations : public OsOperations {
 public:
  void SetUpDefaultBrowser(const Settings& settings, const InstallationStatus* status) override {}
};

// A step that runs |action| and answers with |code|.
class ActionStep : public InstallerStep {
 public:
  ActionStep(InstallerStepHost* host, uint32_t code, base::RepeatingClosure action)
      : InstallerStep(host), code_(code), action_(std::move(action)) {}
  void Run(StepResult* result, int attempt) override {
    if (action_)
      action_.Run();
    *result = StepResult(code_, 8, L"detail", "scripted");
  }

 private:
  uint32_t code_;
  base::RepeatingClosure action_;
};

// Records the messages that reach the front end's end of the mailslot.
class MessageRecorder : public IpcReceiver::Delegate {
 public:
  void HandleMessage(const base::Pickle& pickle) override {
    InstallerMessage message;
    if (InstallerMessage::FromPickle(pickle, &message))
      message.Notify(&observer);
    if (quit && (message.type() == IPC_MESSAGE_SUCCESS || message.type() == IPC_MESSAGE_ERROR))
      quit.Run();
  }
  RecordingInstallerObserver observer;
  base::RepeatingClosure quit;
};

class InstallerRunnerBackendTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"backend"));
    package_ = root_.Append(L"package");
    install_ = root_.Append(L"Velto");
    ASSERT_TRUE(base::CreateDirectory(package_));
    ASSERT_TRUE(base::WriteFile(package_.Append(L"files_list"), "a.txt\n"));
    base::PathService::Override(base::DIR_EXE, package_);
    environment_.privileges = &privileges_;
    environment_.command_line = &command_line_;
    environment_.step_retry_delay = base::TimeDelta();
    settings_.Analyse(install_, false);
    interrupted_ = CreateInterruptedEvent(install_);
  }
  void TearDown() override { base::PathService::RemoveOverride(base::DIR_EXE); }

  // A step list of one step per entry of |codes|; |action| runs in the first.
  void SetSteps(std::vector<uint32_t> codes, base::RepeatingClosure action) {
    environment_.step_list_builder = base::BindRepeating(
        [](std::vector<uint32_t> codes, base::RepeatingClosure action, InstallationOperation,
           const InstallerStepListInput& input) {
          InstallerStepList steps;
          for (size_t i = 0; i < codes.size(); ++i) {
            steps.push_back(std::make_unique<ActionStep>(
                input.host, codes[i], i == 0 ? action : base::RepeatingClosure()));
          }
          return steps;
        },
        std::move(codes), std::move(action));
  }

  // A back end with the real installer of |environment_| as it stands now.
  std::unique_ptr<InstallerRunnerBackend> NewBackend() {
    return std::make_unique<InstallerRunnerBackend>(
        std::make_unique<Installer>(std::make_unique<NullOsOperations>(), environment_),
        &command_line_);
  }

  bool RunBackend() {
    auto backend = NewBackend();
    bool result = backend->Run(&settings_);
    backend.reset();
    return result;
  }

  // Waits (bounded) for the final message of the run.
  void WaitForFinalMessage() {
    base::RunLoop run_loop;
    recorder_.quit = run_loop.QuitClosure();
    base::MessageLoop::current()->task_runner()->PostDelayedTask(
        FROM_HERE, run_loop.QuitClosure(), base::TimeDelta::FromSeconds(60));
    run_loop.Run();
    recorder_.quit.Reset();
  }

  base::ShadowingAtExitManager at_exit_;
  base::MessageLoop loop_;
  base::FilePath root_;
  base::FilePath package_;
  base::FilePath install_;
  FakePrivileges privileges_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  InstallerEnvironment environment_;
  InstallerTestSettings settings_;
  base::win::ScopedHandle interrupted_;
  MessageRecorder recorder_;
};

TEST_F(InstallerRunnerBackendTest, WithoutAnInitialProcessItEndsAtOnce) {
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_FALSE(RunBackend());
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerRunnerBackendTest, UnreadableInitialProcessHandleEndsAtOnce) {
  command_line_.AppendSwitchASCII(switches::kInitialProcHandle, "123");
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_FALSE(RunBackend());
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerRunnerBackendTest, UnparsableInitialPidEndsAtOnce) {
  command_line_.AppendSwitchASCII(switches::kInitialPid, "12x");
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_FALSE(RunBackend());
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerRunnerBackendTest, InitialPidOfNoProcessEndsAtOnce) {
  command_line_.AppendSwitchASCII(switches::kInitialPid, "4294967280");
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_FALSE(RunBackend());
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerRunnerBackendTest, FourByteInitialProcessHandleIsWatched) {
  HANDLE own = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(),
                                ::GetCurrentProcess(), &own, SYNCHRONIZE, FALSE, 0));
  // A 32-bit front end writes its handle value in four bytes.
  int32_t value = static_cast<int32_t>(reinterpret_cast<intptr_t>(own));
  command_line_.AppendSwitchASCII(switches::kInitialProcHandle,
                                  base::HexEncode(&value, sizeof(value)));
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_TRUE(RunBackend());
}

TEST_F(InstallerRunnerBackendTest, ProtocolHandlerRegistrationWatchesNoProcess) {
  command_line_.AppendSwitch(switches::kRegisterAsProtocolHandler);
  settings_.operation = REGISTERING_PROTOCOL_HANDLER;
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_TRUE(RunBackend());
}

TEST_F(InstallerRunnerBackendTest, ForwardsEveryEventAndSucceeds) {
  command_line_.AppendSwitchASCII(switches::kInitialPid,
                                  base::NumberToString(::GetCurrentProcessId()));
  SetSteps({3, 0}, base::RepeatingClosure());
  IpcReceiver receiver(&recorder_);
  ASSERT_TRUE(receiver.Connect(kInstallerMailslotName + install_.value()));
  EXPECT_TRUE(RunBackend());
  WaitForFinalMessage();
  // Two steps + one files-list entry - 1.
  std::vector<std::string> expected = {"ImportantEvent", "TotalSteps(2)", "Step", "Step",
                                       "Success"};
  EXPECT_EQ(expected, recorder_.observer.calls);
}

TEST_F(InstallerRunnerBackendTest, AFailingRunSendsOneErrorAndNoSuccess) {
  command_line_.AppendSwitchASCII(switches::kInitialPid,
                                  base::NumberToString(::GetCurrentProcessId()));
  SetSteps({0, 1}, base::RepeatingClosure());
  IpcReceiver receiver(&recorder_);
  ASSERT_TRUE(receiver.Connect(kInstallerMailslotName + install_.value()));
  EXPECT_FALSE(RunBackend());
  WaitForFinalMessage();
  std::vector<std::string> expected = {"ImportantEvent", "TotalSteps(2)", "Step", "Step",
                                       "Error(8,detail,scripted)"};
  EXPECT_EQ(expected, recorder_.observer.calls);
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerRunnerBackendTest, FrontEndDyingMidRunRollsBack) {
  // The front end: a process that ends when the first step tells it to.
  std::wstring end_name = base::test::UniqueName(L"Local\\frontend_end");
  base::win::ScopedHandle end_event(::CreateEventW(nullptr, TRUE, FALSE, end_name.c_str()));
  base::FilePath front_end_folder = root_.Append(L"frontend");
  ASSERT_TRUE(base::CreateDirectory(front_end_folder));
  base::FilePath exe_folder;
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_folder));
  base::PathService::RemoveOverride(base::DIR_EXE);
  ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_folder));
  base::PathService::Override(base::DIR_EXE, package_);
  ASSERT_TRUE(base::CopyFile(
      exe_folder.DirName().Append(L"fixtures\\backend\\fixture_fake_backend.exe"),
      front_end_folder.Append(L"installer.exe")));
  ASSERT_TRUE(base::WriteFile(front_end_folder.Append(L"script.txt"),
                              "wait-event " + base::WideToUTF8(end_name) + "\nexit 0\n"));
  base::Process front_end = base::LaunchProcess(
      front_end_folder.Append(L"installer.exe").value(), base::LaunchOptions());
  ASSERT_TRUE(front_end.IsValid());
  command_line_.AppendSwitchASCII(switches::kInitialPid, base::NumberToString(front_end.Pid()));
  HANDLE end = end_event.Get();
  // The first step ends the front end and asks to be run again much later:
  // the back end sees its front end go before that.
  environment_.step_retry_delay = base::TimeDelta::FromSeconds(100);
  SetSteps({2, 0}, base::BindRepeating([](HANDLE event) { ::SetEvent(event); }, end));
  IpcReceiver receiver(&recorder_);
  ASSERT_TRUE(receiver.Connect(kInstallerMailslotName + install_.value()));
  EXPECT_FALSE(RunBackend());
  EXPECT_TRUE(front_end.WaitForExitWithTimeout(60000, nullptr));
  // The install folder made by the run is gone with its rollback.
  EXPECT_FALSE(base::PathExists(install_));
  for (const std::string& call : recorder_.observer.calls)
    EXPECT_TRUE(call != "Success" && call.rfind("Error", 0) != 0) << call;
}

// The settings as a back end has them: the real ones, whose analysis of the
// command line's folder is still on its way when the back end starts.
class PendingSettings {
 public:
  explicit PendingSettings(const base::FilePath& folder)
      : command_line_(base::CommandLine::NO_PROGRAM), version_(base::win::VERSION_WIN10) {
    environment_.command_line = &command_line_;
    environment_.user_token = &token_;
    environment_.windows_version = &version_;
    settings_ = std::make_unique<SettingsImpl>(false, false, false, folder.value(), false, 1,
                                               environment_);
  }
  SettingsImpl* get() { return settings_.get(); }

 private:
  base::CommandLine command_line_;
  FakeUserToken token_;
  FakeWindowsVersionProvider version_;
  SettingsImpl::Environment environment_;
  std::unique_ptr<SettingsImpl> settings_;
};

TEST_F(InstallerRunnerBackendTest, HoldsTheMutexOfTheAnalysedFolderUntilDestroyed) {
  PendingSettings settings(install_);
  ASSERT_TRUE(settings.get()->IsFetchingStatus());
  command_line_.AppendSwitchASCII(switches::kInitialPid,
                                  base::NumberToString(::GetCurrentProcessId()));
  SetSteps({0}, base::RepeatingClosure());
  auto backend = NewBackend();
  EXPECT_TRUE(backend->Run(settings.get()));
  const std::wstring name = InstallerMutex::GetName(install_);
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, TryMutexAsAnotherInstaller(name));
  backend.reset();
  EXPECT_EQ(InstallerMutex::ACQUIRED, TryMutexAsAnotherInstaller(name));
}

// Runs the loop until |settings| have analysed their folder.
void WaitForAnalysis(SettingsImpl* settings) {
  class Observer : public SettingsObserver {
   public:
    explicit Observer(base::RepeatingClosure quit) : quit_(std::move(quit)) {}
    void OnSettingChanged() override {}
    void OnLanguageChanged() override {}
    void OnPathChanged() override { quit_.Run(); }

   private:
    base::RepeatingClosure quit_;
  };
  if (!settings->IsFetchingStatus())
    return;
  base::RunLoop run_loop;
  Observer observer(run_loop.QuitClosure());
  settings->AddObserver(&observer);
  run_loop.Run();
  settings->RemoveObserver(&observer);
}

// The handle of a front end that has ended, as one the back end inherits.
void GiveEndedFrontEnd(base::CommandLine* command_line) {
  base::FilePath system;
  ASSERT_TRUE(base::PathService::Get(base::DIR_SYSTEM, &system));
  base::Process front_end = base::LaunchProcess(
      base::CommandLine(system.Append(L"hostname.exe")).GetCommandLineString(),
      base::LaunchOptions());
  ASSERT_TRUE(front_end.IsValid());
  ASSERT_TRUE(front_end.WaitForExitWithTimeout(60000, nullptr));
  // The back end owns the handle it is given, as one inherited from a front end.
  HANDLE given = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), front_end.Handle(), ::GetCurrentProcess(),
                                &given, SYNCHRONIZE, FALSE, 0));
  uint64_t value = reinterpret_cast<uintptr_t>(given);
  command_line->AppendSwitchASCII(switches::kInitialProcHandle,
                                  base::HexEncode(&value, sizeof(value)));
}

TEST_F(InstallerRunnerBackendTest, FrontEndGoneBeforeTheFolderIsKnownStartsNothing) {
  GiveEndedFrontEnd(&command_line_);
  // The analysis is in before the run: nothing but the check keeps the
  // installer from starting on it (its watcher would end the run only later).
  PendingSettings settings(install_);
  WaitForAnalysis(settings.get());
  ASSERT_FALSE(settings.get()->IsFetchingStatus());
  bool ran = false;
  SetSteps({0}, base::BindRepeating([](bool* ran) { *ran = true; }, &ran));
  auto backend = NewBackend();
  EXPECT_FALSE(backend->Run(settings.get()));
  backend.reset();
  // No installer took the settings for a run.
  EXPECT_TRUE(settings.get()->IsEditable());
  EXPECT_FALSE(ran);
  EXPECT_FALSE(base::PathExists(install_));
}

TEST_F(InstallerRunnerBackendTest, FrontEndGoneBeforeTheFolderIsHeldLeavesItAlone) {
  GiveEndedFrontEnd(&command_line_);
  EXPECT_FALSE(NewBackend()->HoldFolder(install_));
}

TEST_F(InstallerRunnerBackendTest, HeldFolderIsTakenBeforeItsAnalysis) {
  command_line_.AppendSwitchASCII(switches::kInitialPid,
                                  base::NumberToString(::GetCurrentProcessId()));
  SetSteps({0}, base::RepeatingClosure());
  auto backend = NewBackend();
  ASSERT_TRUE(backend->HoldFolder(install_));
  // Free until now: the holder has it at once.
  const std::wstring name = InstallerMutex::GetName(install_);
  EXPECT_EQ(InstallerMutex::HELD_ELSEWHERE, TryMutexAsAnotherInstaller(name));
  PendingSettings settings(install_);
  EXPECT_TRUE(backend->Run(settings.get()));
  backend.reset();
  EXPECT_EQ(InstallerMutex::ACQUIRED, TryMutexAsAnotherInstaller(name));
}

TEST_F(InstallerRunnerBackendTest, ReportsItsSuccessOnlyToTheInstallerThatStartedIt) {
  command_line_.AppendSwitchASCII(switches::kInitialPid,
                                  base::NumberToString(::GetCurrentProcessId()));
  const std::wstring name = base::test::UniqueName(L"Local\\succeeded");
  base::win::ScopedHandle succeeded(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  command_line_.AppendSwitchNative(switches::kSuccessEvent, name);
  SetSteps({1}, base::RepeatingClosure());
  EXPECT_FALSE(RunBackend());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(succeeded.Get(), 0));
  SetSteps({0}, base::RepeatingClosure());
  EXPECT_TRUE(RunBackend());
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(succeeded.Get(), 0));
}

}  // namespace
}  // namespace installer
