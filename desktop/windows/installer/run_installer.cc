#include "desktop/windows/installer/run_installer.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>

#include "base/at_exit.h"
#include "base/base_paths.h"
#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/functional/bind.h"
#include "base/json/json_reader.h"
#include "base/logging.h"
#include "base/message_loop/message_loop.h"
#include "base/path_service.h"
#include "base/run_loop.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/win/scoped_com_initializer.h"
#include "crash_reporting/crash_client.h"
#include "crash_reporting/crash_handoff.h"
#include "crash_reporting/crash_points.h"
#include "crash_reporting/crash_reporter.h"
#include "desktop/windows/installer/console_help.h"
#include "desktop/windows/installer/folder_permission_helper.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_ui_controller.h"
#include "desktop/windows/installer/installer_runner_backend.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/interrupted_run_cleanup.h"
#include "desktop/windows/installer/package_fetcher/payload_reader.h"
#include "desktop/windows/installer/settings_command_line_impl.h"
#include "desktop/windows/installer/settings_impl.h"
#include "desktop/windows/installer/silent_installer_controller.h"
#include "desktop/windows/installer/service/installation.h"
#include "desktop/windows/installer/service/prefs_task_pool_holder.h"
#include "desktop/windows/installer/service/privileges.h"
#include "desktop/windows/installer/service/protected_folder.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/ui/custom_message_box.h"
#include "desktop/windows/installer/ui/installer_string_ids.h"
#include "desktop/windows/installer/ui/installer_window_controller_view.h"
#include "desktop/windows/installer/ui/win32_dialog_dispatcher.h"
#include "desktop/windows/rc_l10n_handler/rc_l10n_handler.h"
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
// With this feature the corrupted installer ends without a message box.
constexpr char kQuilloLibraryFeature[] = "quillo-library";
// Where the corrupted-installer message sends the user for a new download.
constexpr char kMakerHomePage[] = "https://www.velto.example/";

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

// Installers started in the same millisecond would get the same log name. A
// name another running installer holds is never deleted or shared: the names
// of the following milliseconds are tried instead.
constexpr int kLogNameAttempts = 1000;

void StartLogging(const base::CommandLine& command_line) {
  logging::LoggingSettings settings;
  settings.logging_dest = logging::LOG_TO_FILE;
  settings.delete_old = logging::DELETE_OLD_LOG_FILE;
  // The temporary folder of an elevated run can be changed by the same user
  // unelevated, or, for the system's, by any user.
  settings.refuse_links = PrivilegesImpl::GetInstance()->IsElevated();
  const base::Time start = base::Time::Now();
  for (int attempt = 0; attempt < kLogNameAttempts; ++attempt) {
    settings.log_file_path = GetLogFilePath(start + base::TimeDelta::FromMilliseconds(attempt),
                                             settings.refuse_links);
    if (logging::InitLogging(settings))
      break;
  }
  int verbose_level = 0;
  if (command_line.HasSwitch(switches::kVerboseLevel) &&
      base::StringToInt(command_line.GetSwitchValueNative(switches::kVerboseLevel),
                        &verbose_level)) {
    logging::SetVlogLevel(verbose_level);
  }
  LOG(INFO) << GetProductName() << " installer starting - version " << GetVersion() << " "
            << GetStreamName();
  LOG(INFO) << "Command line: "
            << logging::UntrustedText(base::WideToUTF8(command_line.GetCommandLineString()));
}

void OnCorruptedInstallerMessageBoxResult(base::RunLoop* run_loop, int result) {
  if (result == CustomMessageBox::kFirstButton || result == CustomMessageBox::kLinkClicked)
    ShellExecuteA(nullptr, "open", kMakerHomePage, nullptr, nullptr, SW_SHOWNORMAL);
  run_loop->QuitWhenIdle();
}

