// UILanguageSourceImpl: the offered languages from resource "TXT" 134 of the
// main executable and the preferred UI languages from Windows.

#ifndef DESKTOP_WINDOWS_RC_L10N_HANDLER_UI_LANGUAGE_SOURCE_IMPL_H_
#define DESKTOP_WINDOWS_RC_L10N_HANDLER_UI_LANGUAGE_SOURCE_IMPL_H_

#include <string>
#include <vector>

#include "desktop/windows/rc_l10n_handler/ui_language_source.h"

namespace installer {

class UILanguageSourceImpl : public UILanguageSource {
 public:
  UILanguageSourceImpl();
  ~UILanguageSourceImpl() override;

  std::vector<std::wstring> GetAvailableLanguages() const override;
  // GetThreadPreferredUILanguages with the user's and the system's fallbacks
  // merged; GetUserPreferredUILanguages when that fails. Empty when both fail.
  std::vector<std::wstring> GetPreferredUILanguages() const override;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_RC_L10N_HANDLER_UI_LANGUAGE_SOURCE_IMPL_H_
