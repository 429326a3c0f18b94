#include "desktop/windows/installer/silent_installer_controller.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/at_exit.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/strings/string_split.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/installation_folder_details_impl.h"
#include "desktop/windows/installer/service/test/fake_user_token.h"
#include "desktop/windows/installer/test/fake_settings.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Settings whose folder analysis the test delivers: SetInstallFolderString
// starts one only when |accept_new_folder| is set.
class AnalysedSettings : public FakeSettings {
 public:
  const InstallationFolderDetails* GetFolderDetails() const override { return details_.get(); }
  bool IsFetchingStatus() const override { return fetching; }
  void AddObserver(SettingsObserver* added) override { observer = added; }
  void RemoveObserver(SettingsObserver* removed) override { observer = nullptr; }
  bool SetMode(InstallationMode mode) override {
    modes.push_back(mode);
    Set(ALL_USERS_FLAG, mode == ALL_USERS);
    return true;
  }
  void GetDefaultInstallFolder(base::FilePath* path, int kind) const override {
    kinds.push_back(kind);
    *path = default_folder;
  }
  void SetInstallFolderString(const std::wstring& folder) override {
    folders.push_back(folder);
    if (accept_new_folder && base::FilePath(folder) != install_path)
      fetching = true;
  }

  // Delivers the analysis of |folder|.
  void Deliver(const base::FilePath& folder, InstallationOperation new_operation) {
    install_path = folder;
    details_ = std::make_unique<InstallationFolderDetailsImpl>(false);
    details_->Initialize(folder, 0);
    operation = new_operation;
    fetching = false;
    if (observer)
      observer->OnPathChanged();
  }

  bool fetching = true;
  bool accept_new_folder = true;
  base::FilePath default_folder;
  SettingsObserver* observer = nullptr;
  std::vector<InstallationMode> modes;
  mutable std::vector<int> kinds;
  std::vector<std::wstring> folders;

 private:
  std::unique_ptr<InstallationFolderDetailsImpl> details_;
};

class SilentInstallerControllerTest : public testing::Test {
 protected:
  void SetUp() override {
    base::CommandLine::Init(0, nullptr);
    controller_ = std::make_unique<SilentInstallerController>(&command_line_, &token_);
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"silent"));
    ASSERT_TRUE(base::CreateDirectory(root_));
    settings_.Set(SILENT, true);
    settings_.Set(ALL_USERS_FLAG, true);
    settings_.default_folder = root_.Append(L"User Velto");
  }

  // Runs the controller; |deliver| runs once the loop runs.
  bool Run(base::OnceClosure deliver) {
    base::MessageLoop::current()->task_runner()->PostTask(FROM_HERE, std::move(deliver));
    return controller_->Run(&settings_, nullptr, root_);
  }

  std::string Stat(const std::string& key) {
    std::string json;
    EXPECT_TRUE(controller_->stats()->GetJson(&json));
    std::optional<base::Value::Dict> stats = base::JSONReader::ReadDict(json);
    const std::string* value = stats ? stats->FindString(key) : nullptr;
    return value ? *value : std::string();
  }

  // The integer statistic |key|, -1 when there is none.
  int IntStat(const std::string& key) {
    std::string json;
    EXPECT_TRUE(controller_->stats()->GetJson(&json));
    std::optional<base::Value::Dict> stats = base::JSONReader::ReadDict(json);
    return stats ? stats->FindInt(key).value_or(-1) : -1;
  }

  base::ShadowingAtExitManager at_exit_;
  base::MessageLoop loop_;
  base::FilePath root_;
  AnalysedSettings settings_;
  // A standard user: an all-users installation needs elevation.
  FakeUserToken token_;
  base::CommandLine command_line_{base::CommandLine::NO_PROGRAM};
  std::unique_ptr<SilentInstallerController> controller_;
};

