// FirewallRuleStore: the Windows Firewall's rule collection and profile
// switches, as FirewallManager needs them. The real implementation
// (FirewallRuleStoreImpl) is the INetFwPolicy2 / INetFwRules / INetFwRule COM
// service; tests hand in a fake, because the system's store is shared by the
// whole machine (and a stub under some environments).

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_RULE_STORE_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_RULE_STORE_H_

#include <windows.h>

#include <string>
#include <vector>

namespace installer {

// One rule, with the fields the installer reads or sets. Numeric fields use
// the NET_FW_* values of netfw.h.
struct FirewallRule {
  std::wstring name;
  std::wstring description;
  std::wstring application_name;
  long protocol = 0;         // 17: UDP.
  std::wstring local_ports;
  long direction = 0;        // 1: inbound.
  bool enabled = false;
  std::wstring grouping;
  long profiles = 0;         // 0x7FFFFFFF: all.
  long action = 0;           // 1: allow.
};

class FirewallRuleStore {
 public:
  // NET_FW_PROFILE2_* bits.
  static constexpr long kProfileDomain = 0x1;
  static constexpr long kProfilePrivate = 0x2;
  static constexpr long kProfilePublic = 0x4;

  virtual ~FirewallRuleStore() = default;

  // The profiles in effect now; false when they cannot be read.
  virtual bool GetCurrentProfileTypes(long* profiles) = 0;
  // Whether the firewall is on for one profile; false when it cannot be read.
  virtual bool IsFirewallEnabled(long profile, bool* enabled) = 0;
  // Every rule that could be read; enumeration stops at the first failure.
  virtual std::vector<FirewallRule> GetRules() = 0;
  // Creates the rule object, sets every field of |rule| and adds it.
  virtual bool AddRule(const FirewallRule& rule) = 0;
  // Renames the rule named |name| whose application is |application_name|.
  virtual bool RenameRule(const std::wstring& name,
                          const std::wstring& application_name,
                          const std::wstring& new_name) = 0;
  // Removes the rule named |name| (names given to RemoveRule are unique).
  virtual bool RemoveRule(const std::wstring& name) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_RULE_STORE_H_
