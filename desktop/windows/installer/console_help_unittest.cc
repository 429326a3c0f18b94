#include "desktop/windows/installer/console_help.h"

#include <string>

#include "desktop/windows/rc_l10n_handler/available_languages.h"
#include "gtest/gtest.h"

namespace installer {

TEST(ConsoleHelpTest, SwitchSectionReadsExactly) {
  std::string text = BuildHelpText();
  const std::string expected_start =
      "Velto Installer 47.0.2631.23 quenn\n\n"
      "The following command line parameters affect the behavior of the installer:\n"
      "  silent\n"
      "    Run the installer fully unattended. No dialog will be displayed in this mode. If it "
      "isn't running with sufficient privileges, the installer will fail instead of prompting "
      "the user.\n"
      "  runimmediately\n"
      "    Run the installer mostly unattended. The installation will start immediately and the "
      "progress dialog will be displayed. The installer will prompt the user for elevation if "
      "needed.\n"
      "  language=LANGUAGE\n"
      "    Install Velto in the specified language.This language will also be used during "
      "installation.\n"
      "    Default value: The Operating system UI language.\n"
      "  installfolder=FOLDER\n"
      "    Install Velto in the specified folder.\n"
      "  allusers=[0|1]\n"
      "    If true, install Velto for all users on the system.\n"
      "    Default value: True when running from an administrative acount.\n";
  EXPECT_EQ(expected_start, text.substr(0, expected_start.size()));
  EXPECT_NE(std::string::npos,
            text.find("  setdefaultbrowser=[0|1]\n"
                      "    If true, make Velto the default browser for this user or computer.\n"
                      "    Default value: True for Velto Tamber.\n"));
  EXPECT_NE(std::string::npos,
            text.find("  launchbrowser=[0|1]\n"
                      "    If true, Velto is launched once the installation is completed.\n"
                      "    Default value: True.\n"));
}

TEST(ConsoleHelpTest, EndsWithLanguagesAndInstallerFeatures) {
  // The executable's languages on one line, separated by ", ".
  std::string languages;
  for (const std::wstring& code : GetAvailableLanguages())
    languages += (languages.empty() ? "" : ", ") + std::string(code.begin(), code.end());
  ASSERT_NE(std::string::npos, languages.find(", en, "));
  const std::string expected_end =
      "    Default value: True.\n"
      "\nLanguages available for the language option:\n" +
      languages +
      "\n"
      "\nFeatures available through command-line switches:\n"
      "\t--with-feature:installer-experiment-test [Enabled by default: false]\n"
      "\t--with-feature:installer-download-sfx-package [Enabled by default: false]\n"
      "\t--with-feature:installer-use-minimal-package [Enabled by default: false]\n"
      "\t--with-feature:installer-pref-default-overrides-support [Enabled by default: true]\n"
      "\t--with-feature:installer-hide-from-program-and-features [Enabled by default: false]\n"
      "\t--with-feature:installer-support-x64-download [Enabled by default: true]\n";
  std::string text = BuildHelpText();
  ASSERT_GE(text.size(), expected_end.size());
  EXPECT_EQ(expected_end, text.substr(text.size() - expected_end.size()));
}

TEST(ConsoleHelpTest, SixteenRowsWithValueNamesFromAllUsersOn) {
  const std::vector<HelpRow>& rows = GetHelpRows();
  ASSERT_EQ(16u, rows.size());
  EXPECT_EQ(nullptr, rows[0].value_name);
  EXPECT_EQ(nullptr, rows[1].value_name);
  for (size_t i = 4; i < rows.size(); ++i)
    EXPECT_STREQ("[0|1]", rows[i].value_name) << rows[i].switch_name;
}

}  // namespace installer
