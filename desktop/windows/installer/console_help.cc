#include "desktop/windows/installer/console_help.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "base/strings/stringprintf.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "desktop/windows/installer/installer_paths.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/settings_switches.h"
#include "features/feature_table.h"
#include "features/features.h"
#include "features/installer_features.h"
#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr char kBoolValue[] = "[0|1]";

}  // namespace

const std::vector<HelpRow>& GetHelpRows() {
  static const std::vector<HelpRow> rows = {
      {switches::kSilent, nullptr,
       "Run the installer fully unattended. No dialog will be displayed in this mode. If it "
       "isn't running with sufficient privileges, the installer will fail instead of prompting "
       "the user.",
       nullptr},
      {switches::kRunImmediately, nullptr,
       "Run the installer mostly unattended. The installation will start immediately and the "
       "progress dialog will be displayed. The installer will prompt the user for elevation if "
       "needed.",
       nullptr},
      {switches::kLanguage, "LANGUAGE",
       "Install %s in the specified language.This language will also be used during "
       "installation.",
       "The Operating system UI language."},
      {switches::kInstallFolder, "FOLDER", "Install %s in the specified folder.", nullptr},
      {switches::kAllUsers, kBoolValue, "If true, install %s for all users on the system.",
       "True when running from an administrative acount."},
      {switches::kCopyOnly, kBoolValue,
       "If true, the installer will only copy the files to the installation folder and will "
       "otherwise not perform any modification on the system.",
       "False."},
      {switches::kSingleProfile, kBoolValue,
       "If true, the installer will set up %s to use a singleprofile located in the "
       "installation folder.",
       "False."},
      {switches::kSetDefaultBrowser, kBoolValue,
       "If true, make %s the default browser for this user or computer.", "True for %s Tamber."},
      {switches::kDesktopShortcut, kBoolValue, "If true, create a shortcut for %s on the desktop.",
       "True."},
      {switches::kStartMenuShortcut, kBoolValue, "If true, create a shortcut for %s on the start menu.",
       "True."},
      {switches::kQuickLaunchShortcut, kBoolValue,
       "If true, create a shortcut for %s on the quick launch menu.",
       "False on Window 7 and later. True otherwise"},
      {switches::kPinToTaskbar, kBoolValue, "If true, pin %s to the taskbar.",
       "True on Window 7 and later. False otherwise."},
      {switches::kImportBrowserData, kBoolValue,
       "If true, %s is set up to import user data from the previously default browser when "
       "creating new user profiles.",
       "True."},
      {switches::kEnableStats, kBoolValue, "If true, %s will by default gather and report statistics.",
       "True."},
      {switches::kEnableInstallerStats, kBoolValue,
       "If true, installer will by default gather and report statistics.", "True."},
      {switches::kLaunchBrowser, kBoolValue, "If true, %s is launched once the installation is completed.",
       "True."},
  };
  return rows;
}

std::string BuildHelpText() {
  std::string text = base::StringPrintf("%s Installer %s %s\n\n", GetProductName().c_str(),
                                        GetVersion().c_str(), GetStreamName().c_str());
  text += "The following command line parameters affect the behavior of the installer:\n";
  for (const HelpRow& row : GetHelpRows()) {
    text += base::StringPrintf("  %s", row.switch_name);
    if (row.value_name)
      text += base::StringPrintf("=%s", row.value_name);
    text += base::StringPrintf("\n    %s\n", FormatWithProductName(row.help_text, false).c_str());
    if (row.default_text) {
      text += base::StringPrintf("    Default value: %s\n",
                                 FormatWithProductName(row.default_text, false).c_str());
    }
  }
  text += base::StringPrintf("\nLanguages available for the %s option:\n", switches::kLanguage);
  text += base::WideToUTF8(base::JoinString(GetAvailableLanguages(), L", ")) + "\n";
  text += "\nFeatures available through command-line switches:\n";
  for (const FeatureTableRow& row : GetInstallerFeatureTable()) {
    text += base::StringPrintf("\t--%s [Enabled by default: %s]\n",
                               GetFeatureSwitchName(row.switch_name).c_str(),
                               IsFeatureEnabledByDefault(row) ? "true" : "false");
  }
  return text;
}

void PrintHelp() {
  AllocConsole();
  FILE* out = nullptr;
  if (_wfreopen_s(&out, L"CONOUT$", L"w", stdout) != 0 || !out)
    return;
  setvbuf(stdout, nullptr, _IONBF, 0);
  std::string text = BuildHelpText();
  fwrite(text.data(), 1, text.size(), stdout);
  system("PAUSE");
}

}  // namespace installer
