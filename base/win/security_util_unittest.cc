#include "base/win/security_util.h"

#include <windows.h>
#include <sddl.h>

#include <string>

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

}  // namespace
}  // namespace base::win
