#include "desktop/windows/installer/service/user_token.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(UserTokenImplTest, ElevationTypeOfThisProcessIsOneOfTheThree) {
  TOKEN_ELEVATION_TYPE type = static_cast<TOKEN_ELEVATION_TYPE>(0);
  ASSERT_TRUE(UserTokenImpl().GetElevationType(&type));
  EXPECT_TRUE(type == TokenElevationTypeDefault || type == TokenElevationTypeFull ||
              type == TokenElevationTypeLimited)
      << type;
}

TEST(UserTokenImplTest, MembershipIsAnsweredAndAFilteredTokensLinkedOneToo) {
  const UserTokenImpl token;
  bool member = false;
  EXPECT_TRUE(token.IsAdministratorsMember(false, &member));
  // Only a UAC-filtered token is asked about its linked one (Wine's user is
  // never filtered).
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  ASSERT_TRUE(token.GetElevationType(&type));
  if (type == TokenElevationTypeLimited) {
    EXPECT_TRUE(token.IsAdministratorsMember(true, &member));
  }
}

}  // namespace
}  // namespace installer
