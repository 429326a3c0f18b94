// Whether a request may go to a host. An entry names a domain: it allows that
// host and every host below it, label by label ("velto.example" and
// ".velto.example" both allow "velto.example" and "a.velto.example", never
// "evilvelto.example"). Comparison ignores ASCII case, as DNS does. An empty
// list allows every host.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_HOST_ALLOW_LIST_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_HOST_ALLOW_LIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace installer {

bool IsHostAllowed(std::wstring_view host, const std::vector<std::wstring>& allowed);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_HOST_ALLOW_LIST_H_
