#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_PRODUCT_INFO_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_PRODUCT_INFO_H_

#include <string>

namespace installer {

// The product's identity as the firewall shows it. Process-wide, created on
// first use; no locking (installer thread only).
class FirewallProductInfo {
 public:
  static FirewallProductInfo* GetInstance();
  virtual ~FirewallProductInfo() = default;

  // "Velto quenn Internet Browser": the product and stream name; the rules'
  // grouping.
  virtual std::wstring GetGroupName() const;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_PRODUCT_INFO_H_
