#include "desktop/windows/installer/service/firewall_product_info.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(FirewallProductInfoTest, GroupNameIsTheProductAndStream) {
  EXPECT_EQ(L"Velto quenn Internet Browser", FirewallProductInfo::GetInstance()->GetGroupName());
  EXPECT_EQ(FirewallProductInfo::GetInstance(), FirewallProductInfo::GetInstance());
}

}  // namespace
}  // namespace installer
