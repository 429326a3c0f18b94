#include "desktop/windows/installer/settings_command_line_impl.h"

#include <string_view>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "base/functional/bind.h"
#include "base/logging.h"
#include "base/rand_util.h"
#include "desktop/windows/installer/installation_folder_details.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/settings_impl.h"
#include "desktop/windows/installer/settings_switches.h"
#include "desktop/windows/installer/stats_scope.h"
#include "features/feature_registry.h"
#include "features/features.h"

namespace installer {

namespace {

constexpr wchar_t kTrue[] = L"1";
constexpr wchar_t kFalse[] = L"0";

// Statistics keys; the first five are written under the caller's prefix.
constexpr char kStatsInstallationMode[] = "installation_mode";
constexpr char kStatsInstallationOperation[] = "installation_operation";
constexpr char kStatsMakeDefault[] = "make_default";
constexpr char kStatsUsingDefaultFolder[] = "using_default_installation_folder";
constexpr char kStatsUsingPrivilegedFolder[] = "using_privileged_installation_folder";
constexpr char kStatsAutoupdate[] = "autoupdate";
constexpr char kStatsBuildArch[] = "build_arch";
constexpr char kStatsStatusParseError[] = "xml_status_parse_error";
constexpr char kStatsStatusFaultyFile[] = "xml_status_faulty_file";
constexpr char kStatsStatusSource[] = "installation_status_source";

constexpr int kFaultyFileSamplePercent = 5;

void AppendBoolSwitch(std::string_view name, bool value, base::CommandLine* command_line) {
  command_line->AppendSwitchNative(name, value ? kTrue : kFalse);
}

// Sets |flag| from the boolean switch |name| when |command_line| has it.
// Returns whether it had.
bool ReadBoolSwitch(const base::CommandLine& command_line,
                    std::string_view name,
                    SettingsFlag flag,
                    SettingsImpl* settings) {
  if (!command_line.HasSwitch(name))
    return false;
  settings->WriteFlag(flag, ParseBoolSwitchValue(command_line.GetSwitchValueNative(name)));
  return true;
}

}  // namespace

SettingsCommandLineImpl::Environment::Environment() = default;
SettingsCommandLineImpl::Environment::Environment(const Environment&) = default;
SettingsCommandLineImpl::Environment& SettingsCommandLineImpl::Environment::operator=(
    const Environment&) = default;
SettingsCommandLineImpl::Environment::~Environment() = default;

SettingsCommandLineImpl::SettingsCommandLineImpl(const Environment& environment)
    : environment_(environment) {
  if (!environment_.rand_int)
    environment_.rand_int = base::BindRepeating(&base::RandInt);
}

SettingsCommandLineImpl::~SettingsCommandLineImpl() = default;

void SettingsCommandLineImpl::ReadSettings(const base::CommandLine& command_line,
                                           SettingsImpl* settings) const {
  if (!settings->IsEditable())
    return;
  VLOG(1) << "Settings from command line";
  settings->ApplyDefaultFlags();

  if (!ReadBoolSwitch(command_line, switches::kLaunchVelto, LAUNCH_VELTO, settings))
    ReadBoolSwitch(command_line, switches::kLaunchBrowser, LAUNCH_VELTO, settings);

  ReadBoolSwitch(command_line, switches::kCopyOnly, COPY_ONLY, settings);
  settings->ApplyCopyOnlyRule(settings->GetFlag(COPY_ONLY));

  ReadBoolSwitch(command_line, switches::kImportBrowserData, IMPORT_BROWSER_DATA, settings);
  if (ReadBoolSwitch(command_line, switches::kEnableStats, ENABLE_VELTO_STATS, settings))
    settings->WriteFlag(ENABLE_INSTALLER_STATS, settings->GetFlag(ENABLE_VELTO_STATS));
  ReadBoolSwitch(command_line, switches::kEnableInstallerStats, ENABLE_INSTALLER_STATS,
                 settings);

  if (settings->GetFlag(COPY_ONLY)) {
    // A stand-alone copy keeps its profile beside it and changes nothing else.
    settings->WriteFlag(SINGLE_PROFILE, true);
  } else {
    ReadBoolSwitch(command_line, switches::kAllUsers, ALL_USERS_FLAG, settings);
    ReadBoolSwitch(command_line, switches::kSetDefaultBrowser, DEFAULT_BROWSER, settings);
    ReadBoolSwitch(command_line, switches::kDesktopShortcut, DESKTOP_SHORTCUT, settings);
    ReadBoolSwitch(command_line, switches::kStartMenuShortcut, START_MENU_SHORTCUT, settings);
    ReadBoolSwitch(command_line, switches::kQuickLaunchShortcut, QUICK_LAUNCH_SHORTCUT,
                   settings);
    ReadBoolSwitch(command_line, switches::kPinToTaskbar, PINNED_SHORTCUT, settings);
  }
  ReadBoolSwitch(command_line, switches::kSingleProfile, SINGLE_PROFILE, settings);

  if (command_line.HasSwitch(switches::kProfileFolder))
    settings->SetProfileFolder(command_line.GetSwitchValuePath(switches::kProfileFolder));
  if (command_line.HasSwitch(switches::kInstallPomrel))
    settings->SetInstallPomrel(true);
  if (command_line.HasSwitch(switches::kNiuid))
    settings->SetNiuid(command_line.GetSwitchValueASCII(switches::kNiuid));
  if (command_line.HasSwitch(switches::kMedium))
    settings->SetMedium(command_line.GetSwitchValueASCII(switches::kMedium));

  settings->LogFlagsAndLanguage();
}

void SettingsCommandLineImpl::WriteSettings(const Settings& settings,
                                            bool suppress_launch,
                                            base::CommandLine* command_line) const {
  const base::CommandLine& process = GetProcessCommandLine();
  command_line->AppendSwitch(switches::kBackend);
  if (settings.GetSilent())
    command_line->AppendSwitch(switches::kSilent);
  for (const char* name : {switches::kInitialPid, switches::kTempFolder}) {
    if (process.HasSwitch(name))
      command_line->AppendSwitchNative(name, process.GetSwitchValueNative(name));
  }
  if (process.HasSwitch(switches::kComponents)) {
    command_line->AppendSwitchASCII(switches::kComponents,
                                    process.GetSwitchValueASCII(switches::kComponents));
  }
  if (process.HasSwitch(switches::kVerboseLevel)) {
    command_line->AppendSwitchNative(switches::kVerboseLevel,
                                     process.GetSwitchValueNative(switches::kVerboseLevel));
  }

  const InstallationOperation operation = settings.GetOperation();
  if (operation == INSTALLING || operation == UPGRADING) {
    const bool copy_only = settings.GetCopyOnly();
    command_line->AppendSwitch(switches::kInstall);
    if (settings.GetAutoupdate())
      command_line->AppendSwitch(switches::kAutoupdate);
    AppendBoolSwitch(switches::kImportBrowserData, settings.GetImportBrowserData(), command_line);
    AppendBoolSwitch(switches::kEnableStats, settings.GetEnableVeltoStats(), command_line);
    AppendBoolSwitch(switches::kEnableInstallerStats, settings.GetEnableInstallerStats(),
                     command_line);
    AppendBoolSwitch(switches::kLaunchVelto, !suppress_launch && settings.GetLaunch(),
                     command_line);
    command_line->AppendSwitchPath(switches::kInstallFolder, settings.GetInstallPath());
    command_line->AppendSwitchPath(switches::kProfileFolder, settings.GetProfileFolder());
    command_line->AppendSwitchASCII(switches::kNiuid, settings.GetNiuid());
    command_line->AppendSwitchASCII(switches::kMedium, settings.GetMedium());
    if (!settings.GetInstallLanguage().empty())
      command_line->AppendSwitchNative(switches::kLanguage, settings.GetInstallLanguage());
    if (operation == INSTALLING) {
      AppendBoolSwitch(switches::kSingleProfile, settings.GetSingleProfile(), command_line);
      AppendBoolSwitch(switches::kCopyOnly, copy_only, command_line);
      if (!copy_only)
        AppendBoolSwitch(switches::kAllUsers, settings.GetAllUsers(), command_line);
    }
    if (!copy_only) {
      AppendBoolSwitch(switches::kSetDefaultBrowser, settings.GetDefaultBrowser(), command_line);
      AppendBoolSwitch(switches::kStartMenuShortcut, settings.GetStartMenuShortcut(),
                       command_line);
      AppendBoolSwitch(switches::kDesktopShortcut, settings.GetDesktopShortcut(), command_line);
      AppendBoolSwitch(switches::kQuickLaunchShortcut, settings.GetQuickLaunchShortcut(),
                       command_line);
      AppendBoolSwitch(switches::kPinToTaskbar, settings.GetPinnedShortcut(), command_line);
      if (settings.GetReplaceDrovikInstallation())
        command_line->AppendSwitch(switches::kReplaceOldEngine);
    }
    if (process.HasSwitch(switches::kServerTrackingData)) {
      command_line->AppendSwitchNative(switches::kServerTrackingData,
                                       process.GetSwitchValueNative(switches::kServerTrackingData));
    }
    AppendFeatureSwitches(GetFeatures(), command_line);
    CopyImportSwitches(process, command_line);
  } else if (operation == UNINSTALLING) {
    command_line->AppendSwitch(switches::kUninstall);
    AppendBoolSwitch(switches::kDeleteUserProfile, settings.GetDeleteProfile(), command_line);
  }
  VLOG(1) << "Settings as command line: " << command_line->GetCommandLineString();
}

void SettingsCommandLineImpl::CopyImportSwitches(const base::CommandLine& from,
                                                 base::CommandLine* to) const {
  to->CopySwitchesFrom(from, {switches::kImportBookmarks, switches::kImportSession,
                              switches::kImportTopsitesToSpeeddial});
}

void SettingsCommandLineImpl::WriteStats(const Settings& settings,
                                         const std::string& prefix,
                                         StatsScope* scope) const {
  LOG(INFO) << "Writing setting stats with prefix " << prefix;
  scope->SetString(prefix + kStatsInstallationMode,
                   InstallationModeToStatsName(settings.GetInstallationMode()));
  scope->SetString(prefix + kStatsInstallationOperation,
                   InstallationOperationToStatsName(settings.GetOperation()));
  scope->SetInteger(kStatsAutoupdate, settings.GetAutoupdate() ? 1 : 0);
  scope->SetInteger(prefix + kStatsMakeDefault, settings.GetDefaultBrowser() ? 1 : 0);

  base::FilePath standard_folder;
  settings.GetDefaultInstallFolder(&standard_folder, DEFAULT_FOLDER_STANDARD);
  const bool default_folder = base::FilePath::CompareEqualIgnoreCase(
      settings.GetInstallPath().value(), standard_folder.value());
  scope->SetInteger(prefix + kStatsUsingDefaultFolder, default_folder ? 1 : 0);

  const InstallationFolderDetails& details = *settings.GetFolderDetails();
  const bool privileged =
      environment_.user_token
          ? NeedsElevation(*environment_.user_token, settings.GetAllUsers(),
                           details.HasWriteAccess())
          : NeedsElevation(settings.GetAllUsers(), details.HasWriteAccess());
  scope->SetInteger(prefix + kStatsUsingPrivilegedFolder, privileged ? 1 : 0);
  scope->SetString(kStatsBuildArch, settings.GetArchitecture() != 0 ? "X64" : "X86");

  // Removed rather than left alone: a scope written for an earlier folder
  // must not keep that folder's findings.
  if (!details.GetStatusSource().empty())
    scope->SetString(kStatsStatusParseError, details.GetStatusSource());
  else
    scope->Remove(kStatsStatusParseError);
  // A faulty file's content is large and personal; a sample of the runs is
  // enough to learn how files break.
  if (!details.GetStatusText().empty() &&
      environment_.rand_int.Run(0, 99) < kFaultyFileSamplePercent) {
    scope->SetString(kStatsStatusFaultyFile, details.GetStatusText());
  } else {
    scope->Remove(kStatsStatusFaultyFile);
  }
  if (details.IsExistingInstallation() && details.GetDetails()) {
    scope->SetString(kStatsStatusSource,
                     InstallationStatusSourceToString(details.GetDetails()->source));
  }
}

const base::CommandLine& SettingsCommandLineImpl::GetProcessCommandLine() const {
  return environment_.process_command_line ? *environment_.process_command_line
                                           : *base::CommandLine::ForCurrentProcess();
}

const FeatureRegistry& SettingsCommandLineImpl::GetFeatures() const {
  return environment_.features ? *environment_.features : *GetFeatureRegistry();
}

std::string InstallationModeToStatsName(InstallationMode mode) {
  switch (mode) {
    case ALL_USERS:
      return "all_users";
    case CURRENT_USER:
      return "current_user";
    case STANDALONE:
      return "standalone";
  }
  return "invalid";
}

std::string InstallationOperationToStatsName(InstallationOperation operation) {
  switch (operation) {
    case INSTALLING:
      return "installing";
    case UPGRADING:
      return "upgrading";
    case UNINSTALLING:
      return "uninstalling";
    default:
      return "invalid";
  }
}

}  // namespace installer
