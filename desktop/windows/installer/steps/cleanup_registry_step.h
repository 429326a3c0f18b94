// CleanupRegistryStep removes what an earlier installation of the chosen
// folder recorded in its status: each recorded key is deleted up to its
// clean-up depth (1 the key itself, 2 its parent, ...), or, with depth 0,
// only its recorded values are removed. Runs before the new registration of
// an upgrade, and first in an uninstall, where it also takes away the
// uninstall entries that interrupted runs left for the folder
// (LeftoverUninstallEntries). Never fails the run.
//
// Uninstall entries are named by claiming the first free name (the product
// and a version, then with 1, 2, ...), so a name a rolled-back run of this
// folder freed may now be another folder's entry: a recorded entry whose
// InstallLocation names another folder is left alone. An entry the step
// deletes goes back, when the run is rolled back and another installation
// has claimed its name meanwhile, under the next free name, which the
// folder's status is made to name (UninstallEntryRelocation).
//
// A depth read from a status file is trusted only as far as the product's own
// keys reach: a deletion that would climb to a key the product does not own
// (such as "Software\Classes") is refused, and only the recorded values are
// removed instead.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_REGISTRY_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_REGISTRY_STEP_H_

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/windows/installer/service/installation_status.h"
#include "desktop/windows/installer/steps/installer_step.h"

namespace installer {

class CleanupRegistryStep : public InstallerStep {
 public:
  // |launcher_architecture| is the PeArchitecture of the installation's
  // current launcher, read before any step ran.
  CleanupRegistryStep(InstallerStepHost* host, int launcher_architecture);
  ~CleanupRegistryStep() override;

  void Run(StepResult* result, int attempt) override;

  // |key| with its last |levels| components removed; empty when it has no
  // more than |levels| components.
  static std::wstring GetAncestorKey(const std::wstring& key, int levels);

  // Whether deleting |key| (a path below a hive) with its subtree removes
  // only what belongs to the product: |key| lies at or below a component
  // named after the product, the browser executable or |old_product_name|
  // (when not empty), or at or below a key that the registration table
  // deletes on clean-up.
  bool IsProductOwnedKey(const std::wstring& key, const std::wstring& old_product_name);

 private:
  void CleanupKeys(HKEY root, const std::vector<InstallationStatus::RegistryKey>& keys);
  // The former engine's placeholders expanded when the folder holds its
  // installation; otherwise |text| itself.
  std::wstring ExpandFormerEngineText(const std::string& text);
  std::wstring GetOldProductName();

  int launcher_architecture_;
  // The keys the registration table deletes on clean-up, expanded; filled on
  // first use.
  std::vector<std::wstring> owned_roots_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_CLEANUP_REGISTRY_STEP_H_
