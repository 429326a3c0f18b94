#include "desktop/windows/installer/service/firewall_manager.h"

#include "base/guid.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/firewall_rule_store_impl.h"

namespace installer {

namespace {

constexpr wchar_t kMdnsRuleSuffix[] = L" (mDNS-In)";
constexpr wchar_t kMdnsRuleDescription[] = L"Inbound rule to allow mDNS traffic.";
constexpr unsigned kMdnsPort = 5353;
constexpr long kProtocolUdp = 17;
constexpr long kDirectionInbound = 1;
constexpr long kAllProfiles = 0x7FFFFFFF;
constexpr long kActionAllow = 1;

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::unique_ptr<FirewallManager> FirewallManager::Create(const FirewallProductInfo* product_info,
                                                         const base::FilePath& app_path) {
  std::unique_ptr<FirewallRuleStoreImpl> store = FirewallRuleStoreImpl::Create();
  if (!store)
    return nullptr;
  return CreateWithStore(product_info, app_path, std::move(store));
}

std::unique_ptr<FirewallManager> FirewallManager::CreateWithStore(
    const FirewallProductInfo* product_info,
    const base::FilePath& app_path,
    std::unique_ptr<FirewallRuleStore> store) {
  return std::unique_ptr<FirewallManager>(
      new FirewallManager(product_info->GetGroupName(), app_path, std::move(store)));
}

FirewallManager::FirewallManager(std::wstring app_name,
                                 base::FilePath app_path,
                                 std::unique_ptr<FirewallRuleStore> store)
    : app_name_(std::move(app_name)), app_path_(std::move(app_path)), store_(std::move(store)) {}

FirewallManager::~FirewallManager() = default;

std::wstring FirewallManager::GetMdnsRuleName(const std::wstring& group_name) {
  return group_name + kMdnsRuleSuffix;
}

bool FirewallManager::IsLocalPortUseAllowed() {
  return !IsFirewallEnabled() || !GetAppRules().empty();
}

bool FirewallManager::AddMdnsRule() {
  FirewallRule rule;
  rule.name = GetMdnsRuleName(app_name_);
  rule.description = kMdnsRuleDescription;
  rule.application_name = app_path_.value();
  rule.protocol = kProtocolUdp;
  rule.local_ports = std::to_wstring(kMdnsPort);
  rule.direction = kDirectionInbound;
  rule.enabled = true;
  rule.grouping = app_name_;
  rule.profiles = kAllProfiles;
  rule.action = kActionAllow;
  DeleteRulesByName(rule.name);
  return store_->AddRule(rule);
}

void FirewallManager::RemoveAllRules() {
  for (const FirewallRule& rule : GetAppRules())
    DeleteRule(rule);
}

bool FirewallManager::IsFirewallEnabled() {
  long profiles = 0;
  if (!store_->GetCurrentProfileTypes(&profiles))
    return false;
  for (long profile : {FirewallRuleStore::kProfilePublic, FirewallRuleStore::kProfilePrivate,
                       FirewallRuleStore::kProfileDomain}) {
    if (!(profiles & profile))
      continue;
    bool enabled = true;
    if (!store_->IsFirewallEnabled(profile, &enabled) || enabled)
      return true;
  }
  return false;
}

std::vector<FirewallRule> FirewallManager::GetAppRules() {
  std::vector<FirewallRule> rules;
  for (FirewallRule& rule : store_->GetRules()) {
    if (SamePath(rule.application_name, app_path_.value()))
      rules.push_back(std::move(rule));
  }
  return rules;
}

void FirewallManager::DeleteRulesByName(const std::wstring& name) {
  for (const FirewallRule& rule : GetAppRules()) {
    if (rule.name == name)
      DeleteRule(rule);
  }
}

void FirewallManager::DeleteRule(const FirewallRule& rule) {
  // Several rules may share a name, and removal goes by name: give this one a
  // name of its own first so that no other application's rule goes with it.
  const std::wstring unique_name = base::UTF8ToWide(base::GenerateGUID());
  if (unique_name.empty() ||
      !store_->RenameRule(rule.name, rule.application_name, unique_name)) {
    return;
  }
  store_->RemoveRule(unique_name);
}

}  // namespace installer
