#include "desktop/windows/installer/service/firewall_manager.h"

#include "base/win/scoped_com_initializer.h"
#include "desktop/windows/installer/service/test/fake_firewall_rule_store.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

const wchar_t kBrowser[] = L"C:\\Program Files\\Velto\\browser.exe";
const wchar_t kMdnsName[] = L"Velto quenn Internet Browser (mDNS-In)";

class FirewallManagerTest : public testing::Test {
 protected:
  std::unique_ptr<FirewallManager> MakeManager(const wchar_t* path = kBrowser) {
    return FirewallManager::CreateWithStore(FirewallProductInfo::GetInstance(),
                                            base::FilePath(path),
                                            std::make_unique<FakeFirewallRuleStore>(&state_));
  }

  static FirewallRule Rule(const std::wstring& name, const std::wstring& application) {
    FirewallRule rule;
    rule.name = name;
    rule.application_name = application;
    return rule;
  }

  int CountRules(const std::wstring& name, const std::wstring& application) {
    int count = 0;
    for (const FirewallRule& rule : state_.rules) {
      if (rule.name == name && _wcsicmp(rule.application_name.c_str(), application.c_str()) == 0)
        ++count;
    }
    return count;
  }

  FakeFirewallRuleStore::State state_;
};

TEST_F(FirewallManagerTest, MdnsRuleFields) {
  ASSERT_TRUE(MakeManager()->AddMdnsRule());
  ASSERT_EQ(1u, state_.rules.size());
  const FirewallRule& rule = state_.rules[0];
  EXPECT_EQ(kMdnsName, rule.name);
  EXPECT_EQ(L"Inbound rule to allow mDNS traffic.", rule.description);
  EXPECT_EQ(kBrowser, rule.application_name);
  EXPECT_EQ(17, rule.protocol);
  EXPECT_EQ(L"5353", rule.local_ports);
  EXPECT_EQ(1, rule.direction);
  EXPECT_TRUE(rule.enabled);
  EXPECT_EQ(L"Velto quenn Internet Browser", rule.grouping);
  EXPECT_EQ(0x7FFFFFFF, rule.profiles);
  EXPECT_EQ(1, rule.action);
}

TEST_F(FirewallManagerTest, AddingTwiceLeavesOneRuleAndOthersAlone) {
  const std::wstring other = L"C:\\Other\\browser.exe";
  state_.rules.push_back(Rule(kMdnsName, other));
  state_.rules.push_back(Rule(L"Something else", kBrowser));
  std::unique_ptr<FirewallManager> manager = MakeManager();
  ASSERT_TRUE(manager->AddMdnsRule());
  ASSERT_TRUE(manager->AddMdnsRule());
  EXPECT_EQ(1, CountRules(kMdnsName, kBrowser));
  EXPECT_EQ(1, CountRules(kMdnsName, other));
  EXPECT_EQ(1, CountRules(L"Something else", kBrowser));
}

TEST_F(FirewallManagerTest, RuleOfAnotherApplicationListedFirstIsKept) {
  // The other application's rule of the same name comes first: deleting by
  // name alone would take it away.
  const std::wstring other = L"C:\\Other\\browser.exe";
  state_.rules.push_back(Rule(kMdnsName, other));
  state_.rules.push_back(Rule(kMdnsName, L"c:\\program files\\velto\\BROWSER.exe"));
  MakeManager()->RemoveAllRules();
  ASSERT_EQ(1u, state_.rules.size());
  EXPECT_EQ(other, state_.rules[0].application_name);
  EXPECT_EQ(kMdnsName, state_.rules[0].name);
}

TEST_F(FirewallManagerTest, FailedAddReportsFalse) {
  state_.add_result = false;
  EXPECT_FALSE(MakeManager()->AddMdnsRule());
}

TEST_F(FirewallManagerTest, LocalPortUse) {
  // Off in every current profile: allowed without any rule.
  state_.current_profiles =
      FirewallRuleStore::kProfilePrivate | FirewallRuleStore::kProfilePublic;
  state_.enabled = {{FirewallRuleStore::kProfilePrivate, false},
                    {FirewallRuleStore::kProfilePublic, false},
                    {FirewallRuleStore::kProfileDomain, true}};
  EXPECT_TRUE(MakeManager()->IsLocalPortUseAllowed());

  // On in one of them: only with a rule of the application.
  state_.enabled[FirewallRuleStore::kProfilePublic] = true;
  EXPECT_FALSE(MakeManager()->IsLocalPortUseAllowed());
  state_.rules.push_back(Rule(L"Other", L"C:\\Other\\browser.exe"));
  EXPECT_FALSE(MakeManager()->IsLocalPortUseAllowed());
  state_.rules.push_back(Rule(L"Any", kBrowser));
  EXPECT_TRUE(MakeManager()->IsLocalPortUseAllowed());

  // A profile whose switch cannot be read counts as on.
  state_.rules.clear();
  state_.enabled.erase(FirewallRuleStore::kProfilePublic);
  state_.enabled[FirewallRuleStore::kProfilePrivate] = false;
  EXPECT_FALSE(MakeManager()->IsLocalPortUseAllowed());

  // Profiles that cannot be read: the firewall counts as off.
  state_.profiles_readable = false;
  EXPECT_TRUE(MakeManager()->IsLocalPortUseAllowed());
}

// The system's firewall policy can be reached (what it stores is not
// checked: it is shared by the whole machine).
TEST(FirewallManagerSystemTest, CreatesOverTheSystemPolicy) {
  base::win::ScopedCOMInitializer com;
  EXPECT_TRUE(FirewallManager::Create(FirewallProductInfo::GetInstance(), base::FilePath(kBrowser)));
}

}  // namespace
}  // namespace installer
