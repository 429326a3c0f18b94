#include "desktop/windows/installer/wininet/cracked_url.h"

#include <wininet.h>

namespace installer {

namespace {

constexpr DWORD kMaxHostLength = 255;
constexpr DWORD kMaxPathLength = 4095;

}  // namespace

bool CrackUrl(const std::wstring& url, CrackedUrl* cracked) {
  wchar_t host[kMaxHostLength + 1] = {};
  wchar_t path[kMaxPathLength + 1] = {};
  wchar_t extra[kMaxPathLength + 1] = {};
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host;
  parts.dwHostNameLength = kMaxHostLength + 1;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kMaxPathLength + 1;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = kMaxPathLength + 1;
  // No ICU_DECODE or ICU_ESCAPE: both would turn escapes into characters.
  if (url.empty() || !InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
    return false;
  if (parts.dwHostNameLength == 0 || parts.dwUrlPathLength + parts.dwExtraInfoLength > kMaxPathLength)
    return false;
  cracked->scheme = parts.nScheme;
  cracked->host.assign(host, parts.dwHostNameLength);
  cracked->port = parts.nPort;
  cracked->path.assign(path, parts.dwUrlPathLength);
  cracked->path.append(extra, parts.dwExtraInfoLength);
  if (cracked->path.empty())
    cracked->path = L"/";
  return true;
}

}  // namespace installer
