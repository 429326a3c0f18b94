// DeletedKeyRelocation tells the undo of a key deletion where to put the key
// back when, since the deletion, another run has made a key of the same name:
// a deletion frees its name, and a run that claims names of that kind (such as
// uninstall entries) may take it. The key found there is the other run's and
// is left as it is; the deleted key goes back under the first candidate name
// that the undo can create new, and the relocation learns which.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETED_KEY_RELOCATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETED_KEY_RELOCATION_H_

#include <string>

namespace installer {

class DeletedKeyRelocation {
 public:
  virtual ~DeletedKeyRelocation() = default;

  // The key path (below the deleted key's root) to try |index|th, from 0 on;
  // empty when there are no more candidates.
  virtual std::wstring GetCandidate(int index) = 0;

  // The deleted key |deleted_path| has been put back as |restored_path|.
  virtual void OnRelocated(const std::wstring& deleted_path,
                           const std::wstring& restored_path) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_DELETED_KEY_RELOCATION_H_
