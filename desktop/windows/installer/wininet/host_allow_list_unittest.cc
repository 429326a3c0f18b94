#include "desktop/windows/installer/wininet/host_allow_list.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(HostAllowListTest, EmptyListAllowsEveryHost) {
  EXPECT_TRUE(IsHostAllowed(L"anything.example", {}));
}

TEST(HostAllowListTest, EntriesMatchWholeLabels) {
  const std::vector<std::wstring> allowed = {L".velto.example", L"127.0.0.1", L"localhost"};
  EXPECT_TRUE(IsHostAllowed(L"autoupdate.velto.example", allowed));
  EXPECT_TRUE(IsHostAllowed(L"a.b.velto.example", allowed));
  EXPECT_TRUE(IsHostAllowed(L"velto.example", allowed));
  EXPECT_TRUE(IsHostAllowed(L"127.0.0.1", allowed));
  EXPECT_TRUE(IsHostAllowed(L"localhost", allowed));
  // A plain suffix comparison would let these through.
  EXPECT_FALSE(IsHostAllowed(L"evilvelto.example", allowed));
  EXPECT_FALSE(IsHostAllowed(L"notlocalhost", allowed));
  EXPECT_FALSE(IsHostAllowed(L"velto.example.evil.example", allowed));
  EXPECT_FALSE(IsHostAllowed(L"", allowed));
}

TEST(HostAllowListTest, ComparisonIgnoresCase) {
  EXPECT_TRUE(IsHostAllowed(L"AutoUpdate.VELTO.Example", {L".velto.example"}));
  EXPECT_TRUE(IsHostAllowed(L"localhost", {L"LocalHost"}));
}

TEST(HostAllowListTest, TrailingRootDotIsTheSameHost) {
  EXPECT_TRUE(IsHostAllowed(L"autoupdate.velto.example.", {L".velto.example"}));
}

TEST(HostAllowListTest, EntryWithoutDotCoversItsSubdomains) {
  EXPECT_TRUE(IsHostAllowed(L"build.corp.example", {L"corp.example"}));
  EXPECT_FALSE(IsHostAllowed(L"xcorp.example", {L"corp.example"}));
}

}  // namespace
}  // namespace installer
