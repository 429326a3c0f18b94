// A URL split into the parts a WinINet request needs, and the address a
// redirect's Location names. The path keeps its escapes exactly as given: a
// signed query must reach the server byte for byte (%2B stays %2B, %26 stays
// %26).

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_CRACKED_URL_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_CRACKED_URL_H_

#include <windows.h>

#include <string>

namespace installer {

struct CrackedUrl {
  // WinINet's scheme number (INTERNET_SCHEME_HTTPS is 4).
  int scheme = 0;
  std::wstring host;
  WORD port = 0;
  // Path and query.
  std::wstring path;
};

// False when |url| cannot be split, or its host or path is too long for a
// request (255 and 4095 characters).
bool CrackUrl(const std::wstring& url, CrackedUrl* cracked);

// The absolute address |reference| (a Location) names, relative to the
// absolute |base|; empty when it names none. A reference is absolute when it
// begins with a scheme ("https:"), whatever its query holds. References
// beginning with "//" or "/" keep any length (signed addresses run to
// kilobytes); others are combined by WinINet, which handles addresses up to
// INTERNET_MAX_URL_LENGTH.
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& reference);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_CRACKED_URL_H_
