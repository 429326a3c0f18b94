#include "base/win/security_util.h"

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace base::win {
namespace {

TEST(SecurityUtilTest, AdministratorsSid) {
  ScopedSid sid = CreateAdministratorsSid();
  ASSERT_TRUE(sid);
  wchar_t* text = nullptr;
  ASSERT_TRUE(::ConvertSidToStringSidW(sid.get(), &text));
  EXPECT_EQ(std::wstring(L"S-1-5-32-544"), text);
  ::LocalFree(text);
}

TEST(SecurityUtilTest, IdentificationTokenAnswersMembership) {
  ScopedHandle token;
  ASSERT_TRUE(OpenProcessToken(TOKEN_QUERY | TOKEN_DUPLICATE, &token));
  // The primary token itself is refused by CheckTokenMembership.
  ScopedSid administrators = CreateAdministratorsSid();
  BOOL member = FALSE;
  EXPECT_FALSE(::CheckTokenMembership(token.Get(), administrators.get(), &member));
  ScopedHandle identification;
  ASSERT_TRUE(DuplicateIdentificationToken(token.Get(), &identification));
  EXPECT_TRUE(::CheckTokenMembership(identification.Get(), administrators.get(), &member));

  ScopedHandle query_only;
  ASSERT_TRUE(OpenProcessToken(TOKEN_QUERY, &query_only));
  EXPECT_FALSE(DuplicateIdentificationToken(query_only.Get(), &identification));
}

TEST(SecurityUtilTest, ProcessUserAndDefaultOwner) {
  ScopedHandle token;
  ASSERT_TRUE(OpenProcessToken(TOKEN_QUERY, &token));
  BYTE buffer[512];
  DWORD size = 0;
  ASSERT_TRUE(::GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size));
  std::vector<BYTE> user;
  ASSERT_TRUE(GetProcessUserSid(&user));
  EXPECT_TRUE(::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, user.data()));
  ASSERT_TRUE(::GetTokenInformation(token.Get(), TokenOwner, buffer, sizeof(buffer), &size));
  std::vector<BYTE> owner;
  ASSERT_TRUE(GetProcessDefaultOwnerSid(&owner));
  EXPECT_TRUE(::EqualSid(reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner, owner.data()));
  EXPECT_EQ(::GetLengthSid(owner.data()), owner.size());
}

}  // namespace
}  // namespace base::win
