#include "base/win/windows_version.h"

#include "gtest/gtest.h"

namespace base::win {
namespace {

TEST(WindowsVersionTest, InfoIsConsistent) {
  OSInfo* info = OSInfo::GetInstance();
  ASSERT_NE(nullptr, info);
  EXPECT_EQ(info, OSInfo::GetInstance());
  OSInfo::VersionNumber number = info->version_number();
  EXPECT_GE(number.major, 5);
  EXPECT_GT(number.build, 0);
  EXPECT_EQ(info->version(), GetVersion());
  EXPECT_GE(GetVersion(), VERSION_XP);
  EXPECT_LT(GetVersion(), VERSION_WIN_LAST);
  // The numbering is part of the contract: stored data and tables use it.
  EXPECT_EQ(3, VERSION_VISTA);
  EXPECT_EQ(4, VERSION_WIN7);
  EXPECT_EQ(7, VERSION_WIN10);
  if (number.major == 6 && number.minor == 1) {
    EXPECT_EQ(VERSION_WIN7, GetVersion());
  }
  if (number.major == 10) {
    EXPECT_EQ(VERSION_WIN10, GetVersion());
  }

  // This is a 64-bit build: the machine is x64 and the process is native.
  EXPECT_EQ(OSInfo::X64_ARCHITECTURE, info->architecture());
  EXPECT_EQ(OSInfo::WOW64_DISABLED, info->wow64_status());
  EXPECT_GE(info->processors(), 1);
  EXPECT_GE(info->allocation_granularity(), 4096u);
}

}  // namespace
}  // namespace base::win
