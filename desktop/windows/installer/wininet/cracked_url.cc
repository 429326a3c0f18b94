#include "desktop/windows/installer/wininet/cracked_url.h"

#include <wininet.h>

#include <string_view>

#include "base/strings/string_util.h"

namespace installer {

namespace {

constexpr DWORD kMaxHostLength = 255;
constexpr DWORD kMaxPathLength = 4095;

// Where |url|'s scheme ends (at its ':'), or npos when it has none.
size_t SchemeEnd(std::wstring_view url) {
  const size_t colon = url.find(L':');
  if (colon == std::wstring_view::npos || colon == 0 || !base::IsAsciiAlpha(url[0]))
    return std::wstring_view::npos;
  for (wchar_t c : url.substr(1, colon - 1)) {
    if (!base::IsAsciiAlpha(c) && !base::IsAsciiDigit(c) && c != L'+' && c != L'-' && c != L'.')
      return std::wstring_view::npos;
  }
  return colon;
}

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

std::wstring ResolveUrl(const std::wstring& base, const std::wstring& reference) {
  if (reference.empty())
    return std::wstring();
  if (SchemeEnd(reference) != std::wstring::npos)
    return reference;
  const size_t scheme_end = SchemeEnd(base);
  if (scheme_end == std::wstring::npos || base.compare(scheme_end, 3, L"://") != 0)
    return std::wstring();
  if (reference.starts_with(L"//"))
    return base.substr(0, scheme_end + 1) + reference;
  if (reference.starts_with(L"/")) {
    const size_t authority_end = base.find_first_of(L"/?#", scheme_end + 3);
    return base.substr(0, authority_end) + reference;
  }
  std::wstring combined(INTERNET_MAX_URL_LENGTH + 1, L'\0');
  DWORD size = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(base.c_str(), reference.c_str(), combined.data(), &size, ICU_NO_ENCODE))
    return std::wstring();
  combined.resize(size);
  return combined;
}

}  // namespace installer
