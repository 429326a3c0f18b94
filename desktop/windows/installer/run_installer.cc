#include "desktop/windows/installer/run_installer.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>

#include "base/at_exit.h"
#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "desktop/windows/installer/console_help.h"
#include "desktop/windows/installer/folder_permission_helper.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/prefs_task_pool_holder.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "features/list_value_feature_reader.h"
#include "prefs/json_pref_store.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr char kFilesList[] = "files_list";
constexpr char kInstallerExperimentsKey[] = "installer-experiments";
constexpr wchar_t kPackageInstallerName[] = L"installer.exe";

// Prints the first build-information switch present; false when none is.
bool PrintBuildInformation(const base::CommandLine& command_line) {
  std::string value;
  if (command_line.HasSwitch(switches::kVersion))
    value = GetVersion();
  else if (command_line.HasSwitch(switches::kInternalVersion))
    value = GetBuildNumberString();
  else if (command_line.HasSwitch(switches::kStream))
    value = GetStreamName();
  else
    return false;
  printf("%s", value.c_str());
  fflush(stdout);
  return true;
}

void StartLogging(const base::CommandLine& command_line) {
  logging::LoggingSettings settings;
  settings.logging_dest = logging::LOG_TO_FILE;
  settings.log_file_path = GetLogFilePath();
  settings.delete_old = logging::DELETE_OLD_LOG_FILE;
  logging::InitLogging(settings);
  int verbose_level = 0;
  if (command_line.HasSwitch(switches::kVerboseLevel) &&
      base::StringToInt(command_line.GetSwitchValueNative(switches::kVerboseLevel),
                        &verbose_level)) {
    logging::SetVlogLevel(verbose_level);
  }
  LOG(INFO) << GetProductName() << " installer starting - version " << GetVersion() << " "
            << GetStreamName();
  LOG(INFO) << "Command line: " << command_line.GetCommandLineString();
}

// The modes that change the machine or drive a run, after the log is open.
class InstallerRun {
 public:
  InstallerRun(const base::CommandLine& command_line, const base::FilePath& current_folder)
      : command_line_(command_line), current_folder_(current_folder) {}

  bool Run();

 private:
  bool ReadOwnPaths();
  bool DecideInsidePackage();
  void ReadInstallFolder();
  void CreateMessageLoop();
  void ReadExperiments();

  const base::CommandLine& command_line_;
  // The folder of the running installation.
  const base::FilePath current_folder_;
  bool backend_ = false;
  bool uninstall_ = false;
  bool silent_ = false;
  bool run_immediately_ = false;
  bool autoupdate_ = false;
  bool replace_old_engine_ = false;
  bool inside_package_ = false;
  base::FilePath exe_dir_;
  base::FilePath exe_path_;
  base::FilePath install_folder_;
  std::unique_ptr<base::MessageLoop> message_loop_;
};

bool InstallerRun::ReadOwnPaths() {
  if (!base::PathService::Get(base::DIR_EXE, &exe_dir_)) {
    LOG(ERROR) << "Cannot find own dir";
    return false;
  }
  if (!base::PathService::Get(base::FILE_EXE, &exe_path_)) {
    LOG(ERROR) << "Cannot find own file path";
    return false;
  }
  return true;
}

bool InstallerRun::DecideInsidePackage() {
  base::FilePath browser_exe = exe_dir_.AppendASCII(GetBrowserExecutableName());
  bool has_browser = base::PathExists(browser_exe);
  if (uninstall_) {
    if (!has_browser) {
      LOG(ERROR) << "Requested to uninstall, but we are not in a valid installation folder";
      return false;
    }
    inside_package_ = true;
    return true;
  }
  inside_package_ = has_browser && base::PathExists(exe_dir_.AppendASCII(kFilesList)) &&
                    exe_path_.BaseName().value() == kPackageInstallerName;
  return true;
}

void InstallerRun::ReadInstallFolder() {
  if (!command_line_.HasSwitch(switches::kInstallFolder))
    return;
  install_folder_ = command_line_.GetSwitchValuePath(switches::kInstallFolder);
  LOG(INFO) << "Install folder from command line: " << install_folder_;
  if (install_folder_.empty() && autoupdate_) {
    LOG(INFO) << "It looks like we are autoupdating from V12.";
    install_folder_ = RecoverInstallFolderFromCommandLine(command_line_);
    LOG(INFO) << "Recovered install folder from command line: " << install_folder_;
    if (silent_ && !install_folder_.empty()) {
      LOG(INFO) << "Configuring for V12 autoupdate.";
      silent_ = false;
      run_immediately_ = true;
    }
  }
}

