#include "desktop/windows/installer/service/firewall_product_info.h"

#include "base/strings/utf_string_conversions.h"
#include "product_config/product_config.h"

namespace installer {

FirewallProductInfo* FirewallProductInfo::GetInstance() {
  static FirewallProductInfo* instance = new FirewallProductInfo();
  return instance;
}

std::wstring FirewallProductInfo::GetGroupName() const {
  return base::UTF8ToWide(GetProductDisplayName()) + L" Internet Browser";
}

}  // namespace installer
