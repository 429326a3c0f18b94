#include "desktop/windows/installer/service/object_security.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <optional>
#include <string>
#include <utility>

#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "base/win/scoped_localalloc.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

std::wstring CurrentUserSidString() {
  HANDLE raw = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw));
  base::win::ScopedHandle token(raw);
  BYTE buffer[256];
  DWORD size = 0;
  EXPECT_TRUE(::GetTokenInformation(token.Get(), TokenUser, buffer, sizeof(buffer), &size));
  wchar_t* text = nullptr;
  EXPECT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
  std::wstring result = text;
  ::LocalFree(text);
  return result;
}

// A key below the test's HKCU with a protected DACL given in SDDL. Its
// security object name goes through the test's HKCU redirection.
class RegistryGrantTest : public testing::Test {
 protected:
  void SetUp() override {
    key_path_ = base::test::UniqueName(L"GrantTest");
    object_name_ = L"CURRENT_USER\\" + key_path_;
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, key_path_.c_str(), KEY_ALL_ACCESS));
    user_sid_ = CurrentUserSidString();
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_path_.c_str()); }

  void SetDaclFromSddl(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl.c_str(), SDDL_REVISION_1, &raw, nullptr));
    base::win::ScopedLocalAlloc descriptor(raw);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted));
    ASSERT_EQ(ERROR_SUCCESS,
              ::SetNamedSecurityInfoW(object_name_.data(), SE_REGISTRY_KEY,
                                      DACL_SECURITY_INFORMATION |
                                          PROTECTED_DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, dacl, nullptr));
  }

  // The mask of the deny entry for Everyone, nullopt when there is none.
  std::optional<ACCESS_MASK> EveryoneDenyMask() {
    PSECURITY_DESCRIPTOR raw = nullptr;
    PACL dacl = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              ::GetNamedSecurityInfoW(object_name_.c_str(), SE_REGISTRY_KEY,
                                      DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                      nullptr, &raw));
    base::win::ScopedLocalAlloc descriptor(raw);
    SID_IDENTIFIER_AUTHORITY world_authority = SECURITY_WORLD_SID_AUTHORITY;
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    ::InitializeSid(everyone, &world_authority, 1);
    *::GetSidSubAuthority(everyone, 0) = SECURITY_WORLD_RID;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
      ACE_HEADER* header = nullptr;
      if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header)))
        continue;
      if (header->AceType != ACCESS_DENIED_ACE_TYPE)
        continue;
      auto* ace = reinterpret_cast<ACCESS_DENIED_ACE*>(header);
      if (::EqualSid(&ace->SidStart, everyone))
        return ace->Mask;
    }
    return std::nullopt;
  }

  LONG OpenForSetValue() {
    base::win::RegKey key;
    return key.Open(HKEY_CURRENT_USER, key_path_.c_str(), KEY_SET_VALUE);
  }

  std::wstring key_path_;
  std::wstring object_name_;
  std::wstring user_sid_;
};

TEST_F(RegistryGrantTest, GrantLiftsDenyBitsAndRestoreBringsThemBack) {
  // Everyone is denied setting values and creating subkeys; the user may do
  // everything else.
  SetDaclFromSddl(L"D:P(D;;0x6;;;WD)(A;;KA;;;" + user_sid_ + L")");
  ASSERT_EQ(ERROR_ACCESS_DENIED, OpenForSetValue());

  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, false, &saved));
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(object_name_, saved.object_name());
  EXPECT_EQ(SE_REGISTRY_KEY, saved.object_type());
  EXPECT_NE(nullptr, saved.previous_dacl());

  // Only the granted bit left the deny entry.
  EXPECT_EQ(std::optional<ACCESS_MASK>(KEY_CREATE_SUB_KEY), EveryoneDenyMask());
  EXPECT_EQ(ERROR_SUCCESS, OpenForSetValue());
  EXPECT_TRUE(CheckObjectAccess(object_name_, SE_REGISTRY_KEY, KEY_QUERY_VALUE | KEY_SET_VALUE));

  EXPECT_TRUE(RestoreObjectSecurity(&saved));
  EXPECT_TRUE(saved.empty());
  EXPECT_EQ(std::optional<ACCESS_MASK>(KEY_SET_VALUE | KEY_CREATE_SUB_KEY), EveryoneDenyMask());
  EXPECT_EQ(ERROR_ACCESS_DENIED, OpenForSetValue());

  // An empty record has nothing to restore.
  EXPECT_FALSE(RestoreObjectSecurity(&saved));
}

TEST_F(RegistryGrantTest, ObjectWithoutDaclIsLeftOpenToEveryone) {
  ASSERT_EQ(ERROR_SUCCESS, ::SetNamedSecurityInfoW(object_name_.data(), SE_REGISTRY_KEY,
                                                   DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                   nullptr, nullptr));
  auto dacl_is_null = [this] {
    PSECURITY_DESCRIPTOR raw = nullptr;
    PACL dacl = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              ::GetNamedSecurityInfoW(object_name_.c_str(), SE_REGISTRY_KEY,
                                      DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                      nullptr, &raw));
    base::win::ScopedLocalAlloc descriptor(raw);
    return dacl == nullptr;
  };
  ASSERT_TRUE(dacl_is_null());

  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY, KEY_ALL_ACCESS, false,
                                     &saved));
  EXPECT_TRUE(dacl_is_null());
  EXPECT_FALSE(saved.empty());
  EXPECT_TRUE(RestoreObjectSecurity(&saved));
  EXPECT_TRUE(dacl_is_null());
}