// Tells the user that the installer file is damaged, in the language of the
// command line, and waits for the answer.
void ShowCorruptedInstallerMessage(const base::CommandLine& command_line) {
  CustomMessageBox message_box;
  base::RunLoop run_loop(Win32DialogDispatcher::GetInstance());
  std::wstring language = command_line.GetSwitchValueNative(switches::kLanguage);
  RcL10nHandler::GetInstance()->SetLanguage(&language);
  std::wstring text = GetLocalizedString(strings::kCorruptedInstallerText);
  if (!message_box.Show(nullptr, strings::kCorruptedInstallerTitle, text,
                        strings::kCorruptedInstallerGo, strings::kCorruptedInstallerCancel,
                        base::BindRepeating(&OnCorruptedInstallerMessageBoxResult, &run_loop))) {
    LOG(ERROR) << "Cannot initialize the message box";
    return;
  }
  run_loop.Run();
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
  bool ReadPayload();
  void CreateSettings();
  bool FindDownloadFolder();
  void ApplyTrackingData();

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
  bool is_x64_ = true;
  base::FilePath download_folder_;
  // An elevated run's download folder; it goes with everything in it after
  // the run.
  std::unique_ptr<ProtectedFolder> protected_download_folder_;
  // Where it was made when the command line named a temporary folder.
  base::FilePath requested_download_folder_;
  // Declared in tear-down order: the settings go first, the loop last.
  std::unique_ptr<base::MessageLoop> message_loop_;
  std::unique_ptr<PayloadReader> payload_reader_;
  SettingsCommandLineImpl settings_command_line_;
  std::unique_ptr<SettingsImpl> settings_;
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
    // An uninstall moves the browser aside first of all, and puts it back
    // only when it fails: one that was killed left it moved aside, and the
    // next uninstall from this folder finishes what it began.
    if (!has_browser && !InterruptedRunCleanup::HasBackupOf(browser_exe)) {
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

bool InstallerRun::ReadPayload() {
  if (inside_package_)
    return true;
  SYSTEM_INFO system = {};
  GetNativeSystemInfo(&system);
  is_x64_ = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  payload_reader_ = std::make_unique<PayloadReader>(exe_path_);
  switch (payload_reader_->type()) {
    case PayloadType::none:
      LOG(WARNING) << "Failed reading payload";
      if (command_line_.HasSwitch(switches::kServerTrackingBlob)) {
        LOG(INFO) << "Using tracking data from command line";
        payload_reader_->SetExternalTrackingData(
            command_line_.GetSwitchValueASCII(switches::kServerTrackingBlob));
      }
      break;
    case PayloadType::tracking_data:
      LOG(INFO) << "Tracking data: " << logging::UntrustedText(payload_reader_->GetPayloadData());
      break;
    case PayloadType::external_tracking_data:
      LOG(ERROR) << "External should only ever be reported after calling"
                 << "SetPayload";
      break;
    case PayloadType::full_package:
      is_x64_ = true;
      LOG(INFO) << "Found full package";
      break;
    case PayloadType::corrupted:
      // The run ends without settings. A run that must not show a dialog
      // (silent or back end: no window message loop) only logs.
      if (IsFeatureEnabled(kQuilloLibraryFeature) || backend_ || silent_) {
        LOG(ERROR) << "Corrupted payload";
        return false;
      }
      ShowCorruptedInstallerMessage(command_line_);
      return false;
  }
  return true;
}

void InstallerRun::CreateSettings() {
  bool x64 = is_x64_ && IsFeatureEnabled(kInstallerSupportX64DownloadFeature);
  VLOG(1) << "Installer architecture: " << (x64 ? "X64" : "X86");
  VLOG(2) << "Instantiating settings";
  SettingsImpl::Environment environment;
  environment.command_line = &command_line_;
  environment.command_line_form = &settings_command_line_;
  settings_ = std::make_unique<SettingsImpl>(uninstall_, silent_, autoupdate_,
                                             install_folder_.value(), replace_old_engine_,
                                             x64 ? 1 : 0, environment);
}

bool InstallerRun::FindDownloadFolder() {
  base::FilePath requested;
  if (command_line_.HasSwitch(switches::kTempFolder)) {
    VLOG(1) << "Using download folder from command line";
    requested =
        command_line_.GetSwitchValuePath(switches::kTempFolder).Append(GetInstallerFolderName());
    if (!base::DirectoryExists(requested) && !base::CreateDirectory(requested)) {
      LOG(ERROR) << "Could not create temporary installer folder";
      return false;
    }
  }
  if (PrivilegesImpl::GetInstance()->IsElevated()) {
    // What an elevated run fetches, checks and runs goes into a new folder
    // that only it can change, never into a folder that another account can
    // write or made before it (the user's temporary folder, or the Windows
    // folder's, where any user may make "Velto Installer" first). Its back
    // end is handed that folder and runs the package from there.
    std::string error;
    requested_download_folder_ = requested;
    protected_download_folder_ = ProtectedFolder::Create(requested, &error);
    if (!protected_download_folder_) {
      LOG(ERROR) << "Could not obtain temporary installer folder: " << error;
      return false;
    }
    download_folder_ = protected_download_folder_->path();
  } else if (!requested.empty()) {
    download_folder_ = requested;
  } else if (!FindRunnableTempFolder(GetInstallerFolderName(), exe_path_, &download_folder_)) {
    LOG(ERROR) << "Could not obtain temporary installer folder";
    return false;
  }
  LOG(INFO) << "Installer download folder: " << download_folder_;
  return true;
}

void InstallerRun::ApplyTrackingData() {
  if (!payload_reader_ || settings_->GetCopyOnly())
    return;
  PayloadType type = payload_reader_->type();
  if (type != PayloadType::tracking_data && type != PayloadType::external_tracking_data)
    return;
  std::string data = payload_reader_->GetPayloadData();
  std::optional<base::Value::Dict> tracking =
      base::JSONReader::ReadDict(base::TrimWhitespaceASCII(data, base::TRIM_ALL));
  if (!tracking)
    return;
  auto ascii_string = [&tracking](const char* path) -> const std::string* {
    const std::string* value = tracking->FindStringByDottedPath(path);
    return value && base::IsStringASCII(*value) ? value : nullptr;
  };
  const std::string* default_browser = ascii_string("utm.defbr");
  const std::string* browser_stats = ascii_string("utm.fsce");
  if (default_browser && browser_stats) {
    run_immediately_ = true;
    LOG(INFO) << "defbr:" << logging::UntrustedText(*default_browser);
    settings_->SetDefaultBrowser(*default_browser == "true");
    LOG(INFO) << "fsce:" << logging::UntrustedText(*browser_stats);
    settings_->SetEnableVeltoStats(*browser_stats == "true");
  }
  if (const std::string* niuid = ascii_string("uuid")) {
    settings_->SetNiuid(*niuid);
    LOG(INFO) << "niuid:" << logging::UntrustedText(*niuid);
  }
  if (const std::string* medium = ascii_string("utm.medium")) {
    settings_->SetMedium(*medium);
    LOG(INFO) << "utm_medium:" << logging::UntrustedText(*medium);
  }
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

  if (!ReadPayload())
    return false;

  if (backend_ || command_line_.HasSwitch(switches::kRegisterAsProtocolHandler)) {
    InstallerRunnerBackend backend;
    // A back end works for a front end that holds the folder's installation
    // mutex, so no other run is half-way through an upgrade there: a status
    // that an interrupted upgrade moved aside goes back before the folder is
    // analysed, and this run upgrades that installation rather than taking
    // the folder for a new one. Only once the folder is held for this run
    // and its front end is known to live: one that has gone may have left
    // the folder to another run.
    if (backend_ && !command_line_.HasSwitch(switches::kRegisterAsProtocolHandler) &&
        !install_folder_.empty()) {
      if (!backend.HoldFolder(install_folder_))
        return false;
      InterruptedRunCleanup::PutBackMovedAsideStatus(install_folder_);
    }
    CreateSettings();
    VLOG(2) << "Running backend";
    return backend.Run(settings_.get());
  }
  CreateSettings();

  if (!FindDownloadFolder())
    return false;
  ApplyTrackingData();

  bool result = false;
  if (silent_) {
    VLOG(2) << "Running silent controller";
    result = SilentInstallerController().Run(settings_.get(), payload_reader_.get(),
                                             download_folder_);
  } else {
    VLOG(2) << "Running UI controller";
    result = InstallerUIController().RunUI(
        settings_.get(), payload_reader_.get(), download_folder_, run_immediately_,
        base::BindOnce(&InstallerWindowControllerView::Create),
        Win32DialogDispatcher::GetInstance());
  }
  // An empty download folder goes; one still in use by another run stays.
  RemoveDirectoryW(download_folder_.value().c_str());
  if (protected_download_folder_) {
    protected_download_folder_.reset();
    // The folder made for it in the temporary folder given, as above.
    if (!requested_download_folder_.empty())
      RemoveDirectoryW(requested_download_folder_.value().c_str());
  }
  return result;
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
    base::win::ScopedCOMInitializer com_initializer;

    if (command_line.HasSwitch(switches::kCrashReporterParentId)) {
      crash_reporting::InstallExceptionFilters();
      if (command_line.HasSwitch(switches::kCrashReporterExceptionInfo))
        crash_reporting::ReportParentException(command_line);
      else
        crash_reporting::RunCrashServer(command_line);
      result = true;
    } else {
      crash_reporting::ClearUserModeExceptionPolicy();
      if (crash_reporting::StartCrashReporter())
        crash_reporting::InitCrashClient();
      crash_reporting::SetInstallerCrashKeys();
      crash_reporting::CrashPoint(crash_reporting::kCrashPointStartup);
      RegisterInstallerFeatures(GetFeatureRegistry());
      base::FilePath current_folder = Installation::GetCurrent()->GetFolder();
      if (command_line.HasSwitch(switches::kHelp) ||
          command_line.HasSwitch(switches::kHelpShort)) {
        PrintHelp();
        result = true;
      } else if (command_line.HasSwitch(switches::kSetFolderPermission)) {
        // A helper with nothing to do writes no log.
        if (command_line.HasSwitch(switches::kPermissionsForUser) ||
            command_line.HasSwitch(switches::kRunUninstallBat)) {
          StartLogging(command_line);
        }
        const FolderPermissionResult helper = RunFolderPermissionHelper(command_line);
        if (command_line.HasSwitch(switches::kRunUninstallBat))
          RunUninstallBatch(helper, current_folder);
        result = !helper.refused;
      } else {
        StartLogging(command_line);
        result = InstallerRun(command_line, current_folder).Run();
      }
    }
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