TEST_F(SilentInstallerControllerTest, AllUsersWithoutRightsFallsBackToTheUsersDefaultFolder) {
  base::FilePath machine_folder = root_.Append(L"Program Files Velto");
  EXPECT_FALSE(Run(base::BindOnce(
      [](AnalysedSettings* settings, base::FilePath machine, base::FilePath user) {
        settings->Deliver(machine, INSTALLING);
        // The current user's folder: an invalid operation ends the run
        // before any back end is started.
        settings->Deliver(user, INVALID_PATH);
      },
      &settings_, machine_folder, settings_.default_folder)));
  EXPECT_EQ(std::vector<InstallationMode>{CURRENT_USER}, settings_.modes);
  EXPECT_EQ(std::vector<int>{DEFAULT_FOLDER_REGISTRY | DEFAULT_FOLDER_STANDARD},
            settings_.kinds);
  EXPECT_EQ(std::vector<std::wstring>{settings_.default_folder.value()}, settings_.folders);
  EXPECT_EQ("Attempting to start installation with invalid settings", Stat("failure_reason"));
}

TEST_F(SilentInstallerControllerTest, ModeChangeKeepingTheFolderChecksItAgainAndStarts) {
  // The all-users folder is already the user's default one: no new analysis
  // comes, the folder's stands for the current user.
  settings_.default_folder = root_.Append(L"Velto");
  EXPECT_FALSE(Run(base::BindOnce(
      [](AnalysedSettings* settings, base::FilePath folder) {
        // An invalid operation ends the run at the start of the installation
        // instead of starting a back end.
        settings->Deliver(folder, INVALID_PATH);
      },
      &settings_, settings_.default_folder)));
  EXPECT_EQ(std::vector<InstallationMode>{CURRENT_USER}, settings_.modes);
  EXPECT_EQ("Attempting to start installation with invalid settings", Stat("failure_reason"));
}

TEST_F(SilentInstallerControllerTest, RefusedNewFolderFailsInsteadOfWaiting) {
  settings_.accept_new_folder = false;
  EXPECT_FALSE(Run(base::BindOnce(
      [](AnalysedSettings* settings, base::FilePath folder) {
        settings->Deliver(folder, INSTALLING);
      },
      &settings_, root_.Append(L"Program Files Velto"))));
  EXPECT_EQ("Switching to current user mode did not give a new install folder",
            Stat("failure_reason"));
}

TEST_F(SilentInstallerControllerTest, AutoupdateRefusalRecordsTheFolderContents) {
  settings_.install_path = root_.Append(L"Velto");
  ASSERT_TRUE(base::CreateDirectory(settings_.install_path.Append(L"sub")));
  ASSERT_TRUE(base::WriteFile(settings_.install_path.Append(L"sub\\inner.txt"), "x"));
  ASSERT_TRUE(base::WriteFile(settings_.install_path.Append(L"top.txt"), "x"));
  EXPECT_FALSE(Run(base::BindOnce(
      [](SilentInstallerController* controller) {
        controller->OnError(3, std::wstring(), "Settings operation invalid for autoupdate");
      },
      controller_.get())));
  EXPECT_EQ("Settings operation invalid for autoupdate", Stat("failure_reason"));
  EXPECT_EQ(0, IntStat("installation_success"));
  // Every entry once, relative to the install folder, each ending a line.
  std::string contents = Stat("installation_folder_contents");
  std::vector<std::string> lines = base::SplitString(contents, "\n", base::KEEP_WHITESPACE,
                                                     base::SPLIT_WANT_NONEMPTY);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ((std::vector<std::string>{"sub", "sub\\inner.txt", "top.txt"}), lines);
  EXPECT_EQ('\n', contents.back());
}

TEST_F(SilentInstallerControllerTest, OtherErrorsRecordNoFolderContents) {
  settings_.install_path = root_;
  ASSERT_TRUE(base::WriteFile(root_.Append(L"top.txt"), "x"));
  EXPECT_FALSE(Run(base::BindOnce(
      [](SilentInstallerController* controller) {
        controller->OnError(0, std::wstring(), "Could not read files list");
      },
      controller_.get())));
  EXPECT_EQ("Could not read files list", Stat("failure_reason"));
  EXPECT_EQ("", Stat("installation_folder_contents"));
}

