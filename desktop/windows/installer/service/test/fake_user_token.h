// A UserToken for tests: answers as it was told — an administrator or not,
// filtered by UAC or not, or unreadable. Made without arguments it is a
// standard user, which an always-elevated test user cannot otherwise be.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_USER_TOKEN_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_USER_TOKEN_H_

#include <windows.h>

#include "desktop/windows/installer/service/user_token.h"

namespace installer {

class FakeUserToken : public UserToken {
 public:
  FakeUserToken() : FakeUserToken(TokenElevationTypeDefault, false, false) {}
  FakeUserToken(TOKEN_ELEVATION_TYPE type, bool member, bool linked_member)
      : type_(type), member_(member), linked_member_(linked_member) {}

  bool GetElevationType(TOKEN_ELEVATION_TYPE* type) const override {
    if (fail_)
      return false;
    *type = type_;
    return true;
  }
  bool IsAdministratorsMember(bool linked, bool* is_member) const override {
    if (fail_)
      return false;
    *is_member = linked ? linked_member_ : member_;
    return true;
  }
  void set_fail(bool fail) { fail_ = fail; }

 private:
  TOKEN_ELEVATION_TYPE type_;
  bool member_;
  bool linked_member_;
  bool fail_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_USER_TOKEN_H_
