#include "desktop/windows/installer/wininet/host_allow_list.h"

#include "base/strings/string_util.h"

namespace installer {

namespace {

bool MatchesEntry(std::wstring_view host, std::wstring_view entry) {
  if (!entry.empty() && entry.front() == L'.')
    entry.remove_prefix(1);
  // A fully qualified host may end with the root's dot.
  if (!host.empty() && host.back() == L'.')
    host.remove_suffix(1);
  if (entry.empty() || host.size() < entry.size())
    return false;
  std::wstring_view tail = host.substr(host.size() - entry.size());
  if (!base::EqualsCaseInsensitiveASCII(tail, entry))
    return false;
  return host.size() == entry.size() || host[host.size() - entry.size() - 1] == L'.';
}

}  // namespace

bool IsHostAllowed(std::wstring_view host, const std::vector<std::wstring>& allowed) {
  if (allowed.empty())
    return true;
  for (const std::wstring& entry : allowed) {
    if (MatchesEntry(host, entry))
      return true;
  }
  return false;
}

}  // namespace installer