// The log of the run, from the moment this is made until Text().
class RunLog {
 public:
  explicit RunLog(const base::FilePath& folder) : path_(folder.Append(L"run.log")) {
    logging::LoggingSettings settings;
    settings.log_file_path = path_;
    EXPECT_TRUE(logging::InitLogging(settings));
  }
  ~RunLog() { logging::CloseLogFile(); }
  std::string Text() {
    logging::CloseLogFile();
    std::string text;
    EXPECT_TRUE(base::ReadFileToString(path_, &text));
    return text;
  }

 private:
  const base::FilePath path_;
};

constexpr char kEndedWithoutReport[] = "Installer backend ended without reporting";

TEST_F(SilentInstallerControllerTest, BackendEndingWithoutAWordFailsTheRun) {
  RunLog log(root_);
  EXPECT_FALSE(Run(base::BindOnce(
      [](SilentInstallerController* controller) { controller->OnInstallerTerminated(false); },
      controller_.get())));
  EXPECT_EQ(0, IntStat("installation_success"));
  // Said in the log as an error, as the other failures are.
  const std::string text = log.Text();
  const size_t line = text.find(kEndedWithoutReport);
  ASSERT_NE(std::string::npos, line) << text;
  const size_t start = text.rfind('\n', line) + 1;
  EXPECT_NE(std::string::npos, text.substr(start, line - start).find(":ERROR:")) << text;
}

TEST_F(SilentInstallerControllerTest, BackendThatReportedAnErrorIsNotSaidToBeSilent) {
  RunLog log(root_);
  EXPECT_FALSE(Run(base::BindOnce(
      [](InstallerObserver* observer) {
        observer->OnError(0, std::wstring(), "Could not copy");
        observer->OnInstallerTerminated(false);
      },
      controller_.get())));
  EXPECT_EQ(std::string::npos, log.Text().find(kEndedWithoutReport));
}

TEST_F(SilentInstallerControllerTest, FetcherUiRequestsAreRefused) {
  DWORD reply = 7;
  base::RunLoop run_loop;
  controller_->RunUICallbackAndPostReply(
      base::BindOnce([](HWND) -> DWORD { return 1; }),
      base::MessageLoop::current()->task_runner(),
      base::BindOnce(
          [](DWORD* out, base::RepeatingClosure quit, DWORD result) {
            *out = result;
            quit.Run();
          },
          &reply, run_loop.QuitClosure()));
  run_loop.Run();
  EXPECT_EQ(0u, reply);
}

TEST_F(SilentInstallerControllerTest, BackEndEndingWithZeroWithoutReportingSuccessFails) {
  // A killed back end may leave exit code 0 behind (Wine gives it to a
  // process that died of a signal): without its success report the run failed.
  EXPECT_FALSE(Run(base::BindOnce(
      [](InstallerObserver* observer) { observer->OnInstallerTerminated(true); },
      controller_.get())));
}

TEST_F(SilentInstallerControllerTest, BackEndThatReportedSuccessAndEndedWithZeroSucceeds) {
  EXPECT_TRUE(Run(base::BindOnce(
      [](InstallerObserver* observer) {
        observer->OnSuccess();
        observer->OnInstallerTerminated(true);
      },
      controller_.get())));
  EXPECT_EQ(1, IntStat("installation_success"));
}

// The run ended on an error and its statistics said so: a success report
// that comes after that (a back end whose failure the front end saw first)
// does not turn it into a success.
TEST_F(SilentInstallerControllerTest, SuccessReportedAfterTheRunEndedLeavesItFailed) {
  EXPECT_FALSE(Run(base::BindOnce(
      [](InstallerObserver* observer) {
        observer->OnError(0, std::wstring(), "Could not copy");
        observer->OnSuccess();
      },
      controller_.get())));
  EXPECT_EQ(0, IntStat("installation_success"));
}

TEST_F(SilentInstallerControllerTest, SuccessReportArrivingAfterTheBackEndsEndCounts) {
  // The report and the process's end travel separately; the end may be seen
  // first.
  EXPECT_TRUE(Run(base::BindOnce(
      [](InstallerObserver* observer) {
        observer->OnInstallerTerminated(true);
        base::MessageLoop::current()->task_runner()->PostTask(
            FROM_HERE, base::BindOnce(&InstallerObserver::OnSuccess, base::Unretained(observer)));
      },
      controller_.get())));
}

}  // namespace
}  // namespace installer
