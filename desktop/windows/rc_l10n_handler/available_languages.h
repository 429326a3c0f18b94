// The languages the installer offers: resource "TXT" 134 of the main
// executable, ASCII text with one language code per line.

#ifndef DESKTOP_WINDOWS_RC_L10N_HANDLER_AVAILABLE_LANGUAGES_H_
#define DESKTOP_WINDOWS_RC_L10N_HANDLER_AVAILABLE_LANGUAGES_H_

#include <string>
#include <string_view>
#include <vector>

namespace installer {

// The codes in resource order, white space trimmed; blank lines are not
// languages and are left out. Empty when the resource is missing.
std::vector<std::wstring> GetAvailableLanguages();

// True when |code| is pure ASCII, not empty and equal to one of |languages|,
// ignoring ASCII case.
bool IsLanguageInList(std::wstring_view code, const std::vector<std::wstring>& languages);

// IsLanguageInList over GetAvailableLanguages().
bool IsLanguageAvailable(std::wstring_view code);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_RC_L10N_HANDLER_AVAILABLE_LANGUAGES_H_
