// FirewallRuleStoreImpl: FirewallRuleStore over the Windows Firewall with
// Advanced Security COM interfaces (INetFwPolicy2, INetFwRules, INetFwRule).
// COM must be initialised on the calling thread.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_RULE_STORE_IMPL_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_RULE_STORE_IMPL_H_

#include <windows.h>

#include <netfw.h>
#include <wrl/client.h>

#include <memory>

#include "desktop/windows/installer/service/firewall_rule_store.h"

namespace installer {

class FirewallRuleStoreImpl : public FirewallRuleStore {
 public:
  // The store of the system's firewall policy, or null when the policy or its
  // rule collection cannot be had.
  static std::unique_ptr<FirewallRuleStoreImpl> Create();
  ~FirewallRuleStoreImpl() override;

  bool GetCurrentProfileTypes(long* profiles) override;
  bool IsFirewallEnabled(long profile, bool* enabled) override;
  std::vector<FirewallRule> GetRules() override;
  bool AddRule(const FirewallRule& rule) override;
  bool RenameRule(const std::wstring& name,
                  const std::wstring& application_name,
                  const std::wstring& new_name) override;
  bool RemoveRule(const std::wstring& name) override;

 private:
  FirewallRuleStoreImpl(Microsoft::WRL::ComPtr<INetFwPolicy2> policy,
                        Microsoft::WRL::ComPtr<INetFwRules> rules);

  // Calls |visit| with each rule object until it returns false.
  template <class Visitor>
  void ForEachRule(Visitor visit);

  Microsoft::WRL::ComPtr<INetFwPolicy2> policy_;
  Microsoft::WRL::ComPtr<INetFwRules> rules_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_FIREWALL_RULE_STORE_IMPL_H_
