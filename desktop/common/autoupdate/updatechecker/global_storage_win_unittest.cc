#include "desktop/common/autoupdate/updatechecker/global_storage_win.h"

#include <windows.h>

#include <shlwapi.h>

#include <thread>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/json/json_reader.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/values.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "gtest/gtest.h"
#include "product_config/product_config.h"

namespace installer {
namespace {

class GlobalStorageWinTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    storage_.set_mutex_name_for_testing(base::test::UniqueName(L"gs_mutex"));
  }
  void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, KeyPath().c_str()); }

  static std::wstring KeyPath() {
    return L"Software\\" + base::UTF8ToWide(ProductConfig::GetCompanyName());
  }

  // The registry value's type and exact stored text (ASCII values are stored
  // as UTF-16); false when missing. A stored terminating zero would show.
  static bool ReadRaw(const char* name, DWORD* type, std::string* text) {
    base::win::RegKey key(HKEY_CURRENT_USER, KeyPath().c_str(), KEY_QUERY_VALUE);
    const std::wstring wide_name = base::ASCIIToWide(name);
    DWORD size = 0;
    if (!key.Valid() || RegQueryValueExW(key.Handle(), wide_name.c_str(), nullptr, type, nullptr,
                                         &size) != ERROR_SUCCESS) {
      return false;
    }
    std::wstring data(size / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(key.Handle(), wide_name.c_str(), nullptr, type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
      return false;
    }
    *text = std::string(data.begin(), data.end());
    return true;
  }

  base::FilePath FallbackFile() const { return temp_.GetPath().Append(L"au_global_storage"); }

  std::string FallbackValue(const std::string& key) {
    std::string text;
    if (!base::ReadFileToString(FallbackFile(), &text))
      return "<no file>";
    std::optional<base::Value> json = base::JSONReader::Read(text);
    if (!json || !json->is_dict())
      return "<not json>";
    const base::Value::Dict* gs = json->GetDict().FindDict("GS");
    const std::string* value = gs ? gs->FindString(key) : nullptr;
    return value ? *value : "<missing>";
  }

  base::ScopedTempDir temp_;
  GlobalStorageWin storage_;
};

TEST_F(GlobalStorageWinTest, RegistryRoundTrip) {
  storage_.DecideFallback(false);
  std::string value = "stale";
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("", value);
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", ""));

  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", "abc"));
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadRaw("UUID", &type, &bytes));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ("abc", bytes);  // No terminating zero.
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("abc", value);

  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", ""));
  EXPECT_FALSE(ReadRaw("UUID", &type, &bytes));
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("", value);
  EXPECT_FALSE(base::PathExists(FallbackFile()));
}

TEST_F(GlobalStorageWinTest, InvalidArguments) {
  storage_.DecideFallback(false);
  std::string value;
  EXPECT_EQ(GlobalStorage::kInvalidArgument, storage_.Get("UUID", nullptr));
  EXPECT_EQ(GlobalStorage::kInvalidArgument, storage_.Get("", &value));
  EXPECT_EQ(GlobalStorage::kInvalidArgument, storage_.Set("", "x"));
}

TEST_F(GlobalStorageWinTest, HeldMutexGivesBusyAtOnce) {
  storage_.DecideFallback(false);
  const std::wstring name = base::test::UniqueName(L"gs_held");
  storage_.set_mutex_name_for_testing(name);
  base::win::ScopedHandle taken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  base::win::ScopedHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    base::win::ScopedHandle mutex(CreateMutexW(nullptr, TRUE, name.c_str()));
    SetEvent(taken.Get());
    WaitForSingleObject(release.Get(), 60000);
    ReleaseMutex(mutex.Get());
  });
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken.Get(), 60000));
  std::string value;
  EXPECT_EQ(GlobalStorage::kBusy, storage_.Get("UUID", &value));
  EXPECT_EQ(GlobalStorage::kBusy, storage_.Set("UUID", "x"));
  SetEvent(release.Get());
  holder.join();
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", "x"));
}

TEST_F(GlobalStorageWinTest, FallbackValuesMoveIntoTheRegistry) {
  storage_.DecideFallback(false);
  ASSERT_TRUE(base::WriteFile(FallbackFile(), R"({"GS": {"UUID": "x", "n": 5}})"));
  storage_.SetFallbackFolder(temp_.GetPath());
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadRaw("UUID", &type, &bytes));
  EXPECT_EQ("x", bytes);
  EXPECT_FALSE(ReadRaw("n", &type, &bytes));
  std::string value;
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("x", value);
  // The file stays.
  EXPECT_EQ("x", FallbackValue("UUID"));
}

TEST_F(GlobalStorageWinTest, StandaloneCopyKeepsValuesInTheFileOnly) {
  storage_.DecideFallback(true);
  storage_.SetFallbackFolder(temp_.GetPath());
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", "y"));
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("a.b", "dotted"));
  EXPECT_EQ("y", FallbackValue("UUID"));
  EXPECT_EQ("dotted", FallbackValue("a.b"));  // A literal key.
  DWORD type = 0;
  std::string bytes;
  EXPECT_FALSE(ReadRaw("UUID", &type, &bytes));
  std::string value;
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("y", value);
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", ""));
  EXPECT_EQ("<missing>", FallbackValue("UUID"));
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("", value);
}

// The folder of a stand-alone copy on a drive that has gone away.
TEST_F(GlobalStorageWinTest, StandaloneCopyWhoseFileCannotBeWrittenFails) {
  storage_.DecideFallback(true);
  storage_.SetFallbackFolder(temp_.GetPath().Append(L"gone"));
  EXPECT_EQ(GlobalStorage::kFailure, storage_.Set("UUID", "y"));
  std::string value = "stale";
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Get("UUID", &value));
  EXPECT_EQ("", value);
}

TEST_F(GlobalStorageWinTest, FallbackThatIsNotADictionaryFails) {
  storage_.DecideFallback(true);
  storage_.SetFallbackFolder(temp_.GetPath());
  ASSERT_TRUE(base::WriteFile(FallbackFile(), R"({"GS": 7})"));
  std::string value;
  EXPECT_EQ(GlobalStorage::kFailure, storage_.Get("UUID", &value));
  EXPECT_EQ(GlobalStorage::kFailure, storage_.Set("UUID", "z"));
}

TEST_F(GlobalStorageWinTest, RegistryWriteAlsoUpdatesAnExistingFallbackFile) {
  storage_.DecideFallback(false);
  ASSERT_TRUE(base::WriteFile(FallbackFile(), R"({"GS": {}})"));
  // A registry write first, so that the folder brings no migration.
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("k", "v"));
  storage_.SetFallbackFolder(temp_.GetPath());
  EXPECT_EQ(GlobalStorage::kSuccess, storage_.Set("UUID", "w"));
  EXPECT_EQ("w", FallbackValue("UUID"));
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadRaw("UUID", &type, &bytes));
  EXPECT_EQ("w", bytes);
}

}  // namespace
}  // namespace installer
