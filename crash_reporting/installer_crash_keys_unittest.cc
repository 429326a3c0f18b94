#include "crash_reporting/installer_crash_keys.h"

#include "crash_reporting/installer_crash_reporter_client.h"
#include "gtest/gtest.h"

namespace crash_reporting {
namespace {

TEST(InstallerCrashKeysTest, TableHasFourGroupsOf98Keys) {
  const std::vector<InstallerCrashKey>& keys = GetInstallerCrashKeys();
  ASSERT_EQ(98u, keys.size());
  int groups[5] = {};
  std::set<std::string> names;
  for (const InstallerCrashKey& key : keys) {
    ++groups[key.group];
    names.insert(key.key.key_name);
  }
  EXPECT_EQ(98u, names.size());
  EXPECT_EQ(14, groups[1]);
  EXPECT_EQ(18, groups[2]);
  EXPECT_EQ(12, groups[3]);
  EXPECT_EQ(54, groups[4]);
}

TEST(InstallerCrashKeysTest, LongKeysAreSettableOnlyAsChunks) {
  std::set<std::string> settable = GetSettableCrashKeyNames();
  EXPECT_EQ(0u, settable.count("URL"));
  for (int i = 1; i <= 16; ++i)
    EXPECT_EQ(1u, settable.count("URL-" + std::to_string(i))) << i;
  EXPECT_EQ(0u, settable.count("URL-17"));
  EXPECT_EQ(1u, settable.count("ab_tests-4"));
  EXPECT_EQ(0u, settable.count("ab_tests-5"));
  EXPECT_EQ(1u, settable.count("BuildID"));
  EXPECT_EQ(1u, settable.count("ptype"));
  EXPECT_EQ(1u, settable.count("vlauto_test-16"));
  // Group 4 is registered but never settable.
  EXPECT_EQ(0u, settable.count("num-experiments"));
  EXPECT_EQ(0u, settable.count("variations-1"));
}

TEST(InstallerCrashKeysTest, BuildIdPadsAndCutsBothParts) {
  EXPECT_EQ("abc00000000042", BuildIdValue("abc", 42));
  EXPECT_EQ("01234567000012", BuildIdValue("0123456789", 12));
  EXPECT_EQ("12345678654321", BuildIdValue("12345678", 987654321));
}

TEST(InstallerCrashKeysTest, ReleaseChannelByKind) {
  EXPECT_EQ("ulvane", ReleaseChannelValue(2, "quenn"));
  EXPECT_EQ("release", ReleaseChannelValue(4, "quenn"));
  EXPECT_EQ("quenn", ReleaseChannelValue(3, "quenn"));
  EXPECT_EQ("quenn", ReleaseChannelValue(1, "quenn"));
}

TEST(InstallerCrashKeysTest, SymbolsPackageByProgramName) {
  EXPECT_EQ("tests-syms", SymbolsPackageValue(base::FilePath(L"C:\\x\\unit_browsertests.exe")));
  EXPECT_EQ("browser-syms", SymbolsPackageValue(base::FilePath(L"C:\\x\\installer.exe")));
  EXPECT_EQ("browser-syms", SymbolsPackageValue(base::FilePath(L"C:\\x\\_browsertests.x.exe")));
}

TEST(InstallerCrashKeysTest, StoreTakesOnlySettableNamesAndCarriesFixedEntries) {
  InstallerCrashKeys keys("installer", InstallerCrashReporterClient::GetInstance());
  keys.Set("URL", "ignored");
  keys.Set("URL-1", "first");
  keys.Set("num-experiments", "3");
  keys.Set("ptime", "12");
  EXPECT_EQ("", keys.Get("URL"));
  EXPECT_EQ("first", keys.Get("URL-1"));
  EXPECT_EQ("", keys.Get("num-experiments"));
  EXPECT_EQ("12", keys.Get("ptime"));
  keys.Clear("ptime");
  EXPECT_EQ("", keys.Get("ptime"));

  const crash::CustomClientInfo* info = keys.custom_info();
  std::map<std::wstring, std::wstring> entries;
  for (size_t i = 0; i < info->count; ++i)
    entries[info->entries[i].name] = info->entries[i].value;
  EXPECT_EQ(L"installer", entries[L"ptype"]);
  EXPECT_EQ(L"VeltoDesktop", entries[L"prod"]);
  EXPECT_EQ(L"47.0.2631.23", entries[L"ver"]);
  EXPECT_EQ(L"quenn", entries[L"channel"]);
  EXPECT_EQ(L"first", entries[L"URL-1"]);
}

}  // namespace
}  // namespace crash_reporting
