// LinkFreeFolder: a folder that an elevated process opens, or makes, for a
// path that a user of lesser rights chose and can keep changing meanwhile.
//
// Checking a path for links and then making its missing folders by path
// leaves a gap: a folder swapped for a junction in between sends the making
// somewhere else (a system folder). So the path is walked one component at a
// time from its drive root, each component opened, or made, relative to the
// handle of the folder above it (NtCreateFile with a root directory), never
// following a link, junction or mount point: a component that is one is
// refused. What was made here stays open (sharing everything, so that the
// installer can work in it) and can be removed again through those handles,
// wherever it has been moved meanwhile.
//
// Under Wine a Unix symbolic link reports itself as a reparse point, and the
// handle of one that was followed shows where it leads.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_LINK_FREE_FOLDER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_LINK_FREE_FOLDER_H_

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {

class LinkFreeFolder {
 public:
  // Why nothing may be made below the existing folder whose true path is
  // given; empty when making is allowed.
  using MakeRefusal = std::function<std::string(const base::FilePath& existing)>;

  LinkFreeFolder();
  LinkFreeFolder(const LinkFreeFolder&) = delete;
  LinkFreeFolder& operator=(const LinkFreeFolder&) = delete;
  ~LinkFreeFolder();

  // Opens the folder |path| (a full path on a drive, without "..") with
  // |access|, making the missing components when |refusal| allows it for the
  // nearest existing one. False, with the reason in |reason|, when a
  // component is a link or no folder, or cannot be opened or made; what was
  // made before the failure is removed again.
  bool Open(const base::FilePath& path, ACCESS_MASK access, const MakeRefusal& refusal,
            std::string* reason);

  // The folder opened; invalid before a successful Open.
  HANDLE Get() const;
  // Whether Open made the folder itself (and maybe some above it).
  bool made() const { return !made_.empty(); }

  // Removes the folders Open made, innermost first, with whatever lies in
  // them: links and junctions are removed themselves, never what they lead
  // to. False, with the reason in |reason|, when anything stays.
  bool RemoveMade(std::string* reason);

  enum class Removal { kRemoved, kInUse, kFailed };
  // Removes the folder |path| in the folder |parent| (held with
  // FILE_TRAVERSE) with whatever lies in it, as RemoveMade does, unless
  // someone holds it without sharing its deletion (kInUse). A |path| that is
  // a link, junction or no folder is refused (kFailed, with the reason in
  // |reason|), as is a folder whose contents cannot all go.
  static Removal RemoveUnused(HANDLE parent, const base::FilePath& path, std::string* reason);

 private:
  base::win::ScopedHandle folder_;
  // The folders made, outermost first, each held with DELETE access.
  std::vector<base::win::ScopedHandle> made_;
  std::vector<base::FilePath> made_paths_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_LINK_FREE_FOLDER_H_
