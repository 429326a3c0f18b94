#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/test/test_environment.h"
#include "base/win/registry.h"
#include "desktop/windows/installer/service/test/registry_test_helpers.h"
#include "desktop/windows/installer/service/transactions/deleted_key_relocation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class DeleteRegKeyOperationTest : public testing::Test {
 protected:
  void SetUp() override {
    parent_ = L"Software\\" + base::test::UniqueName(L"DeleteKey");
    key_ = parent_ + L"\\Tree";
  }

  static void Create(const std::wstring& path, base::win::RegKey* key) {
    ASSERT_EQ(ERROR_SUCCESS, key->Create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
  }

  static bool KeyExists(const std::wstring& path) {
    return installer::KeyExists(HKEY_CURRENT_USER, path);
  }
  static std::string ReadRaw(const std::wstring& path, const wchar_t* name) {
    return installer::ReadRawValue(HKEY_CURRENT_USER, path, name);
  }

  // The DACL of a key in self-relative form.
  static std::vector<BYTE> ReadDacl(const std::wstring& path) {
    base::win::RegKey key;
    if (key.Open(HKEY_CURRENT_USER, path.c_str(), READ_CONTROL) != ERROR_SUCCESS)
      return {};
    DWORD size = 0;
    RegGetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> descriptor(size);
    if (RegGetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, descriptor.data(), &size) !=
        ERROR_SUCCESS) {
      return {};
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted);
    if (!present || !acl)
      return {};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(acl);
    return std::vector<BYTE>(bytes, bytes + acl->AclSize);
  }

  // Gives |path| a DACL of its own: everyone full access, the local system read.
  static void SetOwnDacl(const std::wstring& path) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID everyone = nullptr;
    PSID system = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
    BYTE acl_buffer[256];
    PACL acl = reinterpret_cast<PACL>(acl_buffer);
    InitializeAcl(acl, sizeof(acl_buffer), ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, system);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, &descriptor));
    FreeSid(everyone);
    FreeSid(system);
  }

  // Whether RegCreateKeyExW applies the descriptor it is given here (Wine
  // ignores it).
  bool CreateKeyHonoursSecurity() {
    const std::wstring probe = parent_ + L"\\Probe";
    {
      base::win::RegKey key;
      Create(probe, &key);
    }
    SetOwnDacl(probe);
    const std::vector<BYTE> dacl = ReadDacl(probe);
    base::win::RegKey key;
    key.Open(HKEY_CURRENT_USER, probe.c_str(), READ_CONTROL);
    DWORD size = 0;
    RegGetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> descriptor(size);
    RegGetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, descriptor.data(), &size);
    key.Close();
    RegDeleteKeyW(HKEY_CURRENT_USER, probe.c_str());
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.data(), FALSE};
    HKEY created = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, probe.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, &attributes,
                    &created, nullptr);
    RegCloseKey(created);
    const bool honoured = ReadDacl(probe) == dacl;
    RegDeleteKeyW(HKEY_CURRENT_USER, probe.c_str());
    return honoured;
  }

  std::wstring parent_;
  std::wstring key_;
};

TEST_F(DeleteRegKeyOperationTest, MissingKeyIsNothingToDo) {
  Transaction transaction;
  EXPECT_TRUE(
      transaction.Do(std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, key_, 0)));
  transaction.Rollback();
  EXPECT_FALSE(KeyExists(key_));
}

TEST_F(DeleteRegKeyOperationTest, TreeWithValuesAndSecurityComesBack) {
  {
    base::win::RegKey key;
    Create(key_, &key);
    key.WriteValue(L"", L"default text");
    key.WriteValue(L"number", 77);
    key.WriteValue(L"binary", "\x00\xff\x10", 3, REG_BINARY);
    key.WriteValue(L"multi", L"a\0b\0", 10, REG_MULTI_SZ);
    key.WriteValue(L"empty", nullptr, 0, REG_NONE);
    base::win::RegKey child;
    Create(key_ + L"\\Child", &child);
    child.WriteValue(L"c", L"child value");
    base::win::RegKey grandchild;
    Create(key_ + L"\\Child\\Grand", &grandchild);
    grandchild.WriteValue(L"g", 3);
    base::win::RegKey sibling;
    Create(key_ + L"\\Sibling", &sibling);
  }
  SetOwnDacl(key_ + L"\\Child");
  const std::vector<BYTE> child_dacl = ReadDacl(key_ + L"\\Child");
  const std::vector<std::pair<std::wstring, const wchar_t*>> values = {
      {key_, L""},           {key_, L"number"},
      {key_, L"binary"},     {key_, L"multi"},
      {key_, L"empty"},      {key_ + L"\\Child", L"c"},
      {key_ + L"\\Child\\Grand", L"g"}};
  std::vector<std::string> before;
  for (const auto& [path, name] : values)
    before.push_back(ReadRaw(path, name));

  Transaction transaction;
  ASSERT_TRUE(
      transaction.Do(std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, key_, 0)));
  EXPECT_FALSE(KeyExists(key_));
  EXPECT_TRUE(KeyExists(parent_));
  transaction.Rollback();

  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(before[i], ReadRaw(values[i].first, values[i].second)) << i;
  EXPECT_TRUE(KeyExists(key_ + L"\\Sibling"));
  EXPECT_FALSE(child_dacl.empty());
  if (CreateKeyHonoursSecurity()) {
    EXPECT_EQ(child_dacl, ReadDacl(key_ + L"\\Child"));
  }
}

