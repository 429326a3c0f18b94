#include "desktop/windows/installer/service/taskbar_pinning.h"

#include <windows.h>

#include <shlwapi.h>

#include "base/base_paths.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "base/path_service.h"
#include "base/strings/string_number_conversions.h"
#include "base/win/registry.h"
#include "base/win/scoped_handle.h"
#include "desktop/windows/installer/service/system_utils.h"
#include "desktop/windows/installer/service/test/fake_windows_version_provider.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

const wchar_t kPinCheck[] = L"quenn Last Band Check";

class TaskbarPinningTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.CreateUniqueTempDir());
    ASSERT_TRUE(base::PathService::Get(base::DIR_TEMP, &system_temp_));
    ASSERT_TRUE(base::DeleteFile(system_temp_.Append(L"pin_helper_args.txt")));
    // tests/fixtures/pin_helper's stub stands in for the pinning helper.
    base::FilePath exe_dir;
    ASSERT_TRUE(base::PathService::Get(base::DIR_EXE, &exe_dir));
    helpers_ = temp_.GetPath().Append(L"package");
    ASSERT_TRUE(base::CreateDirectory(helpers_));
    ASSERT_TRUE(base::CopyFile(
        exe_dir.DirName().Append(L"fixtures\\pin_helper\\pin_helper_stub.exe"),
        helpers_.Append(GetPinHelperName())));
    shortcut_ = temp_.GetPath().Append(L"Velto.lnk");
  }
  void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, GetProductRegistryKey().c_str()); }

  bool Pin(int mode, base::Time now,
           base::win::Version version = base::win::VERSION_WIN10) {
    return PinShortcutToTaskbar(helpers_, shortcut_, mode, FakeWindowsVersionProvider(version),
                                now);
  }

  std::wstring PinCheckValue() {
    base::win::RegKey key(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_READ);
    std::wstring value;
    if (key.ReadValue(kPinCheck, &value) != ERROR_SUCCESS)
      return L"<missing>";
    return value;
  }

  void SetPinCheckValue(const std::wstring& value) {
    base::win::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, GetProductRegistryKey().c_str(), KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteValue(kPinCheck, value.c_str()));
  }

  // The argument the helper was run with, as it recorded it beside itself.
  std::wstring HelperArgument() {
    std::string bytes;
    if (!base::ReadFileToString(system_temp_.Append(L"pin_helper_args.txt"), &bytes))
      return L"<not run>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                        bytes.size() / sizeof(wchar_t));
  }

  static std::wstring TimeText(base::Time time) {
    return base::NumberToWString(time.ToInternalValue());
  }

  base::ScopedTempDir temp_;
  base::FilePath system_temp_;
  base::FilePath helpers_;
  base::FilePath shortcut_;
};

TEST_F(TaskbarPinningTest, HelperRunsAsExplorerFromTheTempFolderAndIsDeleted) {
  EXPECT_TRUE(PinWithHelper(helpers_, shortcut_));
  // The stub wrote its record beside itself: it ran from the temporary folder.
  EXPECT_EQ(shortcut_.value(), HelperArgument());
  EXPECT_FALSE(base::PathExists(system_temp_.Append(L"explorer.exe")));
  EXPECT_TRUE(base::DeleteFile(system_temp_.Append(L"pin_helper_args.txt")));
  EXPECT_TRUE(Pin(kPinAlways, base::Time::Now()));
  EXPECT_EQ(shortcut_.value(), HelperArgument());
}

TEST_F(TaskbarPinningTest, HelperFailureFailsThePin) {
  const base::FilePath failing = temp_.GetPath().Append(L"with space fail.lnk");
  EXPECT_FALSE(PinWithHelper(helpers_, failing));
  EXPECT_EQ(failing.value(), HelperArgument());
  EXPECT_FALSE(base::PathExists(system_temp_.Append(L"explorer.exe")));
}

