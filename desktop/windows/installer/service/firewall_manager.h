// Inbound Windows Firewall rules for the browser executable: the rule that
// lets multicast DNS (UDP 5353) in, whether local ports are usable, and the
// removal of every rule of the executable on uninstall. Only rules whose
// application is the given executable are ever touched. Used on the
// installer's thread with COM initialised there.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_MANAGER_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_MANAGER_H_

#include <memory>
#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/firewall_product_info.h"
#include "desktop/windows/installer/service/firewall_rule_store.h"

namespace installer {

class FirewallManager {
 public:
  // The manager of |app_path|'s rules in the system's firewall, or null when
  // the firewall policy cannot be reached (the caller logs "Failed creating a
  // FirewallManager.").
  static std::unique_ptr<FirewallManager> Create(const FirewallProductInfo* product_info,
                                                 const base::FilePath& app_path);
  // The same over |store| (tests hand in a fake store).
  static std::unique_ptr<FirewallManager> CreateWithStore(
      const FirewallProductInfo* product_info,
      const base::FilePath& app_path,
      std::unique_ptr<FirewallRuleStore> store);

  virtual ~FirewallManager();

  // True when the firewall is off in every current profile, otherwise whether
  // the application has at least one rule.
  virtual bool IsLocalPortUseAllowed();
  // Replaces the application's mDNS rule; true when the new rule was added.
  virtual bool AddMdnsRule();
  // Deletes every rule of the application.
  virtual void RemoveAllRules();

  // The mDNS rule's name for |group_name|.
  static std::wstring GetMdnsRuleName(const std::wstring& group_name);

 private:
  FirewallManager(std::wstring app_name,
                  base::FilePath app_path,
                  std::unique_ptr<FirewallRuleStore> store);

  bool IsFirewallEnabled();
  std::vector<FirewallRule> GetAppRules();
  void DeleteRulesByName(const std::wstring& name);
  void DeleteRule(const FirewallRule& rule);

  std::wstring app_name_;
  base::FilePath app_path_;
  std::unique_ptr<FirewallRuleStore> store_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_MANAGER_H_
