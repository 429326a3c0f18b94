#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/os_operations.h"
#include "desktop/windows/installer/service/folder_installation.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/test/fake_association_shell.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/steps/register_protocol_handler_step.h"
#include "desktop/windows/installer/steps/setup_protocol_handlers_step.h"
#include "desktop/windows/installer/steps/test/step_test.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

class RecordingOsOperations : public OsOperations {
 public:
  void SetUpDefaultBrowser(const Settings& settings, const InstallationStatus* status) override {
    ++calls;
    last_status = status;
  }
  int calls = 0;
  const InstallationStatus* last_status = nullptr;
};

class SetupProtocolHandlersStepTest : public StepTest {};

TEST_F(SetupProtocolHandlersStepTest, HandsTheSetUpToTheOperatingSystemOperations) {
  RecordingOsOperations os;
  host_.os_operations = &os;
  SetupProtocolHandlersStep step(&host_);
  EXPECT_EQ(0u, RunOnce(&step).code);
  EXPECT_EQ(1, os.calls);
  EXPECT_EQ(&host_.status, os.last_status);
}

TEST_F(SetupProtocolHandlersStepTest, SecondInstallerOnWindows10WithoutTheRegistrationLeavesIt) {
  RecordingOsOperations os;
  host_.os_operations = &os;
  FakeWindowsVersionProvider windows10(base::win::VERSION_WIN10);
  FakeAssociationShell shell;
  host_.environment.windows_version = &windows10;
  host_.environment.association_shell = &shell;
  host_.command_line.AppendSwitchASCII(switches::kParentPid, "12");
  SetupProtocolHandlersStep step(&host_);
  EXPECT_EQ(0u, RunOnce(&step).code);
  EXPECT_EQ(0, os.calls);
  shell.has_association_registration = true;
  EXPECT_EQ(0u, RunOnce(&step).code);
  EXPECT_EQ(1, os.calls);
}

class RegisterProtocolHandlerStepTest : public StepTest {
 protected:
  void SetUp() override {
    host_.install_path = base::FilePath(L"C:\\Velto");
    installation_ = std::make_unique<FolderInstallation>(
        host_.install_path, nullptr, InstallationImpl::Platform{&version_, &shell_});
    host_.command_line.AppendSwitchASCII(
        switches::kRegisterAsProtocolHandler, "irc");
  }

  std::wstring ClientKey() {
    return L"SOFTWARE\\Clients\\StartMenuInternet\\" +
           base::UTF8ToWide(GetProductName() + GetStreamName()) +
           L"\\Capabilities\\URLAssociations";
  }

  void RunStep() {
    RegisterProtocolHandlerStep step(&host_, installation_.get());
    StepResult result;
    step.Run(&result, 0);
    EXPECT_EQ(0u, result.code);
  }

  ScopedUserClassesRoot classes_;
  FakeWindowsVersionProvider version_{base::win::VERSION_WIN7};
  FakeAssociationShell shell_;
  std::unique_ptr<FolderInstallation> installation_;
};

TEST_F(RegisterProtocolHandlerStepTest, FolderWithoutAnInstallationChangesNothing) {
  RunStep();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClientKey()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\irc"));
}

TEST_F(RegisterProtocolHandlerStepTest, RegistersTheProtocolWhereTheInstallationRecordedItsClient) {
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  InstallationStatus::RegistryKey recorded;
  recorded.clean = 1;
  // As the registration table spells it.
  recorded.path = "Software\\Clients\\StartMenuInternet\\" + GetProductName() + GetStreamName() +
                  "\\Capabilities\\UrlAssociations";
  details_.record->hklm_keys.push_back(recorded);
  RunStep();
  EXPECT_EQ(base::UTF8ToWide(GetProductName() + GetStreamName()),
            ReadString(HKEY_LOCAL_MACHINE, ClientKey(), L"irc"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\irc"));
}

TEST_F(RegisterProtocolHandlerStepTest, OnlyAUrlSchemeIsRegistered) {
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  InstallationStatus::RegistryKey recorded;
  recorded.path = base::WideToUTF8(ClientKey());
  details_.record->hklm_keys.push_back(recorded);
  for (const char* value : {".exe", "exefile\\shell\\open", "..\\exefile", "1irc", "ir c",
                            "irc:", "i\xc3\xa9rc"}) {
    SCOPED_TRACE(value);
    host_.command_line = base::CommandLine(base::CommandLine::NO_PROGRAM);
    host_.command_line.AppendSwitchNative(switches::kRegisterAsProtocolHandler,
                                          base::UTF8ToWide(value));
    RunStep();
    EXPECT_EQ(L"<none>",
              ReadString(HKEY_LOCAL_MACHINE, ClientKey(), base::UTF8ToWide(value).c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\" + base::UTF8ToWide(value)));
  }
  host_.command_line = base::CommandLine(base::CommandLine::NO_PROGRAM);
  host_.command_line.AppendSwitchASCII(switches::kRegisterAsProtocolHandler, "web+Irc-2.x");
  RunStep();
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\web+Irc-2.x"));
}

TEST_F(RegisterProtocolHandlerStepTest, InstallationWithoutTheClientKeyIsLeftAlone) {
  details_.record = std::make_unique<InstallationStatus>(PRIMARY);
  RunStep();
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClientKey()));
}

}  // namespace
}  // namespace installer