TEST_F(RegistryGrantTest, DenyEntryLeftWithoutRightsIsDropped) {
  SetDaclFromSddl(L"D:P(D;;0x2;;;WD)(A;;KA;;;" + user_sid_ + L")");
  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, false, &saved));
  EXPECT_EQ(std::nullopt, EveryoneDenyMask());
  EXPECT_EQ(ERROR_SUCCESS, OpenForSetValue());
  EXPECT_TRUE(RestoreObjectSecurity(&saved));
  EXPECT_EQ(std::optional<ACCESS_MASK>(KEY_SET_VALUE), EveryoneDenyMask());
}

TEST_F(RegistryGrantTest, GenericGrantLiftsSpecificDenyBits) {
  SetDaclFromSddl(L"D:P(D;;0x6;;;WD)(A;;KA;;;" + user_sid_ + L")");
  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY, GENERIC_ALL, false, &saved));
  EXPECT_EQ(std::nullopt, EveryoneDenyMask());
  EXPECT_EQ(ERROR_SUCCESS, OpenForSetValue());
  EXPECT_TRUE(RestoreObjectSecurity(&saved));
  EXPECT_EQ(ERROR_ACCESS_DENIED, OpenForSetValue());
}

TEST_F(RegistryGrantTest, KeptGrantHandsOutNothing) {
  SetDaclFromSddl(L"D:P(D;;0x6;;;WD)(A;;KA;;;" + user_sid_ + L")");
  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, true, &saved));
  EXPECT_TRUE(saved.empty());
  EXPECT_EQ(ERROR_SUCCESS, OpenForSetValue());
  EXPECT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY, KEY_CREATE_SUB_KEY, true,
                                     nullptr));
  EXPECT_EQ(std::nullopt, EveryoneDenyMask());
  // Without a holder a temporary grant has nowhere to put the old security.
  EXPECT_FALSE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY, KEY_READ, false, nullptr));
}

TEST_F(RegistryGrantTest, MissingObjectFailsAndEmptiesTheHolder) {
  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(object_name_, SE_REGISTRY_KEY, KEY_READ, false, &saved));
  ASSERT_FALSE(saved.empty());
  EXPECT_FALSE(GrantCurrentUserAccess(object_name_ + L"\\missing", SE_REGISTRY_KEY, KEY_READ,
                                      false, &saved));
  EXPECT_TRUE(saved.empty());
  EXPECT_FALSE(CheckObjectAccess(object_name_ + L"\\missing", SE_REGISTRY_KEY, KEY_READ));
}

TEST(ObjectSecurityTest, SavedRecordMovesItsDescriptor) {
  PSECURITY_DESCRIPTOR descriptor = ::LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  ASSERT_NE(nullptr, descriptor);
  SavedObjectSecurity first(L"C:\\x", SE_FILE_OBJECT, descriptor, nullptr);
  SavedObjectSecurity second(std::move(first));
  EXPECT_TRUE(first.empty());
  EXPECT_TRUE(first.object_name().empty());
  EXPECT_EQ(descriptor, second.previous_descriptor());
  SavedObjectSecurity third;
  third = std::move(second);
  EXPECT_TRUE(second.empty());
  EXPECT_EQ(L"C:\\x", third.object_name());
  EXPECT_EQ(SE_FILE_OBJECT, third.object_type());
  third.Reset();
  EXPECT_TRUE(third.empty());
}

TEST(ObjectSecurityTest, FileGrantSavesAndRestores) {
  base::FilePath folder =
      base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"grant"));
  ASSERT_TRUE(base::CreateDirectory(folder));
  SavedObjectSecurity saved;
  ASSERT_TRUE(GrantCurrentUserAccess(folder.value(), SE_FILE_OBJECT, 0x001201BF, false, &saved));
  EXPECT_EQ(SE_FILE_OBJECT, saved.object_type());
  EXPECT_EQ(folder.value(), saved.object_name());
  EXPECT_TRUE(CheckObjectAccess(folder.value(), SE_FILE_OBJECT, 0x001201BF));
  EXPECT_TRUE(RestoreObjectSecurity(&saved));
  EXPECT_TRUE(saved.empty());
}

TEST(ObjectSecurityTest, UnsupportedTypesAndPrivileges) {
  EXPECT_FALSE(CheckObjectAccess(base::test::ScratchFolder(), SE_SERVICE, 1));
  EXPECT_FALSE(
      CheckObjectAccess(base::test::ScratchFolder() + L"\\missing", SE_FILE_OBJECT, 1));
  HANDLE raw = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw));
  base::win::ScopedHandle token(raw);
  EXPECT_FALSE(EnablePrivilege(L"SeNoSuchPrivilege", true, token.Get()));
}

}  // namespace
}  // namespace installer
