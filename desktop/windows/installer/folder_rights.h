// FolderRights: how the folder-permission helper changes the access list of
// a folder it holds open: the grant of full control to one user, inherited
// by everything below, and putting the list from before back.
//
// FolderRightsImpl makes the plain calls (GetSecurityInfo, SetEntriesInAclW,
// SetSecurityInfo). Wine keeps no access lists of files and folders, so
// whom the helper grants rights can only be seen here: tests substitute an
// implementation that writes down the user it was asked to grant.
#ifndef DESKTOP_WINDOWS_INSTALLER_FOLDER_RIGHTS_H_
#define DESKTOP_WINDOWS_INSTALLER_FOLDER_RIGHTS_H_

#include <windows.h>

#include <string>
#include <vector>

namespace installer {

class FolderRights {
 public:
  virtual ~FolderRights() = default;

  // Gives |user| full control of |folder| (held with READ_CONTROL and
  // WRITE_DAC), inherited by what lies below; the access list from before
  // goes into |before| (empty for none). False with the reason in |error|.
  virtual bool Grant(HANDLE folder, PSID user, std::vector<BYTE>* before,
                     std::string* error) = 0;
  // Puts back the access list of |before|, as Grant handed it out.
  virtual bool Restore(HANDLE folder, const std::vector<BYTE>& before, std::string* error) = 0;
};

class FolderRightsImpl : public FolderRights {
 public:
  FolderRightsImpl() = default;
  FolderRightsImpl(const FolderRightsImpl&) = delete;
  FolderRightsImpl& operator=(const FolderRightsImpl&) = delete;

  // A process-wide instance that is never destroyed.
  static FolderRightsImpl* GetInstance();

  bool Grant(HANDLE folder, PSID user, std::vector<BYTE>* before, std::string* error) override;
  bool Restore(HANDLE folder, const std::vector<BYTE>& before, std::string* error) override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_FOLDER_RIGHTS_H_
