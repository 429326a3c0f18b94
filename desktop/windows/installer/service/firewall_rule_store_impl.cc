#include "desktop/windows/installer/service/firewall_rule_store_impl.h"

#include "base/win/scoped_bstr.h"
#include "base/win/scoped_variant.h"

namespace installer {

namespace {

using Microsoft::WRL::ComPtr;
using base::win::ScopedBstr;

std::wstring ReadText(HRESULT hr, const ScopedBstr& text) {
  return SUCCEEDED(hr) && text.Get() ? std::wstring(text.Get(), text.Length()) : std::wstring();
}

FirewallRule ReadRule(INetFwRule* rule) {
  FirewallRule result;
  ScopedBstr name, description, application, ports, grouping;
  result.name = ReadText(rule->get_Name(name.Receive()), name);
  result.description = ReadText(rule->get_Description(description.Receive()), description);
  result.application_name =
      ReadText(rule->get_ApplicationName(application.Receive()), application);
  result.local_ports = ReadText(rule->get_LocalPorts(ports.Receive()), ports);
  result.grouping = ReadText(rule->get_Grouping(grouping.Receive()), grouping);
  rule->get_Protocol(&result.protocol);
  NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
  if (SUCCEEDED(rule->get_Direction(&direction)))
    result.direction = direction;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  if (SUCCEEDED(rule->get_Enabled(&enabled)))
    result.enabled = enabled != VARIANT_FALSE;
  rule->get_Profiles(&result.profiles);
  NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
  if (SUCCEEDED(rule->get_Action(&action)))
    result.action = action;
  return result;
}

}  // namespace

std::unique_ptr<FirewallRuleStoreImpl> FirewallRuleStoreImpl::Create() {
  ComPtr<INetFwPolicy2> policy;
  if (FAILED(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_ALL,
                              IID_PPV_ARGS(&policy)))) {
    return nullptr;
  }
  ComPtr<INetFwRules> rules;
  if (FAILED(policy->get_Rules(&rules)))
    return nullptr;
  return std::unique_ptr<FirewallRuleStoreImpl>(
      new FirewallRuleStoreImpl(std::move(policy), std::move(rules)));
}

FirewallRuleStoreImpl::FirewallRuleStoreImpl(ComPtr<INetFwPolicy2> policy,
                                             ComPtr<INetFwRules> rules)
    : policy_(std::move(policy)), rules_(std::move(rules)) {}

FirewallRuleStoreImpl::~FirewallRuleStoreImpl() = default;

bool FirewallRuleStoreImpl::GetCurrentProfileTypes(long* profiles) {
  return SUCCEEDED(policy_->get_CurrentProfileTypes(profiles));
}

bool FirewallRuleStoreImpl::IsFirewallEnabled(long profile, bool* enabled) {
  VARIANT_BOOL value = VARIANT_FALSE;
  if (FAILED(policy_->get_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profile), &value)))
    return false;
  *enabled = value != VARIANT_FALSE;
  return true;
}

template <class Visitor>
void FirewallRuleStoreImpl::ForEachRule(Visitor visit) {
  ComPtr<IUnknown> unknown;
  ComPtr<IEnumVARIANT> items;
  if (FAILED(rules_->get__NewEnum(&unknown)) || !unknown || FAILED(unknown.As(&items)))
    return;
  for (;;) {
    base::win::ScopedVariant item;
    VARIANT raw;
    VariantInit(&raw);
    ULONG fetched = 0;
    if (items->Next(1, &raw, &fetched) != S_OK || fetched != 1)
      return;
    item.Reset(raw);
    if (item.type() != VT_DISPATCH || !item.get().pdispVal)
      continue;
    ComPtr<INetFwRule> rule;
    if (FAILED(item.get().pdispVal->QueryInterface(IID_PPV_ARGS(&rule))))
      continue;
    if (!visit(rule.Get()))
      return;
  }
}

std::vector<FirewallRule> FirewallRuleStoreImpl::GetRules() {
  std::vector<FirewallRule> rules;
  ForEachRule([&rules](INetFwRule* rule) {
    rules.push_back(ReadRule(rule));
    return true;
  });
  return rules;
}

bool FirewallRuleStoreImpl::AddRule(const FirewallRule& rule_data) {
  ComPtr<INetFwRule> rule;
  if (FAILED(CoCreateInstance(__uuidof(NetFwRule), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&rule))))
    return false;
  rule->put_Name(ScopedBstr(rule_data.name).Get());
  rule->put_Description(ScopedBstr(rule_data.description).Get());
  rule->put_ApplicationName(ScopedBstr(rule_data.application_name).Get());
  rule->put_Protocol(rule_data.protocol);
  rule->put_LocalPorts(ScopedBstr(rule_data.local_ports).Get());
  rule->put_Direction(static_cast<NET_FW_RULE_DIRECTION>(rule_data.direction));
  rule->put_Enabled(rule_data.enabled ? VARIANT_TRUE : VARIANT_FALSE);
  rule->put_Grouping(ScopedBstr(rule_data.grouping).Get());
  rule->put_Profiles(rule_data.profiles);
  rule->put_Action(static_cast<NET_FW_ACTION>(rule_data.action));
  return SUCCEEDED(rules_->Add(rule.Get()));
}

bool FirewallRuleStoreImpl::RenameRule(const std::wstring& name,
                                       const std::wstring& application_name,
                                       const std::wstring& new_name) {
  bool renamed = false;
  ForEachRule([&](INetFwRule* rule) {
    const FirewallRule fields = ReadRule(rule);
    if (fields.name != name ||
        CompareStringOrdinal(fields.application_name.c_str(), -1, application_name.c_str(), -1,
                             TRUE) != CSTR_EQUAL) {
      return true;
    }
    renamed = SUCCEEDED(rule->put_Name(ScopedBstr(new_name).Get()));
    return false;
  });
  return renamed;
}

bool FirewallRuleStoreImpl::RemoveRule(const std::wstring& name) {
  return SUCCEEDED(rules_->Remove(ScopedBstr(name).Get()));
}

}  // namespace installer
