// UninstallEntryRelocation: where the rollback of a run that deleted the
// uninstall entry of an installation (an upgrade replacing it, an uninstall)
// puts that entry back when, meanwhile, another run has claimed the entry's
// name for an installation of its own (SetupRegistryStep::ClaimUninstallKey
// takes the first free name, and the deletion freed this one). The entry
// found there is the other run's and stays; the rolled-back one claims a name
// the same way, for the version of the installation it belongs to, and the
// status file of the folder (which the rollback has put back by then, as the
// status is moved aside after the registry is cleaned up) is made to name the
// entry's new key, so that the folder's next upgrade or uninstall removes that
// entry and not the other run's.
//
// A folder whose status is not a JSON status file cannot be made to name it:
// the entry then is one that no record names, which the folder's next run
// takes away as a leftover (LeftoverUninstallEntries).

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_ENTRY_RELOCATION_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_ENTRY_RELOCATION_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/deleted_key_relocation.h"

namespace installer {

class UninstallEntryRelocation : public DeletedKeyRelocation {
 public:
  // |root| is the hive of the entry, |version| the version of the
  // installation of |install_path| that the entry belongs to.
  UninstallEntryRelocation(HKEY root, const std::string& version,
                           const base::FilePath& install_path);
  ~UninstallEntryRelocation() override;

  // DeletedKeyRelocation:
  std::wstring GetCandidate(int index) override;
  void OnRelocated(const std::wstring& deleted_path, const std::wstring& restored_path) override;

 private:
  HKEY root_;
  std::string version_;
  base::FilePath install_path_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_ENTRY_RELOCATION_H_
