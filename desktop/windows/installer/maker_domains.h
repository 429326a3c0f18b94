// The maker's host names that installer requests may reach (the allow-lists
// of the download-address request, the preference-overrides request and the
// statistics post). Deployment values of this build; a rebranded build adds
// its own domain through the product configuration's "domain".

#ifndef DESKTOP_WINDOWS_INSTALLER_MAKER_DOMAINS_H_
#define DESKTOP_WINDOWS_INSTALLER_MAKER_DOMAINS_H_

namespace installer {

// The maker's public domain, with its leading dot.
inline constexpr wchar_t kMakerDomainSuffix[] = L".velto.example";
// The maker's internal networks.
inline constexpr wchar_t kInternalDomainSuffix[] = L".velto.internal";
inline constexpr wchar_t kSecondInternalDomainSuffix[] = L".build.velto-corp.example";
inline constexpr wchar_t kThirdInternalDomainSuffix[] = L".lab.velto-corp.example";
// This machine.
inline constexpr wchar_t kLoopbackHostName[] = L"localhost";
inline constexpr wchar_t kLoopbackAddress[] = L"127.0.0.1";

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_MAKER_DOMAINS_H_
