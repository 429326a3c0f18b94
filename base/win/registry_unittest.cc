#include "base/win/registry.h"

#include <set>

#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace base::win {
namespace {

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = L"Software\\" + test::UniqueName(L"RegistryTest");
    ASSERT_EQ(ERROR_SUCCESS, key_.Create(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS));
  }
  void TearDown() override {
    key_.Close();
    RegKey root(HKEY_CURRENT_USER, L"Software", KEY_ALL_ACCESS);
    root.DeleteKey(path_.substr(wcslen(L"Software\\")).c_str());
  }

  std::wstring path_;
  RegKey key_;
};

TEST_F(RegistryTest, RoundTripsEachType) {
  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"dword", 0xDEADBEEF));
  DWORD dword = 0;
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValueDW(L"dword", &dword));
  EXPECT_EQ(0xDEADBEEFu, dword);

  int64_t qword = 0x123456789ABCDEF0;
  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"qword", &qword, sizeof(qword), REG_QWORD));
  int64_t read_qword = 0;
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadInt64(L"qword", &read_qword));
  EXPECT_EQ(qword, read_qword);

  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"string", L"caf\u00e9 value"));
  std::wstring text;
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValue(L"string", &text));
  EXPECT_EQ(L"caf\u00e9 value", text);

  // The default value.
  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(nullptr, L"default"));
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValue(L"", &text));
  EXPECT_EQ(L"default", text);

  // Longer than the first read buffer.
  std::wstring long_text(3000, L'z');
  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"long", long_text.c_str()));
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValue(L"long", &text));
  EXPECT_EQ(long_text, text);

  const wchar_t multi[] = L"one\0two\0\0";
  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"multi", multi, sizeof(multi), REG_MULTI_SZ));
  std::vector<std::wstring> values;
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValues(L"multi", &values));
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}), values);

  const BYTE binary[] = {1, 0, 2, 0xFF};
  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"binary", binary, sizeof(binary), REG_BINARY));
  BYTE read_binary[8] = {};
  DWORD size = sizeof(read_binary);
  DWORD type = 0;
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValue(L"binary", read_binary, &size, &type));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  ASSERT_EQ(sizeof(binary), size);
  EXPECT_EQ(0, memcmp(binary, read_binary, size));

  EXPECT_EQ(ERROR_SUCCESS, key_.WriteValue(L"none", nullptr, 0, REG_NONE));
  EXPECT_TRUE(key_.HasValue(L"none"));
  EXPECT_EQ(8u, key_.GetValueCount());
}

TEST_F(RegistryTest, StringEdgeCases) {
  // Stored without a terminating null.
  const wchar_t raw[] = {L'a', L'b', L'c'};
  ASSERT_EQ(ERROR_SUCCESS, key_.WriteValue(L"unterminated", raw, sizeof(raw), REG_SZ));
  std::wstring text;
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValue(L"unterminated", &text));
  EXPECT_EQ(L"abc", text);

  std::wstring expandable = L"%VELTO_REG_TEST%\\x";
  SetEnvironmentVariableW(L"VELTO_REG_TEST", L"C:\\expanded");
  ASSERT_EQ(ERROR_SUCCESS,
            key_.WriteValue(L"expand", expandable.c_str(),
                            static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)),
                            REG_EXPAND_SZ));
  EXPECT_EQ(ERROR_SUCCESS, key_.ReadValue(L"expand", &text));
  EXPECT_EQ(L"C:\\expanded\\x", text);
  SetEnvironmentVariableW(L"VELTO_REG_TEST", nullptr);
}

TEST_F(RegistryTest, MissingAndMistypedValues) {
  DWORD dword = 5;
  std::wstring text = L"unchanged";
  int64_t qword = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.ReadValueDW(L"missing", &dword));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.ReadValue(L"missing", &text));
  EXPECT_EQ(5u, dword);
  EXPECT_EQ(L"unchanged", text);
  EXPECT_FALSE(key_.HasValue(L"missing"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.DeleteValue(L"missing"));

  ASSERT_EQ(ERROR_SUCCESS, key_.WriteValue(L"text", L"12"));
  ASSERT_EQ(ERROR_SUCCESS, key_.WriteValue(L"number", 12));
  EXPECT_EQ(ERROR_CANTREAD, key_.ReadValueDW(L"text", &dword));
  EXPECT_EQ(ERROR_CANTREAD, key_.ReadInt64(L"number", &qword));
  EXPECT_EQ(ERROR_CANTREAD, key_.ReadValue(L"number", &text));
  std::vector<std::wstring> values;
  EXPECT_EQ(ERROR_CANTREAD, key_.ReadValues(L"text", &values));

  RegKey missing;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            missing.Open(HKEY_CURRENT_USER, (path_ + L"\\nope").c_str(), KEY_READ));
  EXPECT_FALSE(missing.Valid());
  EXPECT_EQ(ERROR_INVALID_HANDLE, missing.ReadValueDW(L"x", &dword));
  EXPECT_EQ(ERROR_INVALID_HANDLE, missing.WriteValue(L"x", 1));
}

