// SetupRegistryStep writes the browser's application registration and its
// uninstall entry from the registration template table (install and
// upgrade), recording every value in the run's status record so that a later
// upgrade or uninstall can remove it. A stand-alone copy writes nothing.
//
// Only a failed uninstall row fails the step (and so the run); other rows
// that cannot be written are passed over.
//
// Before it claims its uninstall key the step takes away the entries that
// interrupted runs left for the folder (LeftoverUninstallEntries), so that
// the folder ends with one entry, under the name the interrupted run had.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_SETUP_REGISTRY_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_SETUP_REGISTRY_STEP_H_

#include <windows.h>

#include <string>

#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class Transaction;

class SetupRegistryStep : public InstallerStep {
 public:
  // |uninstall_key| is the installer's string that "{Uninstall}" expands to;
  // the step stores the key it chose there. Not owned.
  SetupRegistryStep(InstallerStepHost* host, std::wstring* uninstall_key);
  ~SetupRegistryStep() override;

  void Run(StepResult* result, int attempt) override;

  // Claims the first free uninstall key of this product and version under
  // |root| (32-bit view) in |transaction|: the plain name, then the name
  // followed by 1, 2, 3, ... A key is this run's only when the run created
  // it, so runs at the same time never share one; the rollback removes it.
  // False when none of the first candidates is free or a free one cannot be
  // created.
  static bool ClaimUninstallKey(HKEY root, Transaction* transaction, std::wstring* key);

  // The |number|th key ClaimUninstallKey tries for an entry of |version|
  // (from 0 on): the product name and the version, then that followed by 1,
  // 2, 3, ...; empty past the last one it tries.
  static std::wstring GetUninstallKeyCandidate(const std::string& version, int number);

 private:
  std::wstring* uninstall_key_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_SETUP_REGISTRY_STEP_H_