TEST_F(TaskbarPinningTest, StaleCopyThatCannotBeDeletedStopsThePin) {
  const base::FilePath copy = system_temp_.Append(L"explorer.exe");
  ASSERT_TRUE(base::WriteFile(copy, "stale"));
  base::win::ScopedHandle held(CreateFileW(copy.value().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.IsValid());
  EXPECT_FALSE(PinWithHelper(helpers_, shortcut_));
  held.Close();
  EXPECT_TRUE(base::DeleteFile(copy));
}

TEST_F(TaskbarPinningTest, HelperThatCannotRunFails) {
  ASSERT_TRUE(base::WriteFile(helpers_.Append(GetPinHelperName()), "not a program"));
  EXPECT_FALSE(PinWithHelper(helpers_, shortcut_));
  EXPECT_FALSE(base::PathExists(system_temp_.Append(L"explorer.exe")));
  // A missing helper as well.
  EXPECT_FALSE(PinWithHelper(temp_.GetPath().Append(L"nowhere"), shortcut_));
}

// A helper that is there, in a folder short enough to make, whose own path
// is too long for a plain copy.
TEST_F(TaskbarPinningTest, OverLongHelperPathIsNotCopied) {
  base::FilePath deep = helpers_;
  while (deep.value().size() < 236)
    deep = deep.Append(L"d");
  ASSERT_TRUE(base::CreateDirectory(deep));
  const std::wstring helper = deep.Append(GetPinHelperName()).value();
  ASSERT_GE(helper.size(), 260u);
  ASSERT_TRUE(CopyFileW(helpers_.Append(GetPinHelperName()).value().c_str(),
                        (L"\\\\?\\" + helper).c_str(), FALSE));
  EXPECT_FALSE(PinWithHelper(deep, shortcut_));
  EXPECT_EQ(L"<not run>", HelperArgument());
  EXPECT_FALSE(base::PathExists(system_temp_.Append(L"explorer.exe")));
}

TEST_F(TaskbarPinningTest, OlderWindowsWithoutTheVerbDoNotPin) {
  // Without a shell handler for the verb the pin fails before Windows 10, and
  // Vista has no taskbar pins at all.
  EXPECT_FALSE(Pin(kPinAlways, base::Time::Now(), base::win::VERSION_VISTA));
  EXPECT_FALSE(Pin(kPinAlways, base::Time::Now(), base::win::VERSION_WIN8_1));
  EXPECT_EQ(L"<not run>", HelperArgument());
}

TEST_F(TaskbarPinningTest, PeriodicModeStartsTheClockThenWaits182Days) {
  const base::Time start = base::Time::Now();
  EXPECT_FALSE(Pin(kPinPeriodically, start));
  EXPECT_EQ(TimeText(start), PinCheckValue());

  const base::Time day_181 = start + base::TimeDelta::FromDays(181);
  EXPECT_FALSE(Pin(kPinPeriodically, day_181));
  EXPECT_EQ(TimeText(start), PinCheckValue());

  const base::Time day_182 = start + base::TimeDelta::FromDays(182);
  EXPECT_TRUE(Pin(kPinPeriodically, day_182));
  EXPECT_EQ(TimeText(day_182), PinCheckValue());
}

TEST_F(TaskbarPinningTest, PeriodicModeRestartsTheClockOnBadValues) {
  const base::Time now = base::Time::Now();
  for (const std::wstring& bad :
       {std::wstring(L"garbage"), std::wstring(L"0"),
        TimeText(now + base::TimeDelta::FromDays(1))}) {
    SetPinCheckValue(bad);
    EXPECT_FALSE(Pin(kPinPeriodically, now)) << bad;
    EXPECT_EQ(TimeText(now), PinCheckValue()) << bad;
  }
}

TEST_F(TaskbarPinningTest, AlwaysModeLeavesTheClockAlone) {
  EXPECT_TRUE(Pin(kPinAlways, base::Time::Now()));
  EXPECT_EQ(L"<missing>", PinCheckValue());
}

}  // namespace
}  // namespace installer