TEST_F(RegistryTest, SubkeysAndDeletion) {
  RegKey child;
  ASSERT_EQ(ERROR_SUCCESS,
            child.Create(HKEY_CURRENT_USER, (path_ + L"\\a\\b\\c").c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, child.WriteValue(L"v", 1));
  ASSERT_EQ(ERROR_SUCCESS, child.CreateKey(L"d", KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, child.WriteValue(L"w", 2));
  child.Close();

  RegKey walker(HKEY_CURRENT_USER, path_.c_str(), KEY_READ);
  ASSERT_TRUE(walker.Valid());
  ASSERT_EQ(ERROR_SUCCESS, walker.OpenKey(L"a\\b", KEY_READ));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, walker.OpenKey(L"nope", KEY_READ));
  EXPECT_TRUE(walker.Valid());  // A failed OpenKey keeps the key held.
  walker.Close();

  // Not empty: refused, kept.
  EXPECT_EQ(ERROR_DIR_NOT_EMPTY, key_.DeleteEmptyKey(L"a"));
  ASSERT_EQ(ERROR_SUCCESS, key_.Create(HKEY_CURRENT_USER, path_.c_str(), KEY_ALL_ACCESS));
  ASSERT_EQ(ERROR_SUCCESS, child.Create(HKEY_CURRENT_USER, (path_ + L"\\empty").c_str(),
                                        KEY_ALL_ACCESS));
  child.Close();
  EXPECT_EQ(ERROR_SUCCESS, key_.DeleteEmptyKey(L"empty"));

  EXPECT_EQ(ERROR_SUCCESS, key_.DeleteKey(L"a"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            child.Open(HKEY_CURRENT_USER, (path_ + L"\\a").c_str(), KEY_READ));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, key_.DeleteKey(L"a"));
}

TEST_F(RegistryTest, CreateWithDispositionTellsNewFromExisting) {
  RegKey key;
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS, key.CreateWithDisposition(HKEY_CURRENT_USER, (path_ + L"\\n").c_str(),
                                                     &disposition, KEY_ALL_ACCESS));
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  ASSERT_EQ(ERROR_SUCCESS, key.CreateWithDisposition(HKEY_CURRENT_USER, (path_ + L"\\n").c_str(),
                                                     &disposition, KEY_ALL_ACCESS));
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  HKEY raw = key.Take();
  EXPECT_FALSE(key.Valid());
  RegKey owner(raw);
  EXPECT_EQ(raw, owner.Handle());
}

TEST_F(RegistryTest, Wow64ViewsOfLocalMachineSoftware) {
  std::wstring name = L"Software\\" + test::UniqueName(L"Wow64Test");
  RegKey view32;
  ASSERT_EQ(ERROR_SUCCESS,
            view32.Create(HKEY_LOCAL_MACHINE, name.c_str(), KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  ASSERT_EQ(ERROR_SUCCESS, view32.WriteValue(L"bits", 32));
  ASSERT_EQ(ERROR_SUCCESS, view32.CreateKey(L"child", KEY_ALL_ACCESS));
  view32.Close();

  RegKey reader;
  ASSERT_EQ(ERROR_SUCCESS,
            reader.Open(HKEY_LOCAL_MACHINE, name.c_str(), KEY_READ | KEY_WOW64_32KEY));
  DWORD bits = 0;
  EXPECT_EQ(ERROR_SUCCESS, reader.ReadValueDW(L"bits", &bits));
  EXPECT_EQ(32u, bits);
  // The child was created in the same view as its parent.
  EXPECT_EQ(ERROR_SUCCESS, reader.OpenKey(L"child", KEY_READ));
  reader.Close();

  // (Whether the default view sees the key depends on the hive: the test's
  // redirected HKLM is not split into views, the real one is.)

  RegKey software;
  ASSERT_EQ(ERROR_SUCCESS,
            software.Open(HKEY_LOCAL_MACHINE, L"Software", KEY_ALL_ACCESS | KEY_WOW64_32KEY));
  EXPECT_EQ(ERROR_SUCCESS, software.DeleteKey(name.substr(wcslen(L"Software\\")).c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            reader.Open(HKEY_LOCAL_MACHINE, name.c_str(), KEY_READ | KEY_WOW64_32KEY));
}

TEST_F(RegistryTest, KeyIteratorVisitsEverySubkeyAndToleratesDeletion) {
  std::set<std::wstring> names;
  for (const wchar_t* name : {L"k1", L"k2", L"k3"}) {
    RegKey sub;
    ASSERT_EQ(ERROR_SUCCESS,
              sub.Create(HKEY_CURRENT_USER, (path_ + L"\\" + name + L"\\deep").c_str(),
                         KEY_ALL_ACCESS));
  }
  RegistryKeyIterator keys(HKEY_CURRENT_USER, path_.c_str());
  EXPECT_EQ(3u, keys.SubkeyCount());
  for (; keys.Valid(); ++keys) {
    names.insert(keys.Name());
    EXPECT_EQ(ERROR_SUCCESS, key_.DeleteKey(keys.Name()));
  }
  EXPECT_EQ((std::set<std::wstring>{L"k1", L"k2", L"k3"}), names);

  EXPECT_FALSE(RegistryKeyIterator(HKEY_CURRENT_USER, (path_ + L"\\missing").c_str()).Valid());
}

TEST_F(RegistryTest, ValueNamesByIndex) {
  ASSERT_EQ(ERROR_SUCCESS, key_.WriteValue(L"only", 1));
  std::wstring name;
  EXPECT_EQ(ERROR_SUCCESS, key_.GetValueNameAt(0, &name));
  EXPECT_EQ(L"only", name);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, key_.GetValueNameAt(1, &name));
}

}  // namespace
}  // namespace base::win
