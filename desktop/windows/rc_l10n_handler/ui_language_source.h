// UILanguageSource: where the UI language choice learns which languages exist.
// The real source (UILanguageSourceImpl) reads the installer executable's list
// of offered languages and asks Windows for the preferred UI languages; tests
// substitute lists of their own.

#ifndef DESKTOP_WINDOWS_RC_L10N_HANDLER_UI_LANGUAGE_SOURCE_H_
#define DESKTOP_WINDOWS_RC_L10N_HANDLER_UI_LANGUAGE_SOURCE_H_

#include <string>
#include <vector>

namespace installer {

class UILanguageSource {
 public:
  virtual ~UILanguageSource() = default;

  // The language codes the installer offers.
  virtual std::vector<std::wstring> GetAvailableLanguages() const = 0;

  // The thread's preferred UI languages, most preferred first, with the
  // system's fallback languages merged in ("en-US", "de-DE", ...).
  virtual std::vector<std::wstring> GetPreferredUILanguages() const = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_RC_L10N_HANDLER_UI_LANGUAGE_SOURCE_H_
