// A firewall rule collection in memory, for tests of FirewallManager. It
// behaves as the system's does where it matters: removal goes by name and
// removes one rule of that name.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_FIREWALL_RULE_STORE_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_FIREWALL_RULE_STORE_H_

#include <map>
#include <vector>

#include "desktop/windows/installer/service/firewall_rule_store.h"

namespace installer {

class FakeFirewallRuleStore : public FirewallRuleStore {
 public:
  // What the fake holds; it outlives the manager that owns the fake.
  struct State {
    std::vector<FirewallRule> rules;
    long current_profiles = kProfilePrivate;
    std::map<long, bool> enabled;  // Profiles missing here cannot be read.
    bool profiles_readable = true;
    bool add_result = true;
  };

  explicit FakeFirewallRuleStore(State* state) : state_(state) {}

  bool GetCurrentProfileTypes(long* profiles) override {
    *profiles = state_->current_profiles;
    return state_->profiles_readable;
  }
  bool IsFirewallEnabled(long profile, bool* enabled) override {
    auto it = state_->enabled.find(profile);
    if (it == state_->enabled.end())
      return false;
    *enabled = it->second;
    return true;
  }
  std::vector<FirewallRule> GetRules() override { return state_->rules; }
  bool AddRule(const FirewallRule& rule) override {
    if (state_->add_result)
      state_->rules.push_back(rule);
    return state_->add_result;
  }
  bool RenameRule(const std::wstring& name, const std::wstring& application_name,
                  const std::wstring& new_name) override {
    for (FirewallRule& rule : state_->rules) {
      if (rule.name == name && _wcsicmp(rule.application_name.c_str(),
                                        application_name.c_str()) == 0) {
        rule.name = new_name;
        return true;
      }
    }
    return false;
  }
  bool RemoveRule(const std::wstring& name) override {
    for (auto it = state_->rules.begin(); it != state_->rules.end(); ++it) {
      if (it->name == name) {
        state_->rules.erase(it);
        return true;
      }
    }
    return false;
  }

 private:
  State* state_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TEST_FAKE_FIREWALL_RULE_STORE_H_