void InstallerRun::CreateMessageLoop() {
  CHECK(!base::MessageLoop::current());
  if (backend_ || silent_) {
    message_loop_ = std::make_unique<base::MessageLoop>(base::MessageLoop::TYPE_DEFAULT);
    VLOG(1) << "Using default message loop";
  } else {
    message_loop_ = std::make_unique<base::MessageLoop>(base::MessageLoop::TYPE_UI);
    VLOG(1) << "Using UI message loop";
  }
}

void InstallerRun::ReadExperiments() {
  if (uninstall_) {
    // An uninstall runs with the experiments the installation was made with.
    VLOG(1) << "Retrieving experiment states from installation folder...";
    scoped_refptr<JsonPrefStore> prefs = GetPrefsTaskPool()->CreateJsonPrefStore(
        current_folder_.Append(kInstallerPrefsFileName));
    const base::Value* experiments = nullptr;
    if (prefs->GetValue(kInstallerExperimentsKey, &experiments) && experiments->is_list()) {
      ListValueFeatureReader reader(experiments->GetList());
      GetFeatureRegistry()->ApplyReader(reader);
      VLOG(1) << "Retrieved experiment states from installation folder";
    }
  } else {
    CommandLineFeatureReader reader(command_line_);
    GetFeatureRegistry()->ApplyReader(reader);
    VLOG(1) << "Obtained experiment states from command line";
  }
  if (IsFeatureEnabled(kInstallerExperimentTestFeature))
    LOG(INFO) << "Test experiment is enabled";
}

bool InstallerRun::Run() {
  backend_ = command_line_.HasSwitch(switches::kBackend);
  uninstall_ = command_line_.HasSwitch(switches::kUninstall);
  silent_ = command_line_.HasSwitch(switches::kSilent);
  run_immediately_ = command_line_.HasSwitch(switches::kRunImmediately);
  autoupdate_ = command_line_.HasSwitch(switches::kAutoupdate);
  replace_old_engine_ = command_line_.HasSwitch(switches::kReplaceOldEngine);

  if (!ReadOwnPaths() || !DecideInsidePackage())
    return false;
  ReadInstallFolder();

  LOG(INFO) << "Uninstall:" << uninstall_;
  LOG(INFO) << "Replace Drovik installation:" << replace_old_engine_;
  LOG(INFO) << "Silent:" << silent_;
  LOG(INFO) << "Run Immediately" << run_immediately_;
  LOG(INFO) << "Backend" << backend_;
  LOG(INFO) << "Inside package" << inside_package_;
  LOG(INFO) << "Autoupdate:" << autoupdate_;

  CreateMessageLoop();
  // Pending preference writes must reach the disk before the process ends.
  GetPrefsTaskPool()->set_wait_for_release(true);
  ReadExperiments();

  // What follows reads the payload, builds the settings and runs a driver;
  // this build has none of them yet.
  LOG(ERROR) << "This installer build cannot read its payload or run an installation yet";
  return false;
}

}  // namespace

bool RunInstaller() {
  base::CommandLine::Init(0, nullptr);
  const base::CommandLine& command_line = *base::CommandLine::ForCurrentProcess();
  if (PrintBuildInformation(command_line))
    return true;

  bool result = false;
  {
    base::AtExitManager exit_manager;
    HRESULT com_result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    if (command_line.HasSwitch(switches::kCrashReporterParentId)) {
      // The crash reporter process is not part of this build.
      result = false;
    } else {
      RegisterInstallerFeatures(GetFeatureRegistry());
      base::FilePath current_folder = Installation::GetCurrent()->GetFolder();
      if (command_line.HasSwitch(switches::kHelp) ||
          command_line.HasSwitch(switches::kHelpShort)) {
        PrintHelp();
        result = true;
      } else if (command_line.HasSwitch(switches::kSetFolderPermission)) {
        RunFolderPermissionHelper(command_line);
        if (command_line.HasSwitch(switches::kRunUninstallBat))
          RunUninstallBatch(current_folder);
        result = true;
      } else {
        StartLogging(command_line);
        result = InstallerRun(command_line, current_folder).Run();
      }
    }

    if (SUCCEEDED(com_result))
      CoUninitialize();
  }
  return result;
}

void CheckSse2Support() {
  if (!IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)) {
    MessageBoxW(nullptr, L"This program requires a computer that supports SSE2 instructions.",
                L"Error", MB_OK);
    exit(1);
  }
}

}  // namespace installer
