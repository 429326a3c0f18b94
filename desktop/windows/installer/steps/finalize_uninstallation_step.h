// FinalizeUninstallationStep deletes the status file of the installation
// being removed once the run is kept, tells running programs that the browser clients changed,
// hands the default browser back to Internet Explorer where the removed
// installation held it, removes its firewall rules and opens the uninstall
// survey. Only a status file that cannot be deleted fails the step
// (category 1); the rest is logged.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_FINALIZE_UNINSTALLATION_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_FINALIZE_UNINSTALLATION_STEP_H_

#include <string>

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class FinalizeUninstallationStep : public InstallerStep {
 public:
  explicit FinalizeUninstallationStep(InstallerStepHost* host);
  ~FinalizeUninstallationStep() override;

  void Run(StepResult* result, int attempt) override;

  // Splits a command into program and parameters: with a leading quote the
  // program is the text up to the closing quote and the parameters follow
  // the space behind it; otherwise the program ends at the first space. A
  // command without its separator is all program.
  static void SplitCommand(const std::wstring& command, std::wstring* program,
                           std::wstring* parameters);

  // The uninstall survey's address for |version|, |uuid| and the query of
  // |welcome_url|, or empty when the product has no survey.
  static std::wstring GetSurveyUrl(const std::string& version, const std::string& uuid,
                                   const std::string& welcome_url);

 private:
  void ResetDefaultBrowser();
  void OpenSurvey();
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_FINALIZE_UNINSTALLATION_STEP_H_
