// UserToken answers the questions about the process's access token that the
// administrator and elevation checks ask: the token's UAC elevation type and
// whether the token, or the full token linked to a UAC-filtered one, belongs
// to the built-in Administrators group. UserTokenImpl asks the real process
// token each time; tests substitute their own answers to reach the standard
// user and UAC-filtered paths that an always-elevated test user cannot.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_USER_TOKEN_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_USER_TOKEN_H_

#include <windows.h>

namespace installer {

class UserToken {
 public:
  virtual ~UserToken() = default;

  // The process token's TokenElevationType. False when it cannot be read.
  virtual bool GetElevationType(TOKEN_ELEVATION_TYPE* type) const = 0;

  // Sets |is_member| to whether the process token (with |linked| the full
  // token linked to it) is a member of S-1-5-32-544. False when a token
  // cannot be opened, duplicated or checked.
  virtual bool IsAdministratorsMember(bool linked, bool* is_member) const = 0;
};

class UserTokenImpl : public UserToken {
 public:
  UserTokenImpl() = default;
  UserTokenImpl(const UserTokenImpl&) = delete;
  UserTokenImpl& operator=(const UserTokenImpl&) = delete;

  bool GetElevationType(TOKEN_ELEVATION_TYPE* type) const override;
  bool IsAdministratorsMember(bool linked, bool* is_member) const override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_USER_TOKEN_H_