TEST_F(DeleteRegKeyOperationTest, KeptDeletionStays) {
  {
    base::win::RegKey key;
    Create(key_ + L"\\Child", &key);
  }
  {
    Transaction transaction;
    ASSERT_TRUE(
        transaction.Do(std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, key_, 0)));
  }
  EXPECT_FALSE(KeyExists(key_));
}


// Names the test's candidates in turn and writes down where the key went.
class ListedRelocation : public DeletedKeyRelocation {
 public:
  ListedRelocation(std::vector<std::wstring> candidates, std::vector<std::wstring>* relocated)
      : candidates_(std::move(candidates)), relocated_(relocated) {}

  std::wstring GetCandidate(int index) override {
    return index < static_cast<int>(candidates_.size()) ? candidates_[index] : std::wstring();
  }
  void OnRelocated(const std::wstring& deleted_path, const std::wstring& restored_path) override {
    relocated_->push_back(deleted_path + L" -> " + restored_path);
  }

 private:
  std::vector<std::wstring> candidates_;
  std::vector<std::wstring>* relocated_;
};

// Another run made a key of the deleted key's name after the deletion: the
// rollback leaves that key to it and puts the deleted tree back under the
// first candidate it can make new.
TEST_F(DeleteRegKeyOperationTest, KeyTakenSinceGoesBackUnderAFreeCandidate) {
  {
    base::win::RegKey key;
    Create(key_, &key);
    key.WriteValue(L"owner", L"deleted");
    base::win::RegKey child;
    Create(key_ + L"\\Child", &child);
    child.WriteValue(L"c", 5);
    base::win::RegKey taken;
    Create(key_ + L"1", &taken);
  }
  std::vector<std::wstring> relocated;
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, key_, 0,
      std::make_unique<ListedRelocation>(
          std::vector<std::wstring>{key_, key_ + L"1", key_ + L"2"}, &relocated))));
  {
    base::win::RegKey other;
    Create(key_, &other);
    other.WriteValue(L"owner", L"other run");
  }
  transaction.Rollback();

  EXPECT_EQ(L"other run", ReadString(HKEY_CURRENT_USER, key_, L"owner"));
  EXPECT_FALSE(KeyExists(key_ + L"\\Child"));
  EXPECT_EQ(L"<none>", ReadString(HKEY_CURRENT_USER, key_ + L"1", L"owner"));
  EXPECT_EQ(L"deleted", ReadString(HKEY_CURRENT_USER, key_ + L"2", L"owner"));
  EXPECT_EQ(std::string("4:\x05\0\0\0", 6), ReadRaw(key_ + L"2\\Child", L"c"));
  EXPECT_EQ(std::vector<std::wstring>{key_ + L" -> " + key_ + L"2"}, relocated);
}

TEST_F(DeleteRegKeyOperationTest, KeyStillFreeGoesBackUnderItsOwnName) {
  {
    base::win::RegKey key;
    Create(key_, &key);
    key.WriteValue(L"owner", L"deleted");
  }
  std::vector<std::wstring> relocated;
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, key_, 0,
      std::make_unique<ListedRelocation>(std::vector<std::wstring>{key_ + L"1"}, &relocated))));
  transaction.Rollback();
  EXPECT_EQ(L"deleted", ReadString(HKEY_CURRENT_USER, key_, L"owner"));
  EXPECT_FALSE(KeyExists(key_ + L"1"));
  EXPECT_TRUE(relocated.empty());
}

TEST_F(DeleteRegKeyOperationTest, NoFreeCandidateLeavesTheTakenKeyAlone) {
  {
    base::win::RegKey key;
    Create(key_, &key);
    key.WriteValue(L"owner", L"deleted");
    base::win::RegKey child;
    Create(key_ + L"\\Child", &child);
  }
  std::vector<std::wstring> relocated;
  Transaction transaction;
  ASSERT_TRUE(transaction.Do(std::make_unique<DeleteRegKeyOperation>(
      HKEY_CURRENT_USER, key_, 0,
      std::make_unique<ListedRelocation>(std::vector<std::wstring>{key_}, &relocated))));
  {
    base::win::RegKey other;
    Create(key_, &other);
    other.WriteValue(L"owner", L"other run");
  }
  transaction.Rollback();
  EXPECT_EQ(L"other run", ReadString(HKEY_CURRENT_USER, key_, L"owner"));
  EXPECT_FALSE(KeyExists(key_ + L"\\Child"));
  EXPECT_TRUE(relocated.empty());
}

}  // namespace
}  // namespace installer
