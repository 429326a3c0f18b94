// Language codes of the installer's string tables and their Windows locale
// ids, used to pick a string table.

#ifndef DESKTOP_WINDOWS_RC_L10N_HANDLER_LANGUAGE_LCID_H_
#define DESKTOP_WINDOWS_RC_L10N_HANDLER_LANGUAGE_LCID_H_

#include <windows.h>

#include <string_view>

namespace installer {

// The LCID of |code| (ASCII case ignored), 0 for an unknown code. Several
// codes share one id ("he", "iw"), and "en-US" is deliberately unknown: the
// English table is "en".
LCID GetLanguageLcid(std::wstring_view code);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_RC_L10N_HANDLER_LANGUAGE_LCID_H_
